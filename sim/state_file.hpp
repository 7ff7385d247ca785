#pragma once

// The file in which the simulated app keeps its settings and chosen sources
// between runs (`--state FILE`), as the real app keeps its preferences.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/settings.hpp"

namespace zindle::sim {

struct StoredState {
  nlohmann::json settings = nlohmann::json::object();  // key to value
  std::vector<std::string> sources;  // the chosen titles, in slot order
};

// The state kept at `path`, or nothing when no file is there. Throws
// std::runtime_error when the file cannot be read as readGivenFile reads
// it, or is not such a state.
std::optional<StoredState> loadState(const std::string& path);

// Writes the state to `path`, replacing the whole file at once so that a
// reader never finds half of it and two simulators saving to one file never
// meet; when `path` is a link, to the file it leads to, and the link stays.
// Throws std::runtime_error on failure.
void saveState(const std::string& path, const Settings& settings,
               const std::vector<std::string>& sources);

}  // namespace zindle::sim
