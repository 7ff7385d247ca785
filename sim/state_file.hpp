#pragma once

// The file in which the simulated app keeps its settings and chosen sources
// between runs (`--state FILE`), as the real app keeps its preferences, and
// the reading of every file the simulator is given.

#include <cstddef>
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

// The files the simulator is given (its state file and a saved app's two
// documents) are read so that start-up never waits: only a regular file is
// read, and only up to a size that any of them stays far below.
//
// The largest file taken: as much as the server reads of one answer.
inline constexpr std::size_t kLargestGivenFile = 4 * 1024 * 1024;

// The bytes of the regular file at `path`, or nothing when nothing is there
// (a link to nothing included). Throws std::runtime_error naming the file
// when it cannot be opened or read, is not a regular file (a FIFO, a
// device, a folder), or holds more than kLargestGivenFile bytes; reads no
// more than one byte past that.
std::optional<std::string> readGivenFile(const std::string& path);

}  // namespace zindle::sim
