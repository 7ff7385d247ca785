#include "sim/recent_messages.hpp"

namespace zindle::sim {

void RecentMessages::add(OscMessage message) {
  std::lock_guard lock(mutex_);
  kept_.push_back(
      {++received_, std::chrono::system_clock::now(), std::move(message)});
  if (kept_.size() > kKept) kept_.pop_front();
}

std::vector<ReceivedMessage> RecentMessages::newestFirst() const {
  std::lock_guard lock(mutex_);
  return {kept_.rbegin(), kept_.rend()};
}

}  // namespace zindle::sim
