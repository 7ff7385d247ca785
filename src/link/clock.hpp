#pragma once
// Time, behind a seam: deadlines come from a monotonic clock so that a change
// of the time of day can neither cut a wait short nor stretch it, and tests
// can run the polling loops without real sleeps.

#include <chrono>

namespace zindle::link {

class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using Duration = std::chrono::steady_clock::duration;

  virtual ~Clock() = default;
  virtual TimePoint now() = 0;
  virtual void sleep(Duration duration) = 0;
};

// The real clock: std::chrono::steady_clock and a blocking sleep.
class SteadyClock final : public Clock {
 public:
  TimePoint now() override;
  void sleep(Duration duration) override;
};

}  // namespace zindle::link
