#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace solvard::tool {

// What one run of a program gave.
struct CommandRun {
  int status = -1;  // the exit status; -1 when it was killed or did not start
  std::string out;
  std::string err;
};

// Runs `program` with `args` (and `env` added to this process's environment), standard input
// empty, and waits for it to end, at most `limit` (then it is killed and the run fails).
CommandRun runCommand(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {},
                      std::chrono::milliseconds limit = std::chrono::seconds(60));

// `words` with each mark of `marks` (as "{port}" or "{db}") replaced by its value wherever it
// stands in a word ("--db={db}" as well as "{db}") and as often as it does: a mark left in would
// reach the program as a path of that name and create a file called "{db}" where it runs.
std::vector<std::string> replaceMarks(std::vector<std::string> words,
                                      const std::map<std::string, std::string>& marks);

}  // namespace solvard::tool
