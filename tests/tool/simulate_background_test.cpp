// `solvard simulate` started in the background as scripts start it: it serves until SIGTERM
// whatever happens to its standard input, and holds its link against a second simulator.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "simulate_exchange.hpp"
#include "simulate_process.hpp"

namespace solvard::tool::testing {
namespace {

namespace fs = std::filesystem;

const Bytes kOpenDoor3{3, 0x11};
const Bytes kDoor3Acknowledges{3, 2};

fs::path freshFolder(const std::string& name) {
  const fs::path folder =
      fs::temp_directory_path() / ("solvard-simulate-" + name + "-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

// The door terminal answers on the link; the line is left closed again.
Bytes openDoorOn(const fs::path& link) {
  const int fd = openLine(link.string());
  if (fd < 0) return {};
  Bytes reply = exchange(fd, kOpenDoor3, 2);
  ::close(fd);
  return reply;
}

struct InputCase {
  const char* name;
  Input input;
};

class SimulateInput : public ::testing::TestWithParam<InputCase> {};

TEST_P(SimulateInput, StillAnswersAfterStandardInputEndsAndStopsOnSigterm) {
  const fs::path folder = freshFolder(GetParam().name);
  const fs::path link = folder / "line";
  SimulateProcess sim({"--door", "3", "--link", link.string()}, GetParam().input);
  ASSERT_EQ(sim.outputLines(1), "line: " + link.string() + "\n");
  sim.closeInput();
  // Time for a simulator that took the end of its input for a stop to have stopped.
  EXPECT_FALSE(sim.exitStatus(300ms).has_value());
  EXPECT_EQ(openDoorOn(link), kDoor3Acknowledges);
  EXPECT_FALSE(sim.exitStatus(0ms).has_value());

  EXPECT_EQ(sim.stop(SIGTERM), 0);
  EXPECT_EQ(sim.output(), "line: " + link.string() + "\n<- 03 11  (answered)\n-> 03 02\n");
  EXPECT_EQ(sim.errors(), "");
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "line.lock")));
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Inputs, SimulateInput,
                         ::testing::Values(InputCase{"DevNull", Input::DevNull},
                                           InputCase{"Closed", Input::Closed},
                                           InputCase{"PipeClosedLater", Input::PipeClosedLater}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimulateLink, SecondSimulatorIsRefusedAndTheLinkPassesOnOnlyWhenTheFirstEnds) {
  const fs::path folder = freshFolder("held");
  const fs::path link = folder / "line";
  SimulateProcess first({"--door", "3", "--link", link.string(), "--quiet"});
  ASSERT_EQ(first.outputLines(1), "line: " + link.string() + "\n");
  const fs::path device = fs::read_symlink(link);

  SimulateProcess second({"--door", "3", "--link", link.string()});
  EXPECT_EQ(second.exitStatus(), 1);
  EXPECT_EQ(second.errors(), "solvard simulate: " + link.string() +
                                 " is held by another simulator (pid " +
                                 std::to_string(first.pid()) + ")\n");
  EXPECT_EQ(second.output(), "");
  EXPECT_EQ(fs::read_symlink(link), device);
  EXPECT_EQ(openDoorOn(link), kDoor3Acknowledges);

  EXPECT_EQ(first.stop(SIGTERM), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  SimulateProcess third({"--door", "3", "--link", link.string()});
  ASSERT_EQ(third.outputLines(1), "line: " + link.string() + "\n");
  EXPECT_EQ(openDoorOn(link), kDoor3Acknowledges);
  EXPECT_EQ(third.stop(SIGINT), 0);
  fs::remove_all(folder);
}

TEST(SimulateLink, LinkLeftByAKilledSimulatorIsTakenOver) {
  const fs::path folder = freshFolder("stale");
  const fs::path link = folder / "line";
  SimulateProcess killed({"--door", "3", "--link", link.string()});
  ASSERT_EQ(killed.outputLines(1), "line: " + link.string() + "\n");
  EXPECT_EQ(killed.stop(SIGKILL), 128 + SIGKILL);
  ASSERT_TRUE(fs::is_symlink(link));  // nothing removed it

  SimulateProcess next({"--door", "3", "--link", link.string()});
  ASSERT_EQ(next.outputLines(1), "line: " + link.string() + "\n");
  EXPECT_EQ(openDoorOn(link), kDoor3Acknowledges);
  EXPECT_EQ(next.stop(SIGTERM), 0);
  fs::remove_all(folder);
}

// A host that writes frames and never reads the replies fills the line both ways: the
// simulator still stops on SIGTERM.
TEST(SimulateLink, HostThatNeverReadsDoesNotKeepItFromStopping) {
  const fs::path folder = freshFolder("unread");
  const fs::path link = folder / "line";
  SimulateProcess sim({"--door", "3", "--link", link.string(), "--quiet"});
  ASSERT_EQ(sim.outputLines(1), "line: " + link.string() + "\n");
  const int fd = openLine(link.string());
  ASSERT_GE(fd, 0);
  Bytes frames;
  for (int i = 0; i < 512; ++i) frames.insert(frames.end(), kOpenDoor3.begin(), kOpenDoor3.end());
  // Until the line has taken no byte for a fifth of a second, within ten seconds.
  const auto deadline = Clock::now() + 10s;
  auto lastTaken = Clock::now();
  while (Clock::now() - lastTaken < 200ms && Clock::now() < deadline) {
    if (::write(fd, frames.data(), frames.size()) > 0) {
      lastTaken = Clock::now();
    } else {
      ::poll(nullptr, 0, 10);
    }
  }
  EXPECT_EQ(sim.stop(SIGTERM), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  ::close(fd);
  fs::remove_all(folder);
}

// What sits at the path is not a simulator's link: it is neither replaced nor removed.
struct ForeignCase {
  const char* name;
  void (*make)(const fs::path& at);
};

class SimulateForeignPath : public ::testing::TestWithParam<ForeignCase> {};

TEST_P(SimulateForeignPath, IsRefusedAndLeftAsItWas) {
  const fs::path folder = freshFolder(GetParam().name);
  const fs::path link = folder / "line";
  GetParam().make(link);
  const fs::file_status before = fs::symlink_status(link);
  SimulateProcess sim({"--door", "3", "--link", link.string()});
  EXPECT_EQ(sim.exitStatus(), 1);
  EXPECT_EQ(sim.errors(),
            "solvard simulate: " + link.string() + " exists and is not a simulator's link\n");
  EXPECT_EQ(fs::symlink_status(link).type(), before.type());
  if (fs::is_regular_file(fs::symlink_status(link))) {
    std::ifstream kept(link);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "kept\n");
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "line.lock")));
  fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SimulateForeignPath,
    ::testing::Values(ForeignCase{"RegularFile",
                                  [](const fs::path& at) { std::ofstream(at) << "kept\n"; }},
                      ForeignCase{"Folder", [](const fs::path& at) { fs::create_directory(at); }},
                      ForeignCase{"OtherSymlink",
                                  [](const fs::path& at) { fs::create_symlink("/dev/null", at); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace solvard::tool::testing
