#pragma once

// The simulated app itself: its settings, its eight source slots and its
// recording state machine, changed only by OSC messages and read only as a
// Snapshot. Time advances by the clock it is given; the recording's figures
// are worked out from it when read, so no thread ticks in the background.
// Safe to use from several threads at once.

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/faults.hpp"
#include "sim/movie_names.hpp"
#include "sim/osc_message.hpp"
#include "sim/settings.hpp"
#include "sim/snapshot.hpp"
#include "sim/source_catalog.hpp"
#include "sim/take.hpp"

namespace zindle::sim {

struct ModelClock {
  std::function<std::chrono::steady_clock::time_point()> now;
  // The local date and time that names unnamed recordings,
  // "YYYY-MM-DD HH.MM.SS".
  std::function<std::string()> dateTime;

  static ModelClock system();
};

struct ModelConfig {
  std::vector<Source> sources;  // every source the app could see
  bool ndiUsable = true;        // false: NDI sources are not offered
  std::string version = "0.9";
  Faults faults;          // as at start-up, and again after /sim/reset
  std::string stateFile;  // "" keeps the settings in memory only
};

class RecorderModel {
 public:
  // Starts idle with the default settings, or with those kept in
  // config.stateFile when that file exists. Throws std::runtime_error when
  // the file cannot be read.
  RecorderModel(ModelConfig config, ModelClock clock);

  RecorderModel(const RecorderModel&) = delete;
  RecorderModel& operator=(const RecorderModel&) = delete;

  // Acts on one message as the app would: a setting, /source/<k>, /record
  // or /sim/...; a refused message sets the error text and changes nothing
  // else.
  void handle(const OscMessage& message);

  // Everything published, at this moment.
  Snapshot snapshot();

  HttpFault httpFault();

 private:
  enum class State { idle, recording, finishing };

  void chooseSource(std::size_t slot, const OscMessage& message);
  void changeSetting(std::string_view key, const OscMessage& message);
  void record(const OscMessage& message);
  void start();
  void reset();
  void restore(const std::string& path);
  void save();
  void settle();
  double elapsedSeconds() const;
  bool isOffered(const Source& source) const;
  std::vector<Source> chosenSources() const;
  std::vector<std::string> chosenTitles() const;
  AssembledPicture assembledNow() const;
  SlotStatus slotStatus(std::size_t slot, double elapsed) const;

  std::mutex mutex_;
  const ModelConfig config_;
  const ModelClock clock_;

  Settings settings_;
  std::vector<std::size_t> slots_;  // indexes into config_.sources
  Faults faults_;
  State state_ = State::idle;
  std::optional<Take> take_;  // the recording running or last made
  std::chrono::steady_clock::time_point startedAt_;
  std::chrono::steady_clock::time_point stoppedAt_;
  std::string error_;
  std::string failure_;
  MovieNamer namer_;
};

}  // namespace zindle::sim
