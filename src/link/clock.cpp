#include "link/clock.hpp"

#include <thread>

namespace zindle::link {

SteadyClock::TimePoint SteadyClock::now() {
  return std::chrono::steady_clock::now();
}

void SteadyClock::sleep(Duration duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace zindle::link
