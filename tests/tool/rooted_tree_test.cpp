#include "rooted_tree.hpp"

#include <gtest/gtest.h>

#include "fake_sysfs.hpp"

namespace solvard::tool {
namespace {

using testing::FakeSysfs;

// Links lead where they would if the folder were the machine's root, and never out of it.
TEST(RootedTreeTest, FollowsLinksWithoutLeavingTheRoot) {
  const FakeSysfs tree("solvard-rooted");
  tree.file("/sys/devices/port/type", "4\n");
  tree.link("/sys/class/tty/ttyS0", "../../devices/port");
  tree.link("/dev/absolute", "/sys/devices/port");
  tree.link("/dev/climbing", "../../../../../sys/devices/port");
  tree.link("/dev/round", "round2");
  tree.link("/dev/round2", "./round");
  tree.link("/dev/gone", "../nothing");
  const struct {
    const char* path;
    std::optional<std::string> expected;
  } cases[] = {
      {"/sys/class/tty/ttyS0/type", "/sys/devices/port/type"},
      {"/sys/class/tty/ttyS0/../port/type", "/sys/devices/port/type"},
      {"/dev/absolute", "/sys/devices/port"},
      {"/dev/climbing/type", "/sys/devices/port/type"},
      {"/../../dev", "/dev"},
      {"/", "/"},
      {"/dev/round", std::nullopt},
      {"/dev/gone", std::nullopt},
      {"/sys/class/tty/ttyS1", std::nullopt},
  };
  const RootedTree rooted(tree.root());
  for (const auto& c : cases) EXPECT_EQ(rooted.resolve(c.path), c.expected) << c.path;
}

TEST(RootedTreeTest, ReadsOnlySmallPlainFiles) {
  const FakeSysfs tree("solvard-rooted-values");
  tree.file("/a/ten", " 123456 \n");
  tree.file("/a/eleven", "1234567890\n");
  tree.link("/a/driver", "../bus/drivers/ftdi_sio");
  tree.link("/a/dots", "../bus/..");
  tree.link("/a/odd", "../drivers/ftdi\tsio");
  const RootedTree rooted(tree.root());
  EXPECT_EQ(rooted.value("/a/ten", 10), "123456");
  EXPECT_EQ(rooted.value("/a/eleven", 10), std::nullopt);
  EXPECT_EQ(rooted.value("/a", 10), std::nullopt);
  EXPECT_EQ(rooted.value("/a/none", 10), std::nullopt);
  EXPECT_EQ(rooted.linkName("/a/driver"), "ftdi_sio");
  EXPECT_EQ(rooted.linkName("/a/dots"), std::nullopt);
  EXPECT_EQ(rooted.linkName("/a/odd"), std::nullopt);
  EXPECT_EQ(rooted.linkName("/a/ten"), std::nullopt);
}

}  // namespace
}  // namespace solvard::tool
