#pragma once
// What configure sends and how it tells that the app took it: the type tests
// of the arguments, the test of the chosen titles against the app's sources,
// and the pending settings, one message and one read-back test each.

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/app_paths.hpp"
#include "link/json_text.hpp"
#include "link/osc.hpp"
#include "link/recorder.hpp"

namespace zindle::operations {

// One message for the app, and the test of its effect.
struct PendingSetting {
  // Where the message goes, and where the app shows the value.
  std::string address;
  // The one argument of the message.
  link::OscArgument argument;
  // Whether the value read back at `address` shows the setting taken;
  // `readBack` is null when the app has no value there.
  std::function<bool(const Json* readBack)> matches;
};

// The titles to choose: those of "sources", or the one of "source" when
// "sources" is absent (then "source" is not looked at); nothing when neither
// key is present, or `arguments` is not an object. Throws
// RecorderError::badArguments with "sources must be a list of titles",
// "no more than 8 sources can be recorded at once" or
// "source must be a string".
std::optional<std::vector<std::string>> givenSources(const Json& arguments);

// Throws RecorderError::failed naming the first of `titles` that no title of
// `available` contains (ignoring case), with the available titles listed in
// their order and the closing "Nothing was changed."; returns when every
// title is found.
void checkSources(std::span<const std::string> titles,
                  std::span<const std::string> available);

// The pending settings that choose `titles` (at most kSlotCount): slot k
// gets the k-th title, taken when its value contains the title ignoring
// case; when fewer than kSlotCount are given, the next slot gets "", taken
// only when it reads back "".
std::vector<PendingSetting> sourceSettings(std::span<const std::string> titles);

// The pending settings of the other keys present in `arguments`, in the
// order codec, fps, bitrate, output, layout, gap, width, height, sound,
// performance, folder, name. Each key's type is tested in that order; the
// first of the wrong type throws RecorderError::badArguments with the key
// and " must be a string", " must be a number" or " must be true or false".
// Keys it does not know are ignored. Numbers: JSON true and false count as 1
// and 0 (but "performance" takes only true or false, sent as int 1 or 0 and
// taken when the read-back is a number or a boolean that reads as the same
// flag as isSet reads it); fps and bitrate are sent as the nearest float
// and taken within 0.001 of the number given or of that float (an absent
// or non-numeric read-back counts as -1); gap, width and height are limited to
// -1000000..1000000, rounded half away from zero and sent as int, and taken
// when the read-back equals the given number rounded the same way, not
// limited. Texts are compared as canonical equivalents; codec, output and
// layout read back lowercased, sound containing the text ignoring case ("" only
// as ""), folder as the tilde-expanded path that is sent, name unchanged.
std::vector<PendingSetting> otherSettings(const Json& arguments);

// Whether every setting of `pending` is taken in `reading`.
bool allTaken(std::span<const PendingSetting> pending,
              const link::Reading& reading);

// The settings of `pending` not taken in `reading`: an object keyed by the
// address without its leading "/", each with the app's value there (null
// when it has none). Empty when all were taken.
Json notApplied(std::span<const PendingSetting> pending,
                const link::Reading& reading);

}  // namespace zindle::operations
