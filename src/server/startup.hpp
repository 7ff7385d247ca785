#pragma once
// The values the server fixes once at start-up.

#include <cstdint>
#include <optional>
#include <string_view>

namespace zindle::server {

inline constexpr const char* kPortVariable = "ZINDLE_OSCQUERY_PORT";

// The first OSCQuery port to try, from the value of ZINDLE_OSCQUERY_PORT:
// an optional sign and one or more ASCII digits, nothing else, within a
// signed 64-bit integer. Any other value, and none, gives 9231. No range
// test is made: "-1" gives -1.
std::int64_t readPreferredPort(std::optional<std::string_view> value);

}  // namespace zindle::server
