#include "run_command.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace solvard::tool {

CommandRun runCommand(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env,
                      std::chrono::milliseconds limit) {
  CommandRun run;
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return run;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return run;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    const int nothing = ::open("/dev/null", O_RDONLY);
    ::dup2(nothing, STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* into[2] = {&run.out, &run.err};
  int open = 2;
  while (open > 0 && child > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    if (::poll(fds, 2, static_cast<int>(left.count())) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        into[i]->append(buffer, static_cast<std::size_t>(got));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) ::close(fd.fd);
  }
  if (child <= 0) return run;
  if (open > 0) ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (open == 0 && WIFEXITED(status)) run.status = WEXITSTATUS(status);
  return run;
}

std::vector<std::string> replaceMarks(std::vector<std::string> words,
                                      const std::map<std::string, std::string>& marks) {
  for (std::string& word : words) {
    for (const auto& [mark, by] : marks) {
      // Searched on after the value put in, so a value holding the mark is left as it is.
      for (auto at = word.find(mark); at != std::string::npos; at = word.find(mark, at + by.size()))
        word.replace(at, mark.size(), by);
    }
  }
  return words;
}

}  // namespace solvard::tool
