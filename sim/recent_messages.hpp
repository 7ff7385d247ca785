#pragma once

// The last OSC messages the simulated app received, kept for its window so
// that a person can see what the server sent. Safe to use from the OSC and
// HTTP threads at once.

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "sim/osc_message.hpp"

namespace zindle::sim {

struct ReceivedMessage {
  std::uint64_t number = 0;  // 1 for the first message received, and so on
  std::chrono::system_clock::time_point at;
  OscMessage message;
};

class RecentMessages {
 public:
  // How many are kept: a configure of every setting and source sends about
  // twenty, so this holds the last few calls.
  static constexpr std::size_t kKept = 64;

  // What is kept of each: a datagram may carry up to 64 KB of text, which
  // the window would poll many times a second. The address and each text
  // are kept to their first kKeptBytes (whole characters) followed by "…",
  // and only the first kKeptArguments arguments.
  static constexpr std::size_t kKeptBytes = 256;
  static constexpr std::size_t kKeptArguments = 8;

  // Keeps `message`, received now, cut as above, dropping the oldest beyond
  // kKept.
  void add(OscMessage message);

  // The messages kept, newest first.
  std::vector<ReceivedMessage> newestFirst() const;

 private:
  mutable std::mutex mutex_;
  std::deque<ReceivedMessage> kept_;
  std::uint64_t received_ = 0;
};

}  // namespace zindle::sim
