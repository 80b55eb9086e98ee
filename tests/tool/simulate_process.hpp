#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// `solvard simulate` (or another long-running command, `collect --every`) run as scripts run it:
// a process of its own, its output read through pipes, stopped by a signal. Every wait is
// bounded.
namespace solvard::tool::testing {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How standard input is left for the simulator.
enum class Input { DevNull, Closed, PipeClosedLater };

class SimulateProcess {
 public:
  SimulateProcess(const std::vector<std::string>& args, Input input = Input::DevNull,
                  const std::string& command = "simulate") {
    int out[2], err[2], in[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0 ||
        ::pipe2(in, O_CLOEXEC) != 0) {
      return;
    }
    std::vector<std::string> words{SOLVARD_PROGRAM, command};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      if (input == Input::DevNull) {
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
      } else if (input == Input::Closed) {
        ::close(0);
      } else {
        ::dup2(in[0], 0);
      }
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    ::close(in[0]);
    out_ = out[0];
    err_ = err[0];
    in_ = in[1];
    ::fcntl(out_, F_SETFL, O_NONBLOCK);
    ::fcntl(err_, F_SETFL, O_NONBLOCK);
  }
  ~SimulateProcess() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {out_, err_, in_}) {
      if (fd >= 0) ::close(fd);
    }
  }
  SimulateProcess(const SimulateProcess&) = delete;
  SimulateProcess& operator=(const SimulateProcess&) = delete;

  pid_t pid() const { return pid_; }
  void closeInput() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
  }

  // Standard output once it holds `lines` whole lines, or what came by the limit.
  const std::string& outputLines(std::size_t lines, std::chrono::milliseconds limit = 5s) {
    const auto deadline = Clock::now() + limit;
    while (countLines(out_text_) < lines && Clock::now() < deadline && drain(out_, out_text_)) {
    }
    return out_text_;
  }

  // The exit status once the process ended by itself, or nullopt if it still runs at the limit.
  std::optional<int> exitStatus(std::chrono::milliseconds limit = 5s) {
    const auto deadline = Clock::now() + limit;
    while (!status_) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      } else if (Clock::now() >= deadline) {
        break;
      } else {
        ::poll(nullptr, 0, 10);
      }
    }
    return status_;
  }
  std::optional<int> stop(int signal = SIGTERM) {
    // Once reaped, the pid may be another process's.
    if (!status_) ::kill(pid_, signal);
    return exitStatus();
  }

  // Everything written to standard error or output, read until the stream ends (the process
  // ended) or a second passes.
  std::string errors() { return readToEnd(err_, err_text_); }
  std::string output() { return readToEnd(out_, out_text_); }

 private:
  static std::size_t countLines(const std::string& text) {
    std::size_t n = 0;
    for (char c : text) n += c == '\n';
    return n;
  }
  static const std::string& readToEnd(int fd, std::string& text) {
    const auto deadline = Clock::now() + 1s;
    while (Clock::now() < deadline && drain(fd, text)) {
    }
    return text;
  }
  // Reads what waits within a tenth of a second; false at end of stream.
  static bool drain(int fd, std::string& text) {
    pollfd ready{fd, POLLIN, 0};
    if (::poll(&ready, 1, 100) <= 0) return true;
    char chunk[512];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n > 0) text.append(chunk, static_cast<std::size_t>(n));
    return n > 0 || (n < 0 && errno == EAGAIN);
  }

  pid_t pid_ = -1;
  int out_ = -1, err_ = -1, in_ = -1;
  std::string out_text_, err_text_;
  std::optional<int> status_;
};

}  // namespace solvard::tool::testing
