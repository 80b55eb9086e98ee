// Sessions on Windows run without the watch: finding the driver's socket there would take the
// system's handle tables, which this layer does not read. The server's own statement bound is
// their only one.
#include "db/session_socket.hpp"

namespace solvard::db {

bool listsSockets() { return false; }

std::vector<StreamSocket> streamSockets() { return {}; }

void shutSocket(const SocketId&) {}

}  // namespace solvard::db
