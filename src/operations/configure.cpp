#include "link/recorder.hpp"

namespace zindle::link {

Json Recorder::configure(const Json&) const {
  throw RecorderError::failed("not yet");
}

Json Recorder::configureTool(const Json&) const {
  throw RecorderError::failed("not yet");
}

}  // namespace zindle::link
