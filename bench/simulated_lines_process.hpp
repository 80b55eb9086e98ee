#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "simulator/simulator.hpp"

// Simulated lines served by a child process of their own, so that the CPU time the benchmark
// process spends (getrusage) is the collector's alone and not the terminals' pacing too.
namespace solvard::bench {

class SimulatedLinesProcess {
 public:
  // Forks a child that builds `lines` simulators with `build(sim, line)` and starts them. Call
  // while the process has one thread only.
  SimulatedLinesProcess(int lines, const simulator::SimulatorOptions& options,
                        const std::function<void(simulator::Simulator&, int)>& build) {
    int up[2], down[2];
    if (::pipe(up) != 0 || ::pipe(down) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      ::close(up[0]);
      ::close(down[1]);
      serve(lines, options, build, up[1], down[0]);
    }
    ::close(up[1]);
    ::close(down[0]);
    from_ = ::fdopen(up[0], "r");
    to_ = down[1];
    for (int i = 0; i < lines; ++i) {
      const std::string path = readLine();
      if (path.empty()) throw std::runtime_error("the simulators did not start");
      paths_.push_back(path);
    }
  }
  ~SimulatedLinesProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (from_ != nullptr) std::fclose(from_);
    if (to_ >= 0) ::close(to_);
  }
  SimulatedLinesProcess(const SimulatedLinesProcess&) = delete;
  SimulatedLinesProcess& operator=(const SimulatedLinesProcess&) = delete;

  // The pseudo-terminal of each line.
  const std::vector<std::string>& paths() const { return paths_; }

  // Stops the simulators and gives the bytes each line carried both ways.
  std::vector<int64_t> stop() {
    const char go = 's';
    if (::write(to_, &go, 1) != 1) throw std::runtime_error("the simulators are gone");
    std::vector<int64_t> bytes;
    for (std::size_t i = 0; i < paths_.size(); ++i) bytes.push_back(std::stoll(readLine()));
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return bytes;
  }

 private:
  [[noreturn]] static void serve(int lines, const simulator::SimulatorOptions& options,
                                 const std::function<void(simulator::Simulator&, int)>& build,
                                 int up, int down) {
    std::vector<std::unique_ptr<simulator::Simulator>> sims;
    std::string text;
    for (int i = 0; i < lines; ++i) {
      sims.push_back(std::make_unique<simulator::Simulator>(options));
      build(*sims.back(), i);
      sims.back()->start();
      text += sims.back()->path() + "\n";
    }
    writeAll(up, text);
    char go = 0;
    [[maybe_unused]] const ssize_t got = ::read(down, &go, 1);
    text.clear();
    for (auto& sim : sims) {
      int64_t bytes = 0;
      for (const auto& frame : sim->frames())
        bytes += static_cast<int64_t>(frame.bytes.size() + frame.reply.size());
      text += std::to_string(bytes) + "\n";
      sim->stop();
    }
    writeAll(up, text);
    ::_exit(0);
  }
  static void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
      if (n <= 0) ::_exit(1);
      done += static_cast<std::size_t>(n);
    }
  }
  std::string readLine() {
    char buffer[4096];
    if (std::fgets(buffer, sizeof buffer, from_) == nullptr) return {};
    std::string line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    return line;
  }

  pid_t pid_ = -1;
  std::FILE* from_ = nullptr;
  int to_ = -1;
  std::vector<std::string> paths_;
};

}  // namespace solvard::bench
