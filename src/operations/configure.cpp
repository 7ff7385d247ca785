#include "link/recorder.hpp"

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/app_paths.hpp"
#include "operations/pending_settings.hpp"
#include "operations/status.hpp"

namespace zindle::link {
namespace {

// How long the app has, after the last message, to show every setting.
constexpr auto kReadBackLimit = std::chrono::seconds(1);

constexpr std::string_view kNotTakenWarning =
    "Some settings were not taken as given (the recorder's values are in "
    "notApplied)";

}  // namespace

Json Recorder::configure(const Json& arguments) const {
  // Every argument is tested before anything is sent, so that a call that
  // fails leaves the app as it was; the tests keep their documented order,
  // so the first fault found is the one reported.
  const std::optional<std::vector<std::string>> titles =
      operations::givenSources(arguments);
  if (titles) operations::checkSources(*titles, read().sources);
  std::vector<operations::PendingSetting> pending;
  if (titles) pending = operations::sourceSettings(*titles);
  for (operations::PendingSetting& setting :
       operations::otherSettings(arguments)) {
    pending.push_back(std::move(setting));
  }
  if (pending.empty()) return Json::object();

  // Removing the first source eight times leaves none chosen, whatever was
  // chosen before; the pending slots then choose the new ones in order.
  if (titles) {
    const std::string firstSlot = slotAddress(1);
    for (std::size_t i = 0; i < kSlotCount; ++i) {
      send(firstSlot, {std::string()});
    }
  }
  for (const operations::PendingSetting& setting : pending) {
    send(setting.address, std::span<const Argument>(&setting.argument, 1));
  }

  NamespaceSnapshot snapshot;
  wait(kReadBackLimit, [&] {
    snapshot = read();
    return operations::allTaken(pending, snapshot);
  });
  return operations::notApplied(pending, snapshot);
}

Json Recorder::configureTool(const Json& arguments) const {
  Json notTaken = configure(arguments);
  Json report = status();
  if (notTaken.empty()) return report;
  report[std::string(operations::kNotAppliedKey)] = std::move(notTaken);
  std::string message(kNotTakenWarning);
  const std::string error = textMemberOf(report, operations::kErrorKey);
  if (!error.empty()) message += ": " + error;
  message += '\n';
  message += prettyJson(report);
  throw RecorderError::failed(std::move(message));
}

}  // namespace zindle::link
