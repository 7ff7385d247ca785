#include "sim/osc_message.hpp"

#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <lo/lo_lowlevel.h>

namespace zindle::sim {

OscArgument OscArgument::integer(std::int64_t number) { return {'i', number}; }

OscArgument OscArgument::real(double number) { return {'f', number}; }

OscArgument OscArgument::text(std::string content) {
  return {'s', std::move(content)};
}

std::optional<double> numberOf(const OscArgument& argument) {
  if (const auto* integer = std::get_if<std::int64_t>(&argument.value)) {
    return static_cast<double>(*integer);
  }
  if (const auto* real = std::get_if<double>(&argument.value)) return *real;
  return std::nullopt;
}

std::optional<std::string> textOf(const OscArgument& argument) {
  if (const auto* text = std::get_if<std::string>(&argument.value)) {
    return *text;
  }
  return std::nullopt;
}

std::string describe(const OscMessage& message) {
  std::ostringstream line;
  line << message.address << " ,";
  for (const auto& argument : message.arguments) line << argument.tag;
  for (const auto& argument : message.arguments) {
    line << ' ';
    if (const auto* integer = std::get_if<std::int64_t>(&argument.value)) {
      line << *integer;
    } else if (const auto* real = std::get_if<double>(&argument.value)) {
      line << *real;
    } else if (const auto* text = std::get_if<std::string>(&argument.value)) {
      line << '"' << *text << '"';
    } else {
      line << '-';
    }
  }
  return line.str();
}

namespace {

struct MessageFree {
  void operator()(lo_message message) const { lo_message_free(message); }
};
using MessageHandle =
    std::unique_ptr<std::remove_pointer_t<lo_message>, MessageFree>;

// liblo's values sit in the message at 4-byte boundaries, short of the
// alignment of its lo_arg union, so the pointers it hands out are never
// followed as lo_arg: not even a memcpy from one, as the compiler may take
// the type's alignment for granted there. Each is turned into an address of
// plain bytes through an integer, which carries no such promise, and the
// value is copied out of those. Tags without data (T, F, N, I) may come
// with no value pointer at all, so the pointer is only followed for those
// that carry one.
const char* bytesOf(const lo_arg* value) {
  return reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(value));
}

template <typename Number>
Number copied(const char* bytes) {
  Number number;
  std::memcpy(&number, bytes, sizeof number);
  return number;
}

OscArgument argumentOf(char tag, const char* bytes) {
  switch (tag) {
    case LO_INT32:
      return {tag, std::int64_t{copied<std::int32_t>(bytes)}};
    case LO_INT64:
      return {tag, copied<std::int64_t>(bytes)};
    case LO_FLOAT:
      return {tag, double{copied<float>(bytes)}};
    case LO_DOUBLE:
      return {tag, copied<double>(bytes)};
    case LO_STRING:
    case LO_SYMBOL:
      return {tag, std::string(bytes)};
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
    decoded.arguments.push_back(argumentOf(tags[i], bytesOf(values[i])));
  }
  return decoded;
}

}  // namespace zindle::sim
