#pragma once

// The files the simulator is given (its state file and a saved app's two
// documents), read so that start-up never waits: only a regular file is
// read, and only up to a size that any of them stays far below.

#include <cstddef>
#include <optional>
#include <string>

namespace zindle::sim {

// The largest file taken: as much as the server reads of one answer.
inline constexpr std::size_t kLargestGivenFile = 4 * 1024 * 1024;

// The bytes of the regular file at `path`, or nothing when nothing is there
// (a link to nothing included). Throws std::runtime_error naming the file
// when it cannot be opened or read, is not a regular file (a FIFO, a
// device, a folder), or holds more than kLargestGivenFile bytes; reads no
// more than one byte past that.
std::optional<std::string> readGivenFile(const std::string& path);

}  // namespace zindle::sim
