#pragma once

// A RecorderModel on a clock the test moves by hand, so that the figures of
// a recording (elapsed seconds, frames, sound) can be asserted exactly.

#include <chrono>
#include <string>
#include <vector>

#include "sim/recorder_model.hpp"

namespace zindle::sim::testing {

inline constexpr const char* kTestDateTime = "2024-05-01 14.03.22";

// The app offering `sources`, with no fault and no state file.
inline ModelConfig offering(std::vector<Source> sources) {
  ModelConfig config;
  config.sources = std::move(sources);
  return config;
}

class ModelFixture {
 public:
  explicit ModelFixture(ModelConfig config = offering(defaultSources()))
      : model_(std::move(config),
               ModelClock{[this] { return now_; },
                          [] { return std::string(kTestDateTime); }}) {}

  RecorderModel& model() { return model_; }

  void advance(double seconds) {
    now_ += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
  }

  void send(const std::string& address, std::vector<OscArgument> arguments) {
    model_.handle({address, std::move(arguments)});
  }
  void sendText(const std::string& address, const std::string& text) {
    send(address, {OscArgument::text(text)});
  }
  void sendInt(const std::string& address, std::int64_t number) {
    send(address, {OscArgument::integer(number)});
  }
  void sendReal(const std::string& address, double number) {
    send(address, {OscArgument::real(number)});
  }

  Snapshot read() { return model_.snapshot(); }

 private:
  std::chrono::steady_clock::time_point now_{std::chrono::hours(1)};
  RecorderModel model_;
};

}  // namespace zindle::sim::testing
