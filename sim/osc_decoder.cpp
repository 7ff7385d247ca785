#include "sim/osc_decoder.hpp"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <lo/lo_lowlevel.h>

namespace zindle::sim {
namespace {

struct MessageFree {
  void operator()(lo_message message) const { lo_message_free(message); }
};
using MessageHandle =
    std::unique_ptr<std::remove_pointer_t<lo_message>, MessageFree>;

// liblo's values sit in the message at 4-byte boundaries, short of the
// alignment of its lo_arg union, so they are copied out byte by byte rather
// than read through the union. Tags without data (T, F, N, I) may come with
// no value pointer at all, so the pointer is only followed for those that
// carry one.
template <typename Number>
Number copied(const lo_arg* value) {
  Number number;
  std::memcpy(&number, value, sizeof number);
  return number;
}

OscArgument argumentOf(char tag, const lo_arg* value) {
  switch (tag) {
    case LO_INT32:
      return {tag, std::int64_t{copied<std::int32_t>(value)}};
    case LO_INT64:
      return {tag, copied<std::int64_t>(value)};
    case LO_FLOAT:
      return {tag, double{copied<float>(value)}};
    case LO_DOUBLE:
      return {tag, copied<double>(value)};
    case LO_STRING:
    case LO_SYMBOL:
      return {tag, std::string(reinterpret_cast<const char*>(value))};
    default:
      return {tag, std::monostate{}};
  }
}

}  // namespace

std::optional<OscMessage> decodeOscMessage(const void* data, std::size_t size) {
  // liblo's reader takes non-const pointers; a private copy keeps the
  // caller's buffer untouched whatever it does with them.
  std::vector<char> bytes(static_cast<const char*>(data),
                          static_cast<const char*>(data) + size);
  int result = 0;
  MessageHandle message(lo_message_deserialise(bytes.data(), size, &result));
  if (!message || result != 0) return std::nullopt;
  const char* path =
      lo_get_path(bytes.data(), static_cast<ssize_t>(bytes.size()));
  if (path == nullptr || path[0] != '/') return std::nullopt;

  OscMessage decoded{path, {}};
  const char* tags = lo_message_get_types(message.get());
  lo_arg** values = lo_message_get_argv(message.get());
  const int count = lo_message_get_argc(message.get());
  for (int i = 0; i < count; ++i) {
    decoded.arguments.push_back(argumentOf(tags[i], values[i]));
  }
  return decoded;
}

}  // namespace zindle::sim
