#include "sim/osc_input.hpp"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/activity_log.hpp"
#include "sim/osc_message.hpp"
#include "sim/recent_messages.hpp"
#include "sim/recorder_model.hpp"

namespace zindle::sim {
namespace {

// The largest UDP payload; a datagram is never split across reads.
constexpr std::size_t kLargestDatagram = 65536;

void closeIfOpen(int& descriptor) {
  if (descriptor >= 0) ::close(descriptor);
  descriptor = -1;
}

std::runtime_error socketError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

}  // namespace

OscInput::OscInput(RecorderModel& model, ActivityLog& log,
                   RecentMessages& recent)
    : model_(model), log_(log), recent_(recent) {}

OscInput::~OscInput() { stop(); }

int OscInput::start(int port) {
  socket_ = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (socket_ < 0) throw socketError("cannot open the OSC socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(socket_, reinterpret_cast<const sockaddr*>(&address),
             sizeof address) != 0) {
    const auto failed =
        socketError("cannot bind the OSC port " + std::to_string(port));
    closeIfOpen(socket_);
    throw failed;
  }
  socklen_t length = sizeof address;
  ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
  if (::pipe(wake_) != 0) {
    closeIfOpen(socket_);
    throw socketError("cannot open a pipe");
  }
  thread_ = std::thread([this] { receive(); });
  return ntohs(address.sin_port);
}

void OscInput::stop() {
  if (thread_.joinable()) {
    const char byte = 0;
    // The pipe is empty and ours alone, so one byte always fits.
    [[maybe_unused]] const auto written = ::write(wake_[1], &byte, 1);
    thread_.join();
  }
  closeIfOpen(socket_);
  closeIfOpen(wake_[0]);
  closeIfOpen(wake_[1]);
}

void OscInput::receive() {
  std::array<char, kLargestDatagram> buffer{};
  for (;;) {
    pollfd watched[2] = {{socket_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    if (watched[0].revents == 0) continue;
    const auto size = ::recv(socket_, buffer.data(), buffer.size(), 0);
    if (size < 0) continue;  // a datagram lost on the way is not the app's
    const auto message =
        decodeOscMessage(buffer.data(), static_cast<std::size_t>(size));
    if (!message) {
      log_.write("osc: a datagram of " + std::to_string(size) +
                 " bytes that is not an OSC message, ignored");
      continue;
    }
    log_.write("osc " + describe(*message));
    recent_.add(*message);
    model_.handle(*message);
  }
}

}  // namespace zindle::sim
