#include "link/recorder.hpp"

namespace zindle::link {

void walk(const Json&, Reading&) {}

Recorder Recorder::find(const Services& services) {
  throw RecorderError::unreachable(services.preferredPort,
                                   services.portsToTry);
}

Reading Recorder::read() const { throw unreachable(); }

void Recorder::send(std::string_view, std::span<const Argument>) const {}

RecorderError Recorder::unreachable() const {
  return RecorderError::unreachable(services->preferredPort,
                                    services->portsToTry);
}

}  // namespace zindle::link
