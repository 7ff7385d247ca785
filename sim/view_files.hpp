#pragma once

// The files of the simulator's window (sim/view/), built into the program as
// they are written: made into string constants at build time by
// sim/view/embed.cmake.

#include <span>
#include <string_view>

namespace zindle::sim {

struct ViewFile {
  std::string_view name;  // as under sim/view/, such as "view.css"
  std::string_view text;
};

// Every file of the window; they live as long as the program.
std::span<const ViewFile> viewFiles();

}  // namespace zindle::sim
