#include "link/recorder.hpp"

namespace zindle::link {

CurrentState Recorder::currentState() const { return {}; }

bool Recorder::wait(std::chrono::milliseconds,
                    const std::function<bool()>&) const {
  return false;
}

Json Recorder::start(const Json&) const {
  throw RecorderError::failed("not yet");
}

Json Recorder::stop() const { throw RecorderError::failed("not yet"); }

}  // namespace zindle::link
