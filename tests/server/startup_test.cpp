#include "server/startup.hpp"

#include <vector>

#include <gtest/gtest.h>

namespace zindle::server {
namespace {

// Each port and the values of ZINDLE_OSCQUERY_PORT that give it: an optional
// sign and ASCII digits within 64 bits, with no range test; anything else
// gives 9231. The NUL value is "93", NUL, "00"; the last value is in
// Arabic-Indic digits.
TEST(Startup, readsTheWholeValueAsASignedDecimalOrFallsBackTo9231) {
  const std::pair<std::int64_t, std::vector<std::optional<std::string_view>>>
      kCases[] = {
          // Only the view is read, whatever follows it in memory.
          {9300, {"9300", "+9300", "09300", std::string_view("930099", 4)}},
          {0, {"0", "-0"}},
          {-1, {"-1"}},
          {INT64_MAX, {"9223372036854775807"}},
          {INT64_MIN, {"-9223372036854775808"}},
          {9231,
           {std::nullopt, "", " 9300", "9300 ", "9300\n", "93a0", "abc", "+",
            "-", "+-9300", "9300-", "0x2400", "9300.0", "1e4",
            "9223372036854775808", "-9223372036854775809",
            std::string_view("93\00000", 5), "\xd9\xa9\xd9\xa3"}},
      };
  for (const auto& [port, values] : kCases) {
    for (const std::optional<std::string_view>& value : values)
      EXPECT_EQ(readPreferredPort(value), port) << value.value_or("none");
  }
}

}  // namespace
}  // namespace zindle::server
