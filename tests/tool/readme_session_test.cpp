// The README's session example, read from the README itself: every request line of its first
// block goes through a session against a simulated door 3 (the README's /dev/ttyUSB0), and every
// reply must equal the line of the second block at the same place.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "session.hpp"
#include "simulator/access_terminal.hpp"
#include "simulator/simulator.hpp"

namespace solvard::tool {
namespace {

const std::string kSourceDir = SOLVARD_SOURCE_DIR;

// The lines of the `count`-th ```json block after the heading (0 for the first).
std::vector<std::string> jsonBlock(const std::string& text, const std::string& heading, int count) {
  std::size_t at = text.find(heading);
  if (at == std::string::npos) return {};
  for (int i = 0; i <= count; ++i) {
    at = text.find("\n```json\n", at);
    if (at == std::string::npos) return {};
    at += 9;
    if (i < count) at = text.find("\n```\n", at) + 5;
  }
  const std::size_t end = text.find("\n```\n", at);
  std::istringstream block(text.substr(at, end == std::string::npos ? 0 : end - at + 1));
  std::vector<std::string> lines;
  for (std::string line; std::getline(block, line);) lines.push_back(line);
  return lines;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

TEST(ReadmeSession, EveryReplyIsTheOneTheReadmeShows) {
  std::ifstream file(kSourceDir + "/README.md");
  ASSERT_TRUE(file) << "no README.md in " << kSourceDir;
  std::stringstream readme;
  readme << file.rdbuf();
  const std::vector<std::string> requests = jsonBlock(readme.str(), "### The session", 0);
  const std::vector<std::string> replies = jsonBlock(readme.str(), "### The session", 1);
  ASSERT_GE(requests.size(), 5u);
  ASSERT_EQ(requests.size(), replies.size()) << "one reply line for each request line";

  simulator::Simulator sim;
  auto& door = sim.add(std::make_unique<simulator::AccessTerminal>(3));
  sim.start();
  Session session;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    std::string request = requests[i];
    replaceAll(request, "\"/dev/ttyUSB0\"", "\"" + sim.path() + "\"");
    replaceAll(request, "\"lang/en.rc\"", "\"" + kSourceDir + "/lang/en.rc\"");
    EXPECT_EQ(session.handleLine(request).dump(), replies[i]) << requests[i];
  }
  EXPECT_EQ(sim.withState([&] { return door.state().resetDelay; }), 5);
}

}  // namespace
}  // namespace solvard::tool
