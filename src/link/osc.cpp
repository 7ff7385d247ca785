#include "link/osc.hpp"

#include <bit>
#include <type_traits>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "link/file_descriptor.hpp"
#include "link/ports.hpp"

namespace zindle::link {
namespace {

// The OSC string rule: the bytes, then 1 to 4 zero bytes up to the next
// multiple of four.
void appendOscString(std::string& out, std::string_view text) {
  text = text.substr(0, text.find('\0'));
  out.append(text);
  out.append(4 - text.size() % 4, '\0');
}

void appendBigEndian(std::string& out, std::uint32_t bits) {
  out.push_back(static_cast<char>(bits >> 24));
  out.push_back(static_cast<char>(bits >> 16));
  out.push_back(static_cast<char>(bits >> 8));
  out.push_back(static_cast<char>(bits));
}

char tagOf(const OscArgument& argument) {
  return std::visit(
      [](const auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::int32_t>) {
          return 'i';
        } else if constexpr (std::is_same_v<T, float>) {
          return 'f';
        } else {
          static_assert(std::is_same_v<T, std::string>);
          return 's';
        }
      },
      argument);
}

void appendArgument(std::string& out, const OscArgument& argument) {
  std::visit(
      [&out](const auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::string>) {
          appendOscString(out, value);
        } else {
          // Two's complement and IEEE 754 bit patterns, sent as they are.
          appendBigEndian(out, std::bit_cast<std::uint32_t>(value));
        }
      },
      argument);
}

}  // namespace

std::string encodeOscMessage(std::string_view address,
                             std::span<const OscArgument> arguments) {
  std::string tags = ",";
  for (const OscArgument& argument : arguments) tags += tagOf(argument);

  std::string message;
  appendOscString(message, address);
  appendOscString(message, tags);
  for (const OscArgument& argument : arguments) {
    appendArgument(message, argument);
  }
  return message;
}

void UdpSender::send(std::int64_t port, std::string_view bytes) {
  if (!isPort(port)) return;
  const FileDescriptor socket(::socket(AF_INET, SOCK_DGRAM, 0));
  if (socket.get() < 0) return;
  // A datagram must fit the socket's send buffer, which macOS sets to 9216
  // bytes: a longer folder or name would be dropped without a word. Raised
  // for every message, on every system alike.
  const int sendBuffer = static_cast<int>(kMaxDatagramBytes);
  (void)::setsockopt(socket.get(), SOL_SOCKET, SO_SNDBUF, &sendBuffer,
                     sizeof sendBuffer);

  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_port = htons(static_cast<std::uint16_t>(port));
  destination.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // Fire and forget: the app's state, read back afterwards, is the only
  // confirmation, so the result of sendto is of no use here.
  (void)::sendto(socket.get(), bytes.data(), bytes.size(), 0,
                 reinterpret_cast<const sockaddr*>(&destination),
                 sizeof destination);
}

}  // namespace zindle::link
