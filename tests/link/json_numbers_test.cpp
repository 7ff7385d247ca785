#include "link/json_numbers.hpp"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace zindle::link {
namespace {

// Each text and what it is rewritten to; "same" when it is left as it is.
// Only numbers that simdjson may not hold are rewritten, and only JSON
// numbers: a text that is no JSON stays as it is, for the parser to refuse.
TEST(JsonNumbers, rewritesOnlyTheNumbersSimdjsonCannotHoldAsNlohmannReadsThem) {
  const std::string ones(655360, '1');
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Past 64 bits, an integer is the nearest double; past a double's
      // range, any number is null.
      {"[18446744073709551616]", "[1.8446744073709552e+19]"},
      {"[-18446744073709551617,1e400,-1E+400,0.5e400]",
       "[-1.8446744073709552e+19,null,null,null]"},
      {"[1,1e400]", "[1,null]"},
      {"-1e400", "null"},
      // simdjson stops counting an exponent at 65,536: about 0.11.
      {"[" + ones + "e-655360]", "[0.1111111111111111]"},
      {"{\"a\":" + ones + "0E-655361}", "{\"a\":0.1111111111111111}"},
      {"[1.5e300, 12345678901234567890.5]",
       "[1.5e+300, 1.2345678901234567e+19]"},
      // Within what simdjson holds.
      {"[18446744073709551615,-9223372036854775808,1e99,0.5,-0]", "same"},
      // In strings, escaped quotes and all.
      {R"(["1e400","\"",18446744073709551616,"\\"])",
       R"(["1e400","\"",1.8446744073709552e+19,"\\"])"},
      {R"(["\"1e400", "x\\\"1e400"])", "same"},
      // No JSON numbers, each with nineteen digits or a long exponent.
      {"[0000000000000000001]", "same"},
      {"[00e400]", "same"},
      {"[-0000000000000000001]", "same"},
      {"[1234567890123456789.]", "same"},
      {"[1.e400]", "same"},
      {"[1e]", "same"},
      {"[1e+]", "same"},
      {"[1e4-00]", "same"},
      {"[-]", "same"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(withReadableNumbers(text).value_or("same"), expected)
        << text.substr(0, 60);
  }
}

}  // namespace
}  // namespace zindle::link
