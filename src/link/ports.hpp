#pragma once
// The numbers a TCP or UDP port can have: 0 names no port, and the field is
// 16 bits wide. The app's ports come from the environment and from the app
// itself, so each is checked against these before it is used.

#include <algorithm>
#include <cstdint>
#include <optional>

namespace zindle::link {

inline constexpr std::int64_t kLowestPort = 1;
inline constexpr std::int64_t kHighestPort = 65535;

constexpr bool isPort(std::int64_t number) {
  return number >= kLowestPort && number <= kHighestPort;
}

// The last of `count` ports from `first`, both as the environment gave them:
// first + count - 1 in unsigned 64-bit arithmetic, so that no sum overflows.
// It is the exact last port when `first` is not negative and `count` is
// positive, and the exact sum read as signed when `first` is negative.
constexpr std::uint64_t lastOfRange(std::int64_t first, std::int64_t count) {
  return static_cast<std::uint64_t>(first) + static_cast<std::uint64_t>(count) -
         1;
}

struct PortRange {
  std::int64_t first;
  std::int64_t last;
};

// The ports of `count` from `first` that are TCP ports, or nothing.
constexpr std::optional<PortRange> probedPorts(std::int64_t first,
                                               std::int64_t count) {
  if (count <= 0 || first > kHighestPort) return std::nullopt;
  const std::uint64_t sum = lastOfRange(first, count);
  const std::int64_t last =
      first < 0 ? std::min(static_cast<std::int64_t>(sum), kHighestPort)
                : static_cast<std::int64_t>(
                      std::min(sum, static_cast<std::uint64_t>(kHighestPort)));
  const std::int64_t lowest = std::max(first, kLowestPort);
  if (lowest > last) return std::nullopt;
  return PortRange{lowest, last};
}

}  // namespace zindle::link
