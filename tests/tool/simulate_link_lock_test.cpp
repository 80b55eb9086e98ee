#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "simulator/link_lock.hpp"

namespace solvard::simulator {
namespace {

namespace fs = std::filesystem;

struct RecordCase {
  const char* text;
  long pid;
  const char* target;
};

class LockRecordText : public ::testing::TestWithParam<RecordCase> {};

TEST_P(LockRecordText, ReadsOnlyAPidAndAnAbsoluteDevice) {
  const LockRecord record = readLockRecord(GetParam().text);
  EXPECT_EQ(record.pid, GetParam().pid);
  EXPECT_EQ(record.target, GetParam().target);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LockRecordText,
    ::testing::Values(RecordCase{"1234 /dev/pts/3\n", 1234, "/dev/pts/3"},
                      RecordCase{"1234 /dev/pts/3", 0, ""},          // cut short
                      RecordCase{"1234 /dev/pts/3\nmore\n", 0, ""},  // more than one line
                      RecordCase{"0 /dev/pts/3\n", 0, ""},           // no such process
                      RecordCase{"-5 /dev/pts/3\n", 0, ""},
                      RecordCase{"99999999999 /dev/pts/3\n", 0, ""},  // beyond a pid
                      RecordCase{"12x4 /dev/pts/3\n", 0, ""},
                      RecordCase{"1234 dev/pts/3\n", 0, ""},    // not absolute
                      RecordCase{"1234 /dev/pts\t3\n", 0, ""},  // a control character
                      RecordCase{"", 0, ""}));

fs::path freshFolder() {
  const fs::path folder =
      fs::temp_directory_path() / ("solvard-link-lock-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

TEST(LinkLockTest, PublishesWithARecordOfItsHolderAndRemovesBoth) {
  const fs::path folder = freshFolder();
  const std::string link = (folder / "line").string();
  {
    LinkLock holder;
    holder.publish(link, "/dev/null");
    EXPECT_EQ(fs::read_symlink(link), "/dev/null");
    std::ifstream lockFile(link + ".lock");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(lockFile), {}),
              std::to_string(::getpid()) + " /dev/null\n");
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(link + ".lock")));
  fs::remove_all(folder);
}

TEST(LinkLockTest, LinkReplacedByHandIsNotRemoved) {
  const fs::path folder = freshFolder();
  const std::string link = (folder / "line").string();
  {
    LinkLock holder;
    holder.publish(link, "/dev/null");
    fs::remove(link);
    fs::create_symlink("/dev/zero", link);
  }
  EXPECT_EQ(fs::read_symlink(link), "/dev/zero");
  fs::remove_all(folder);
}

}  // namespace
}  // namespace solvard::simulator
