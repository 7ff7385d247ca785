#pragma once

// The simulator's log of what it receives, written to standard error when
// `--verbose` is given and dropped otherwise. Safe to use from the HTTP and
// OSC threads at once: each line is written whole.

#include <mutex>
#include <ostream>
#include <string_view>

namespace zindle::sim {

class ActivityLog {
 public:
  // `out` must outlive the log.
  ActivityLog(bool enabled, std::ostream& out);

  // Writes `line` and a line feed, then flushes, when enabled.
  void write(std::string_view line);

 private:
  const bool enabled_;
  std::ostream& out_;
  std::mutex mutex_;
};

}  // namespace zindle::sim
