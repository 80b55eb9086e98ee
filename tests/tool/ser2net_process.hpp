#pragma once

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

// ser2net as a device server in front of a simulated line: its own configuration file, one
// connection on 127.0.0.1 and a free port, no UUCP locks, stopped by the test. Every wait is
// bounded.
namespace solvard::tool::testing {

// A port on 127.0.0.1 that nobody listens on right now.
inline int freeLocalPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

inline std::string ser2netProgram() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
    if (::access(path, X_OK) == 0) return path;
  }
  return {};
}

// Whether some socket listens on 127.0.0.1:port, read from the kernel's table, so that the test
// knows ser2net is ready without connecting to it (a connection would open the line).
inline bool listening(int port) {
  std::ifstream table("/proc/net/tcp");
  std::string line;
  char wanted[32];
  std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
  while (std::getline(table, line)) {
    if (line.find(wanted) != std::string::npos && line.find(" 0A ") != std::string::npos) {
      return true;
    }
  }
  return false;
}

class Ser2net {
 public:
  // `accepter` is "tcp" or "telnet(rfc2217),tcp"; the device is opened at `line` (e.g.
  // "4800n81").
  Ser2net(std::filesystem::path folder, std::string accepter, std::string device, std::string line,
          int port)
      : folder_(std::move(folder)), port_(port) {
    config_ = folder_ / ("ser2net-" + std::to_string(port) + ".yaml");
    std::ofstream(config_) << "connection: &line\n  accepter: " << accepter << ",127.0.0.1," << port
                           << "\n  connector: serialdev," << device << "," << line << ",local\n";
  }
  ~Ser2net() { stop(); }
  Ser2net(const Ser2net&) = delete;
  Ser2net& operator=(const Ser2net&) = delete;

  // Starts it and waits, at most five seconds, until it listens.
  bool start() {
    const std::string program = ser2netProgram();
    if (program.empty() || pid_ > 0) return false;
    const std::string log = (folder_ / ("ser2net-" + std::to_string(port_) + ".log")).string();
    pid_ = ::fork();
    if (pid_ == 0) {
      const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      ::dup2(out, 1);
      ::dup2(out, 2);
      ::execl(program.c_str(), program.c_str(), "-n", "-u", "-c", config_.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      if (listening(port_)) return true;
      ::poll(nullptr, 0, 20);
    }
    return false;
  }

  // Ends it at once, as a device server that crashed or lost power, and waits for it to go.
  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  int port() const { return port_; }

 private:
  std::filesystem::path folder_;
  std::filesystem::path config_;
  int port_;
  pid_t pid_ = -1;
};

}  // namespace solvard::tool::testing
