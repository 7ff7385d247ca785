// Random addresses and arguments through the server's OSC encoder, decoded
// again by liblo, an implementation we did not write: what comes out must be
// what went in.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/differential.hpp"

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
  if (!testing::decodesAsSent(address, arguments)) std::abort();
  return 0;
}
