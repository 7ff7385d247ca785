#pragma once
// The numbers a TCP or UDP port can have: 0 names no port, and the field is
// 16 bits wide. The app's ports come from the environment and from the app
// itself, so each is checked against these before it is used.

#include <cstdint>

namespace zindle::link {

inline constexpr std::int64_t kLowestPort = 1;
inline constexpr std::int64_t kHighestPort = 65535;

constexpr bool isPort(std::int64_t number) {
  return number >= kLowestPort && number <= kHighestPort;
}

}  // namespace zindle::link
