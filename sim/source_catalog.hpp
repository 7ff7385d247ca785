#pragma once

// The live video sources the simulated app can record: Syphon servers and NDI
// sources, each with the picture it delivers. They come from the command line
// (`--source`) or from a default set, and never change while it runs.

#include <string>
#include <string_view>
#include <vector>

namespace zindle::sim {

inline constexpr std::string_view kSyphon = "syphon";
inline constexpr std::string_view kNdi = "ndi";

struct Source {
  std::string title;
  std::string kind;  // kSyphon or kNdi
  int width = 0;
  int height = 0;
  double fps = 0;
  bool sound = false;  // only NDI sources send sound

  bool isNdi() const { return kind == kNdi; }
};

// Reads "Title:kind:WIDTHxHEIGHT@FPS[:sound]". The fields are taken from the
// right, so a title may itself hold colons. Throws std::invalid_argument
// with a sentence naming what is wrong.
Source parseSource(std::string_view given);

// The sources offered when none is given: two Syphon servers and an NDI
// source that sends sound.
std::vector<Source> defaultSources();

}  // namespace zindle::sim
