#pragma once
// Where the app shows what the server reads and takes what it is sent: the
// addresses named by more than one operation, so that each is spelled once.
// The status's own members, each read at one address, are its table's.

#include <cstddef>
#include <string>
#include <string_view>

namespace zindle::link {

inline constexpr std::string_view kStatePath = "/status/state";
inline constexpr std::string_view kErrorPath = "/status/error";
inline constexpr std::string_view kFailurePath = "/status/failure";
// The titles of the NDI sources the app sees, one per line.
inline constexpr std::string_view kNdiTitlesPath = "/status/ndi/sources";
inline constexpr std::string_view kRecordAddress = "/record";

// The app's source slots, "/source/1" to "/source/8": each holds the title
// of one chosen source, and "/status/source/<n>/" what is known of it.
inline constexpr std::size_t kSlotCount = 8;

// The address of slot `slot` (1 to kSlotCount): "/source/" and the number.
inline std::string slotAddress(std::size_t slot) {
  return "/source/" + std::to_string(slot);
}

// The branch of slot `slot`'s status, ending in "/".
inline std::string slotStatusPrefix(std::size_t slot) {
  return "/status/source/" + std::to_string(slot) + "/";
}

}  // namespace zindle::link
