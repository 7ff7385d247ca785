#include "link/recorder.hpp"

#include <optional>
#include <string_view>

#include "link/http_reader.hpp"
#include "link/json_reader.hpp"
#include "link/osc.hpp"

namespace zindle::link {

NamespaceSnapshot Recorder::read() const {
  const std::optional<std::string_view> body =
      services->reader.get(queryPort, "/", kNamespaceTimeout);
  NamespaceSnapshot snapshot;
  // An answer that is not one JSON object is no namespace at all.
  if (!body || !readNamespace(*body, snapshot)) throw unreachable();
  return snapshot;
}

void Recorder::send(std::string_view address,
                    std::span<const Argument> arguments) const {
  services->sender.send(oscPort, encodeOscMessage(address, arguments));
}

RecorderError Recorder::unreachable() const {
  return RecorderError::unreachable(services->preferredPort,
                                    services->portsToTry);
}

}  // namespace zindle::link
