// Random addresses and arguments through the server's OSC encoder, decoded
// again by liblo, an implementation we did not write: what comes out must be
// what went in.

#include <fuzzer/FuzzedDataProvider.h>
#include <lo/lo.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/osc.hpp"

using namespace zindle;

namespace {

// A text without zero bytes: the encoder cuts a text at its first one, and
// that rule has tests of its own.
std::string text(FuzzedDataProvider& input) {
  std::string result = input.ConsumeRandomLengthString(40);
  for (char& c : result) c = c == '\0' ? 'z' : c;
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string address = "/" + text(input);
  std::vector<link::OscArgument> arguments;
  while (input.remaining_bytes() > 0 && arguments.size() < 8) {
    switch (input.ConsumeIntegralInRange(0, 2)) {
      case 0:
        arguments.emplace_back(input.ConsumeIntegral<std::int32_t>());
        break;
      case 1: {
        const auto bits = input.ConsumeIntegral<std::uint32_t>();
        float number;
        std::memcpy(&number, &bits, sizeof number);
        arguments.emplace_back(number);
        break;
      }
      default:
        arguments.emplace_back(text(input));
    }
  }

  std::string bytes = link::encodeOscMessage(address, arguments);
  int result = 0;
  lo_message message =
      lo_message_deserialise(bytes.data(), bytes.size(), &result);
  if (bytes.size() % 4 != 0 || message == nullptr ||
      address != lo_get_path(bytes.data(), std::ssize(bytes)) ||
      lo_message_get_argc(message) != std::ssize(arguments)) {
    std::abort();
  }
  const char* types = lo_message_get_types(message);
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    // liblo leaves its array of values, and the values, 4-byte aligned
    // only: copied out. A float is compared bit for bit (NaN included).
    const char* value = nullptr;
    std::memcpy(&value, lo_message_get_argv(message) + i, sizeof value);
    const bool same = std::visit(
        [&](const auto& given) {
          using T = std::decay_t<decltype(given)>;
          if constexpr (std::is_same_v<T, std::string>) {
            return types[i] == 's' && given == value;
          } else {
            return types[i] == (std::is_same_v<T, float> ? 'f' : 'i') &&
                   std::memcmp(&given, value, sizeof given) == 0;
          }
        },
        arguments[i]);
    if (!same) std::abort();
  }
  lo_message_free(message);
  return 0;
}
