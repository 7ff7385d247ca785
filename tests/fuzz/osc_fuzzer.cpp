// Random addresses and arguments through the server's OSC encoder, decoded
// again by liblo, an implementation we did not write: what comes out must be
// what went in.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <lo/lo.h>

#include "link/osc.hpp"

using namespace zindle;

namespace {

// Reads the fuzzer's bytes as a recipe: an address, then arguments, each
// introduced by a byte whose value picks its kind.
struct Recipe {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;

  bool done() const { return at >= size; }
  std::uint8_t byte() { return at < size ? data[at++] : 0; }
  std::string text() {
    std::size_t length = byte() % 40;
    std::string result;
    while (length-- > 0 && !done()) {
      char c = static_cast<char>(byte());
      // A zero byte would end an OSC string; the encoder cuts there, and
      // that rule has tests of its own.
      result.push_back(c == '\0' ? 'z' : c);
    }
    return result;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  Recipe recipe{data, size};
  std::string address = "/" + recipe.text();
  std::vector<link::OscArgument> arguments;
  while (!recipe.done() && arguments.size() < 8) {
    switch (recipe.byte() % 3) {
      case 0: {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = bits << 8 | recipe.byte();
        arguments.emplace_back(static_cast<std::int32_t>(bits));
        break;
      }
      case 1: {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = bits << 8 | recipe.byte();
        float number;
        std::memcpy(&number, &bits, sizeof number);
        arguments.emplace_back(number);
        break;
      }
      default:
        arguments.emplace_back(recipe.text());
    }
  }

  std::string bytes = link::encodeOscMessage(address, arguments);
  if (bytes.size() % 4 != 0) std::abort();
  int result = 0;
  lo_message message =
      lo_message_deserialise(bytes.data(), bytes.size(), &result);
  if (message == nullptr) std::abort();
  char* decodedAddress =
      lo_get_path(bytes.data(), static_cast<ssize_t>(bytes.size()));
  bool same =
      decodedAddress != nullptr && address == decodedAddress &&
      lo_message_get_argc(message) == static_cast<int>(arguments.size());
  lo_arg** values = lo_message_get_argv(message);
  const char* types = lo_message_get_types(message);
  for (std::size_t i = 0; same && i < arguments.size(); ++i) {
    // liblo leaves its array of values, and the values, 4-byte aligned
    // only: copy them out.
    const char* value = nullptr;
    std::memcpy(&value, values + i, sizeof value);
    if (const auto* number = std::get_if<std::int32_t>(&arguments[i])) {
      std::int32_t decoded;
      std::memcpy(&decoded, value, sizeof decoded);
      same = types[i] == 'i' && decoded == *number;
    } else if (const auto* real = std::get_if<float>(&arguments[i])) {
      float decoded;
      std::memcpy(&decoded, value, sizeof decoded);
      same =
          types[i] == 'f' && std::memcmp(&decoded, real, sizeof decoded) == 0;
    } else {
      same = types[i] == 's' && std::get<std::string>(arguments[i]) == value;
    }
  }
  lo_message_free(message);
  if (!same) std::abort();
  return 0;
}
