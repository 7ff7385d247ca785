// Finding the app: the first loopback port whose OSCQuery server names
// itself as the app and tells its OSC port.

#include "link/recorder.hpp"

#include <optional>
#include <string_view>

#include "link/http_reader.hpp"
#include "link/json_reader.hpp"
#include "link/ports.hpp"

namespace zindle::link {
namespace {

constexpr std::string_view kHostInfoPath = "/?HOST_INFO";

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
