#include "link/recorder.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "link/app_paths.hpp"
#include "link/clock.hpp"
#include "operations/status.hpp"

namespace zindle::link {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);
constexpr auto kStartLimit = std::chrono::seconds(3);
// Finishing the movies of a long recording takes a while.
constexpr auto kStopLimit = std::chrono::seconds(30);

constexpr std::string_view kIdle = "idle";
constexpr std::string_view kRecording = "recording";

constexpr std::string_view kAlreadyRecording =
    "A recording is already in progress. Stop it first.\n";
constexpr std::string_view kSettingsNotTaken =
    "Not started: some settings were not taken as given.\n";
constexpr std::string_view kDidNotStartBecause =
    "The recording did not start: ";
constexpr std::string_view kDidNotStart = "The recording did not start.\n";
constexpr std::string_view kNotRecording =
    "There is no recording in progress.\n";
constexpr std::string_view kStillFinishing =
    "The movie is still being finished.\n";
constexpr std::string_view kStoppedWithError =
    "The recording stopped with an error: ";

RecorderError failedWith(std::string_view sentence, const Json& status) {
  std::string message(sentence);
  message += prettyJson(status);
  return RecorderError::failed(std::move(message));
}

}  // namespace

CurrentState Recorder::currentState() const {
  const NamespaceSnapshot snapshot = read();
  return {snapshot.textAt(kStatePath), snapshot.textAt(kErrorPath)};
}

bool Recorder::wait(std::chrono::milliseconds upTo,
                    const std::function<bool()>& condition) const {
  Clock& clock = services->clock;
  const Clock::TimePoint deadline = clock.now() + upTo;
  // The limit is tested only after a failed evaluation, so the last one may
  // end past the deadline by the length of one read.
  while (!condition()) {
    if (!(clock.now() < deadline)) return false;
    clock.sleep(kPollInterval);
  }
  return true;
}

Json Recorder::start(const Json& arguments) const {
  // Any word but "idle", none included, means a recording may be running.
  if (currentState().state != kIdle) {
    throw failedWith(kAlreadyRecording, status());
  }

  Json notTaken = configure(arguments);
  if (!notTaken.empty()) {
    Json report = status();
    report[std::string(operations::kNotAppliedKey)] = std::move(notTaken);
    throw failedWith(kSettingsNotTaken, report);
  }

  // An error left from before is not this start's failure; only a new one
  // is.
  const std::string errorBefore = currentState().error;
  send(kRecordAddress, {std::int32_t{1}});
  std::optional<std::string> failure;
  const bool settled = wait(kStartLimit, [&] {
    CurrentState now = currentState();
    // Recording wins over an error that changed in the same reading.
    if (now.state == kRecording) return true;
    if (!now.error.empty() && now.error != errorBefore) {
      failure = std::move(now.error);
      return true;
    }
    return false;
  });
  if (failure) {
    throw RecorderError::failed(std::string(kDidNotStartBecause) + *failure);
  }
  if (!settled) throw failedWith(kDidNotStart, status());
  return status();
}

Json Recorder::stop() const {
  if (currentState().state == kIdle) throw failedWith(kNotRecording, status());

  // Sent while finishing too: that is how a stop that ran out of time is
  // resumed.
  send(kRecordAddress, {std::int32_t{0}});
  const bool idle =
      wait(kStopLimit, [this] { return currentState().state == kIdle; });
  Json report = status();
  if (!idle) throw failedWith(kStillFinishing, report);
  const std::string failure = textMemberOf(report, operations::kFailureKey);
  if (!failure.empty()) {
    throw failedWith(std::string(kStoppedWithError) + failure + '\n', report);
  }
  return report;
}

}  // namespace zindle::link
