#include "link/recorder_error.hpp"

#include <utility>

#include "link/ports.hpp"
#include "link/recorder.hpp"

namespace zindle {
namespace {

// The last port of the range in decimal, as the environment gave it. A
// count below one, which no caller gives, wraps rather than overflow.
std::string lastPortText(std::int64_t firstPort, std::int64_t portCount) {
  const std::uint64_t last = link::lastOfRange(firstPort, portCount);
  if (firstPort >= 0 && portCount > 0) return std::to_string(last);
  return std::to_string(static_cast<std::int64_t>(last));
}

}  // namespace

RecorderError::RecorderError(Kind kind, std::string text)
    : kind_(kind), text_(std::move(text)) {}

RecorderError RecorderError::badArguments(std::string message) {
  return RecorderError(Kind::badArguments, std::move(message));
}

RecorderError RecorderError::failed(std::string message) {
  return RecorderError(Kind::failed, std::move(message));
}

RecorderError RecorderError::unreachable(std::int64_t firstPort,
                                         std::int64_t portCount) {
  std::string text(link::kApplicationName);
  text += " is not running, or its OSCQuery server is not on ports ";
  text += std::to_string(firstPort);
  text += "\u2013";  // an en dash, not a hyphen
  text += lastPortText(firstPort, portCount);
  text +=
      ". Launch the app and retry (set ZINDLE_OSCQUERY_PORT if it uses "
      "another port).";
  return RecorderError(Kind::unreachable, std::move(text));
}

}  // namespace zindle
