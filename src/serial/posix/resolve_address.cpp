#include "serial/posix/resolve_address.hpp"

#include <netdb.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace solvard::serial::posix {
namespace {

// Shared by the caller and the resolving thread, whichever finishes with it last.
struct Pending {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  Resolution result;
};

Resolution lookUp(const std::string& host, const std::string& port) {
  Resolution result;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
  addrinfo* found = nullptr;
  result.code = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
  if (result.code != 0) {
    result.reason = result.code == EAI_SYSTEM ? std::string(std::strerror(errno))
                                              : std::string(::gai_strerror(result.code));
    return result;
  }
  for (const addrinfo* info = found; info; info = info->ai_next) {
    if (info->ai_addrlen > sizeof(sockaddr_storage)) continue;
    SocketAddress address;
    address.family = info->ai_family;
    address.type = info->ai_socktype;
    address.protocol = info->ai_protocol;
    std::memcpy(&address.address, info->ai_addr, info->ai_addrlen);
    address.length = info->ai_addrlen;
    result.addresses.push_back(address);
  }
  ::freeaddrinfo(found);
  return result;
}

}  // namespace

Resolution resolveAddress(const std::string& host, const std::string& port,
                          std::chrono::steady_clock::time_point deadline) {
  auto pending = std::make_shared<Pending>();
  std::thread([pending, host, port] {
    Resolution result = lookUp(host, port);
    std::lock_guard lock(pending->mutex);
    pending->result = std::move(result);
    pending->finished = true;
    pending->done.notify_all();
  }).detach();
  std::unique_lock lock(pending->mutex);
  if (!pending->done.wait_until(lock, deadline, [&] { return pending->finished; })) {
    Resolution late;
    late.timedOut = true;
    late.reason = "the host name was not resolved in time";
    return late;
  }
  return std::move(pending->result);
}

}  // namespace solvard::serial::posix
