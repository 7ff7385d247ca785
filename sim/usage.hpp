#pragma once

// The text `zindle_recorder_sim --help` prints.

#include <string_view>

namespace zindle::sim {

std::string_view usageText();

}  // namespace zindle::sim
