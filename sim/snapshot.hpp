#pragma once

// Everything the simulated app publishes, read at one moment: the namespace
// tree is built from one Snapshot, so a reader never sees half a change.

#include <cstdint>
#include <string>
#include <vector>

#include "sim/faults.hpp"
#include "sim/picture_layout.hpp"
#include "sim/settings.hpp"

namespace zindle::sim {

inline constexpr std::size_t kSlotCount = 8;

// What a chosen source delivers and what its movie of the last recording
// holds.
struct SlotStatus {
  std::string title;
  std::string kind;
  bool online = false;
  int width = 0;
  int height = 0;
  double fps = 0;
  std::string file;
  std::int64_t frames = 0;
  std::int64_t dropped = 0;
  bool sound = false;  // whether the source sends sound
  double soundWritten = 0;

  bool operator==(const SlotStatus&) const = default;
};

struct Snapshot {
  std::string version;
  std::string state;  // "idle", "recording" or "finishing"
  double elapsed = 0;
  std::int64_t dropped = 0;
  std::string error;
  std::string failure;

  bool ndi = false;
  std::vector<std::string> ndiTitles;      // the NDI sources offered
  std::vector<std::string> offeredTitles;  // every source that can be chosen

  Settings settings;
  std::vector<SlotStatus> slots;  // the chosen sources, in slot order

  PictureSize assembled;
  std::vector<PicturePlace> places;  // of the chosen sources, in it
  std::string assembledFile;
  std::int64_t assembledFrames = 0;
  std::int64_t assembledDropped = 0;
  double soundWritten = 0;  // seconds of sound in the assembled movie
  double soundLeftOut = 0;

  Faults faults;

  bool operator==(const Snapshot&) const = default;
};

}  // namespace zindle::sim
