#pragma once

// How the simulator's listening sockets take their ports: each port must be
// its own, so that the server never finds the simulator where the app
// listens, and a restart takes its port back at once.

namespace zindle::sim {

// Sets the options of `socket`, a TCP socket about to be bound: the port may
// be taken while connections of its last holder wait out TIME_WAIT (30 s
// on macOS, 60 s on Linux), as those a restarted simulator closed do.
void claimPortAlone(int socket);

// Whether a program answers TCP connections on 127.0.0.1:`port`, at that
// address or at every address. macOS lets a bind to 127.0.0.1 with the
// option above share a port that another socket listens on at every
// address, so a fixed port is asked this first and refused when it answers.
bool isListenedOn(int port);

}  // namespace zindle::sim
