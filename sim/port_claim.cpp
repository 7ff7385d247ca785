#include "sim/port_claim.hpp"

#include <cerrno>
#include <cstdint>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zindle::sim {
namespace {

// A listener on loopback answers at once; this bounds the wait for one
// whose queue of connections is full, which drops the handshake.
constexpr int kAnswerWaitMs = 1000;

}  // namespace

void claimPortAlone(int socket) {
  const int yes = 1;
  ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

bool isListenedOn(int port) {
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  if (probe < 0) return false;
  ::fcntl(probe, F_SETFL, ::fcntl(probe, F_GETFL) | O_NONBLOCK);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool answered = ::connect(probe, reinterpret_cast<const sockaddr*>(&address),
                            sizeof address) == 0;
  if (!answered && errno == EINPROGRESS) {
    pollfd watched{probe, POLLOUT, 0};
    int failure = 0;
    socklen_t length = sizeof failure;
    answered =
        ::poll(&watched, 1, kAnswerWaitMs) > 0 &&
        ::getsockopt(probe, SOL_SOCKET, SO_ERROR, &failure, &length) == 0 &&
        failure == 0;
  }
  ::close(probe);
  return answered;
}

}  // namespace zindle::sim
