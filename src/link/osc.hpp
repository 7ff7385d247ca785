#pragma once
// OSC 1.0 messages, and the datagrams that carry them to the app.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace zindle::link {

// One OSC argument: int (tag "i"), float (tag "f") or string (tag "s").
using OscArgument = std::variant<std::int32_t, float, std::string>;

// The largest message a datagram carries: the most a UDP datagram over IPv4
// holds. A longer one is not sent, and reading the app back tells.
inline constexpr std::size_t kMaxDatagramBytes = 65507;

// The bytes of one OSC 1.0 message: the address and the type tag string,
// each padded with 1 to 4 zero bytes to a multiple of four, then the
// arguments, big-endian (a string argument padded the same way). Lengths
// count UTF-8 bytes. An OSC string ends at its first zero byte, so a text
// holding one is cut there: the receiver then reads the same fields we
// wrote, and the shortened value is what reading the app back will show.
// Never throws but for std::bad_alloc.
std::string encodeOscMessage(std::string_view address,
                             std::span<const OscArgument> arguments);

class DatagramSender {
 public:
  virtual ~DatagramSender() = default;
  // Sends `bytes` as one UDP datagram to 127.0.0.1:<port>. Fire and forget:
  // it reports nothing and never throws.
  virtual void send(std::int64_t port, std::string_view bytes) = 0;
};

// The real sender: a new IPv4 UDP socket for every datagram, closed before
// send() returns. A port outside 1 to 65535 sends nothing; so does a socket
// that cannot be opened or a datagram the system refuses.
class UdpSender final : public DatagramSender {
 public:
  void send(std::int64_t port, std::string_view bytes) override;
};

}  // namespace zindle::link
