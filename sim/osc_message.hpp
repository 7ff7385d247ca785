#pragma once

// One OSC message as the simulated app receives it: its address and its
// arguments, each kept with its type tag so that a refusal can say what was
// wrong and the log can show exactly what arrived; and its decoding.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace zindle::sim {

struct OscArgument {
  // The OSC type tag as received: 'i', 'h', 'f', 'd', 's', 'S' or any other.
  char tag = 'N';
  // i and h as integers, f and d as reals, s and S as text; other tags carry
  // no value the app could use.
  std::variant<std::monostate, std::int64_t, double, std::string> value;

  static OscArgument integer(std::int64_t number);
  static OscArgument real(double number);
  static OscArgument text(std::string content);
};

struct OscMessage {
  std::string address;
  std::vector<OscArgument> arguments;
};

// The argument's value when it is a number (tags i, h, f, d).
std::optional<double> numberOf(const OscArgument& argument);

// The argument's value when it is text (tags s, S).
std::optional<std::string> textOf(const OscArgument& argument);

// One line for the log: the address, the type tags and the arguments, such
// as `/fps ,f 29.97` or `/source/1 ,s "Main Camera"`.
std::string describe(const OscMessage& message);

// The message held by `size` bytes at `data`, or nothing when they are not
// one well-formed OSC message (bundles included: the app takes none).
// `data` is only read during the call. The decoding is done by liblo, an OSC
// library written apart from the server, so that the simulator checks the
// server's own encoder instead of mirroring it.
std::optional<OscMessage> decodeOscMessage(const void* data, std::size_t size);

}  // namespace zindle::sim
