#include "link/recorder.hpp"

#include <optional>
#include <string>
#include <string_view>

#include "link/http_reader.hpp"
#include "link/json_reader.hpp"
#include "link/osc.hpp"

namespace zindle::link {

const Json* Reading::at(std::string_view path) const {
  const auto found = values.find(std::string(path));
  return found == values.end() ? nullptr : &found->second;
}

std::string Reading::textAt(std::string_view path) const {
  return textOf(at(path));
}

Reading Recorder::read() const {
  const std::optional<std::string_view> body =
      services->reader.get(queryPort, "/", kNamespaceTimeout);
  Reading reading;
  // An answer that is not one JSON object is no namespace at all.
  if (!body || !readNamespace(*body, reading)) throw unreachable();
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
