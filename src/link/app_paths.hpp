#pragma once
// Where the app publishes what the server reads or sets, named once: the
// settings' own addresses are in the settings table.

#include <cstddef>
#include <string>
#include <string_view>

namespace zindle::link {

inline constexpr std::string_view kStatePath = "/status/state";
inline constexpr std::string_view kErrorPath = "/status/error";
// The NDI titles, one a line.
inline constexpr std::string_view kNdiTitlesPath = "/status/ndi/sources";
inline constexpr std::string_view kRecordAddress = "/record";

// The app's source slots, "/source/1" up to kSlotCount.
inline constexpr std::size_t kSlotCount = 8;

// The address of slot `slot` (1 to kSlotCount): "/source/" and the number.
inline std::string slotAddress(std::size_t slot) {
  return "/source/" + std::to_string(slot);
}

// Below "/status/source/<slot>/" the app publishes what that slot records.
inline std::string slotStatusPrefix(std::size_t slot) {
  return "/status/source/" + std::to_string(slot) + "/";
}

}  // namespace zindle::link
