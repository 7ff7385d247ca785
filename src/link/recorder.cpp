#include "link/recorder.hpp"

#include <optional>

#include "link/http_reader.hpp"
#include "link/osc.hpp"

namespace zindle::link {

Reading Recorder::read() const {
  const std::optional<Json> document =
      services->reader.get(queryPort, "/", kNamespaceTimeout);
  // An array at the top parses, but a namespace is always one object.
  if (!document || !document->is_object()) throw unreachable();
  Reading reading;
  walk(*document, reading);
  return reading;
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
