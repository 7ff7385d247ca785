#pragma once
// The status dictionary: everything the server reports about the app, built
// from one reading of its namespace.

#include <string>
#include <string_view>

#include "link/json_text.hpp"
#include "link/recorder.hpp"

namespace zindle::operations {

// The member that configure and start add to a status dictionary: the
// settings the app did not take, each with the app's value.
inline constexpr std::string_view kNotAppliedKey = "notApplied";
// The members that say what went wrong: the app's last error, and why the
// last recording ended if it failed.
inline constexpr std::string_view kErrorKey = "error";
inline constexpr std::string_view kFailureKey = "failure";

// The status dictionary of `reading`: always every top-level member, every
// setting, every assembled member, and every member of each chosen source
// of the slots. Values the app publishes pass through
// as they are (null when absent), except the flags ("ndi", "performance",
// each source's "online" and "sound"), which are true for JSON true and for
// a number with a whole, non-zero value (2 and 1.0 are true; 1.5 is not a
// whole number, so false). Never throws but std::bad_alloc.
Json statusFrom(const link::Reading& reading);

// Whether the flag `value` reads as set: JSON true, or a number with a
// whole, non-zero value (a flag published as 0.5 is not a yes); false for
// null, which stands for no value. Never throws.
bool isSet(const Json* value);

}  // namespace zindle::operations
