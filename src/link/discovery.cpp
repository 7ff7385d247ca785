// Finding the app: the first loopback port whose OSCQuery server names
// itself as the app and tells its OSC port.

#include "link/recorder.hpp"

#include <algorithm>
#include <optional>
#include <string_view>

#include "link/http_reader.hpp"
#include "link/json_reader.hpp"
#include "link/ports.hpp"

namespace zindle::link {
namespace {

constexpr std::string_view kHostInfoPath = "/?HOST_INFO";

struct PortRange {
  std::int64_t first;
  std::int64_t last;
};

// The candidates first .. first + count - 1 that are TCP ports, or nothing.
// The range comes from the environment, so its end is computed without ever
// leaving the signed 64-bit range.
std::optional<PortRange> probedPorts(std::int64_t first, std::int64_t count) {
  if (count <= 0 || first > kHighestPort) return std::nullopt;
  std::int64_t last = kHighestPort;
  if (first < 0) {
    last = std::min(last, first + (count - 1));
  } else if (count - 1 <= kHighestPort - first) {
    last = first + (count - 1);
  }
  const std::int64_t lowest = std::max(first, kLowestPort);
  if (lowest > last) return std::nullopt;
  return PortRange{lowest, last};
}

}  // namespace

Recorder Recorder::find(const Services& services) {
  if (const auto ports =
          probedPorts(services.preferredPort, services.portsToTry)) {
    // `last` is at most 65535, so the loop cannot overflow.
    for (std::int64_t port = ports->first; port <= ports->last; ++port) {
      // Each port that does not answer as the app is passed over without a
      // word.
      const std::optional<std::string_view> hostInfo =
          services.reader.get(port, kHostInfoPath, kHostInfoTimeout);
      if (!hostInfo) continue;
      if (const auto oscPort = appOscPort(*hostInfo)) {
        return Recorder{port, *oscPort, &services};
      }
    }
  }
  throw RecorderError::unreachable(services.preferredPort, services.portsToTry);
}

}  // namespace zindle::link
