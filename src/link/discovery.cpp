// Finding the app: the first loopback port whose OSCQuery server names
// itself as the app and tells its OSC port.

#include "link/recorder.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "link/http_reader.hpp"

namespace zindle::link {
namespace {

// Both the TCP ports we probe and the UDP port we send to must lie here.
constexpr std::int64_t kLowestPort = 1;
constexpr std::int64_t kHighestPort = 65535;

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

// The "OSC_PORT" of a host information object when it is a number with an
// integral value that can address a UDP port.
std::optional<std::int64_t> oscPortOf(const Json& hostInfo) {
  const auto found = hostInfo.find("OSC_PORT");
  if (found == hostInfo.end() || !found->is_number()) return std::nullopt;
  // Integers and reals alike (9000.0 counts) are judged as a double: exact
  // for every candidate port, and an integer too large to be exact is far
  // out of range. The range check guards the cast, undefined for 1e300.
  const double value = found->get<double>();
  if (!(value >= kLowestPort && value <= kHighestPort) ||
      std::trunc(value) != value) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(value);
}

// The app's OSC port when `hostInfo` is the app's host information. The
// tests run in the order the protocol gives them; each failing one passes
// the port over without a word.
std::optional<std::int64_t> appOscPort(const std::optional<Json>& hostInfo) {
  if (!hostInfo || !hostInfo->is_object() || hostInfo->empty()) {
    return std::nullopt;
  }
  const auto name = hostInfo->find("NAME");
  if (name == hostInfo->end() || !name->is_string()) return std::nullopt;
  if (name->get_ref<const std::string&>() != kApplicationName) {
    return std::nullopt;
  }
  return oscPortOf(*hostInfo);
}

}  // namespace

Recorder Recorder::find(const Services& services) {
  if (const auto ports =
          probedPorts(services.preferredPort, services.portsToTry)) {
    // `last` is at most 65535, so the loop cannot overflow.
    for (std::int64_t port = ports->first; port <= ports->last; ++port) {
      const std::optional<Json> hostInfo =
          services.reader.get(port, kHostInfoPath, kHostInfoTimeout);
      if (const auto oscPort = appOscPort(hostInfo)) {
        return Recorder{port, *oscPort, &services};
      }
    }
  }
  throw RecorderError::unreachable(services.preferredPort, services.portsToTry);
}

}  // namespace zindle::link
