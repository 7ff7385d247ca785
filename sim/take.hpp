#pragma once

// One recording as the simulated app runs it: which movies it writes, how
// fast frames reach each of them and which of them receive sound. Fixed when
// the recording starts: settings changed later apply to the next one.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/movie_names.hpp"
#include "sim/settings.hpp"
#include "sim/source_catalog.hpp"

namespace zindle::sim {

struct TakeSource {
  std::string title;
  std::string file;  // "" when the source gets no movie of its own
  double rate = 0;   // frames per second written to its movie
  bool sound = false;
};

struct Take {
  std::vector<TakeSource> sources;  // by slot
  std::string assembledFile;        // "" when no assembled movie is written
  double assembledRate = 0;
  bool assembledSound = false;
};

// The recording of `chosen` (in slot order) with `settings`, its movies named
// by `namer`. A source's movie gets the source's frame rate, limited by the
// fps setting when that is above 0; the assembled movie that of the fastest
// source, limited likewise. An NDI source that sends sound has it in its own
// movie; with output "separate" and sound "computer" every Syphon source's
// movie takes the computer's sound; the assembled movie has sound when the
// sound setting is "computer" or a chosen source's title.
Take planTake(MovieNamer& namer, const Settings& settings,
              const std::vector<Source>& chosen, std::string_view dateTime);

// Whole frames written after `seconds` at `rate` frames per second, 0 to
// the largest std::int64_t.
std::int64_t framesWritten(double seconds, double rate);

}  // namespace zindle::sim
