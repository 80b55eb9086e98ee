#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace solvard::db {

// The socket of one PostgreSQL session, for the watch that shuts it when the server stops
// answering (statement_watch.hpp). The ODBC drivers give no attribute for it, so it is found by
// listing the process's sockets around the session's connect: the sockets the platform can list
// are compared here, the listing and the shutting are the platform's own (db/posix, db/win32).

// One socket of the process: its descriptor and the identity of the open socket behind it, so
// that a descriptor number closed and reused for another socket is not taken for it.
struct SocketId {
  int descriptor = -1;
  uint64_t identity = 0;

  bool operator==(const SocketId&) const = default;
};

// A connected stream socket and where its two ends are.
struct StreamSocket {
  SocketId id;
  bool unixDomain = false;  // then `peerPath` names the server's socket file; else TCP
  int localPort = 0;
  int peerPort = 0;
  std::string peerPath;
};

// What each platform supplies (db/posix, db/win32).
// Whether the process's sockets can be listed here; where not, no session is watched.
bool listsSockets();
// The process's connected stream sockets.
std::vector<StreamSocket> streamSockets();
// Shuts both directions of the socket `id` names, if it still names the same socket: a read
// blocked on it returns at once, and the driver finds the connection ended.
void shutSocket(const SocketId& id);

// What the server says of the session's connection (inet_client_port(), inet_server_port()):
// the two TCP ports as the server sees them, none over a Unix-domain socket.
struct ServerView {
  std::optional<int> clientPort;
  std::optional<int> serverPort;
};

// The session's socket among those opened while it connected (in `after` and not in `before`):
// over TCP, the one whose ports are those the server names; over a Unix-domain socket, the one
// whose peer is a PostgreSQL socket file (".s.PGSQL.<port>"). Sockets other threads opened in
// the meantime (network serial lines) do not match. None, with `problem` saying why, unless
// exactly one matches.
std::optional<SocketId> chooseSessionSocket(const std::vector<StreamSocket>& before,
                                            const std::vector<StreamSocket>& after,
                                            const ServerView& server, std::string& problem);

}  // namespace solvard::db
