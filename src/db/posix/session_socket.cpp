// Listing the process's sockets through /proc/self/fd (Linux), and shutting one.
#include "db/session_socket.hpp"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstdlib>
#include <cstring>

namespace solvard::db {
namespace {

int portOf(const sockaddr_storage& address) {
  if (address.ss_family == AF_INET) {
    return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
  }
  return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
}

// The descriptor's socket, if it is a connected stream socket over TCP or a Unix-domain one.
std::optional<StreamSocket> streamSocket(int descriptor) {
  struct stat status {};
  if (fstat(descriptor, &status) != 0 || !S_ISSOCK(status.st_mode)) return std::nullopt;
  int type = 0;
  socklen_t length = sizeof type;
  if (getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM) {
    return std::nullopt;
  }
  sockaddr_storage peer{};
  length = sizeof peer;
  // A socket that is not connected (a listening one, one still connecting) has no peer.
  if (getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &length) != 0) {
    return std::nullopt;
  }
  StreamSocket socket;
  socket.id = {descriptor, static_cast<uint64_t>(status.st_ino)};
  if (peer.ss_family == AF_UNIX) {
    const auto& unixPeer = reinterpret_cast<const sockaddr_un&>(peer);
    const size_t most =
        length > offsetof(sockaddr_un, sun_path) ? length - offsetof(sockaddr_un, sun_path) : 0;
    socket.unixDomain = true;
    socket.peerPath.assign(unixPeer.sun_path, strnlen(unixPeer.sun_path, most));
    return socket;
  }
  if (peer.ss_family != AF_INET && peer.ss_family != AF_INET6) return std::nullopt;
  sockaddr_storage local{};
  length = sizeof local;
  if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
    return std::nullopt;
  }
  socket.localPort = portOf(local);
  socket.peerPort = portOf(peer);
  return socket;
}

}  // namespace

bool listsSockets() {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return false;
  closedir(folder);
  return true;
}

std::vector<StreamSocket> streamSockets() {
  std::vector<StreamSocket> sockets;
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return sockets;
  const int own = dirfd(folder);
  while (const dirent* entry = readdir(folder)) {
    char* end = nullptr;
    const long descriptor = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0' || descriptor == own) continue;
    if (auto socket = streamSocket(static_cast<int>(descriptor))) sockets.push_back(*socket);
  }
  closedir(folder);
  return sockets;
}

void shutSocket(const SocketId& id) {
  struct stat status {};
  if (fstat(id.descriptor, &status) != 0 || !S_ISSOCK(status.st_mode) ||
      static_cast<uint64_t>(status.st_ino) != id.identity) {
    return;
  }
  shutdown(id.descriptor, SHUT_RDWR);
}

}  // namespace solvard::db
