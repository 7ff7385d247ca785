#include "link/recorder.hpp"

namespace zindle::link {

Json Recorder::status() const { throw RecorderError::failed("not yet"); }

}  // namespace zindle::link
