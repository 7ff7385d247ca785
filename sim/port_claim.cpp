#include "sim/port_claim.hpp"

#include <sys/socket.h>

namespace zindle::sim {

void claimPortAlone([[maybe_unused]] int socket) {
#ifndef __APPLE__
  // Linux refuses a bind that overlaps a listening socket whatever this
  // says; it only lets a restart take the port back from the connections
  // its last run left waiting out TIME_WAIT.
  const int yes = 1;
  ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
}

}  // namespace zindle::sim
