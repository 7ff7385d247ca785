#pragma once

// Faults the simulator can be told to show, so that the server's handling of
// an app that misbehaves can be tested. Each is set on the command line or,
// while running, by an OSC message under /sim/.

#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "sim/osc_message.hpp"

namespace zindle::sim {

enum class HttpFault {
  none,
  notFound,  // every GET answers 404
  garbage,   // every GET answers 200 with a body that is not JSON
  hang,      // every GET is held without an answer
};

// The fault named "none" (or ""), "404", "garbage" or "hang".
std::optional<HttpFault> httpFaultNamed(std::string_view name);
std::string_view nameOf(HttpFault fault);

struct Faults {
  std::set<std::string> refused;  // settings (or "source") that take nothing
  std::string failStart;          // the next start fails with this error
  bool neverRecord = false;       // a start never shows "recording"
  double finishSeconds = 0.3;     // how long "finishing" lasts
  std::string failRecording;      // the next recording ends with this failure
  HttpFault httpFault = HttpFault::none;

  bool operator==(const Faults&) const = default;
};

// Whether `name` may be refused: a setting's key or "source" for the slots.
bool isRefusable(std::string_view name);

// Applies the message /sim/<name> with its arguments to `faults` (all but
// /sim/reset, which the model handles). Returns the refusal's sentence when
// the name is unknown or the arguments do not fit, or nothing when taken.
std::optional<std::string> applyFaultMessage(Faults& faults,
                                             std::string_view name,
                                             const OscMessage& message);

}  // namespace zindle::sim
