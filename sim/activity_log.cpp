#include "sim/activity_log.hpp"

namespace zindle::sim {

ActivityLog::ActivityLog(bool enabled, std::ostream& out)
    : enabled_(enabled), out_(out) {}

void ActivityLog::write(std::string_view line) {
  if (!enabled_) return;
  std::lock_guard lock(mutex_);
  out_ << line << '\n' << std::flush;
}

}  // namespace zindle::sim
