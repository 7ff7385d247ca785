#pragma once

// The options of the simulator's listening sockets: each port must be its
// own, so that the server never finds the simulator where the app listens.

namespace zindle::sim {

// Sets the options of `socket`, a TCP socket about to be bound. Where the
// system lets a bind to 127.0.0.1 share a port that another socket holds
// at every address (macOS with SO_REUSEADDR, and Linux with SO_REUSEPORT,
// cpp-httplib's default), it asks for neither, so that such a bind fails.
void claimPortAlone(int socket);

}  // namespace zindle::sim
