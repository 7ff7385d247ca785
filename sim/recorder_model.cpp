#include "sim/recorder_model.hpp"

#include <ctime>
#include <filesystem>
#include <stdexcept>

#include "sim/state_file.hpp"
#include "sim/text.hpp"

namespace zindle::sim {
namespace {

constexpr std::string_view kSourceAddress = "/source";
constexpr std::string_view kRecordAddress = "/record";
constexpr std::string_view kScriptPrefix = "/sim/";
constexpr std::string_view kResetName = "reset";
constexpr std::string_view kSourcesFault = "source";

constexpr std::string_view kSourcesLocked =
    "The sources cannot be changed while recording.";
constexpr std::string_view kRecordArgument =
    "/record takes 1 to start or 0 to stop.";
constexpr std::string_view kAlreadyRecording =
    "A recording is already in progress.";
constexpr std::string_view kNoSourceChosen = "No source is chosen.";

std::string refusedByScript(std::string_view name) {
  return "The recorder refused the new " + std::string(name) + ".";
}

// The slot (0-based) addressed by "/source" (slot 1) or "/source/<k>".
std::optional<std::size_t> slotAddressed(std::string_view address) {
  if (address == kSourceAddress) return 0;
  if (!address.starts_with(kSourceAddress) ||
      address.size() != kSourceAddress.size() + 2 ||
      address[kSourceAddress.size()] != '/') {
    return std::nullopt;
  }
  const char digit = address.back();
  if (digit < '1' || digit > '0' + static_cast<char>(kSlotCount)) {
    return std::nullopt;
  }
  return static_cast<std::size_t>(digit - '1');
}

// Converts a kept setting back into the message that would set it, so that
// a kept value goes through the same checks as a new one.
std::optional<OscArgument> argumentFrom(const nlohmann::json& value) {
  if (value.is_string()) return OscArgument::text(value.get<std::string>());
  if (value.is_number()) return OscArgument::real(value.get<double>());
  return std::nullopt;
}

}  // namespace

ModelClock ModelClock::system() {
  return {[] { return std::chrono::steady_clock::now(); },
          [] {
            const auto moment = std::time(nullptr);
            std::tm local{};
            localtime_r(&moment, &local);
            char text[32];
            std::strftime(text, sizeof text, "%Y-%m-%d %H.%M.%S", &local);
            return std::string(text);
          }};
}

RecorderModel::RecorderModel(ModelConfig config, ModelClock clock)
    : config_(std::move(config)),
      clock_(std::move(clock)),
      settings_(defaultSettings()),
      faults_(config_.faults) {
  if (!config_.stateFile.empty()) restore(config_.stateFile);
}

void RecorderModel::handle(const OscMessage& message) {
  std::lock_guard lock(mutex_);
  settle();
  const std::string_view address = message.address;
  if (const auto slot = slotAddressed(address)) {
    chooseSource(*slot, message);
  } else if (address == kRecordAddress) {
    record(message);
  } else if (address == std::string(kScriptPrefix) + std::string(kResetName)) {
    reset();
  } else if (address.starts_with(kScriptPrefix)) {
    const auto name = address.substr(kScriptPrefix.size());
    if (auto refusal = applyFaultMessage(faults_, name, message)) {
      error_ = *refusal;
    }
  } else if (!address.empty() && findSetting(address.substr(1)) != nullptr) {
    changeSetting(address.substr(1), message);
  } else {
    error_ = "Unknown address " + message.address + ".";
  }
}

HttpFault RecorderModel::httpFault() {
  std::lock_guard lock(mutex_);
  return faults_.httpFault;
}

void RecorderModel::chooseSource(std::size_t slot, const OscMessage& message) {
  const auto title = message.arguments.size() == 1
                         ? textOf(message.arguments.front())
                         : std::nullopt;
  if (!title) {
    error_ = message.address +
             " takes one text: a source's title, or empty to remove it.";
    return;
  }
  if (faults_.refused.contains(std::string(kSourcesFault))) {
    error_ = refusedByScript(kSourcesFault);
    return;
  }
  if (state_ != State::idle) {
    error_ = kSourcesLocked;
    return;
  }
  if (title->empty()) {
    // The slots stay a compact list: the later sources move up.
    if (slot < slots_.size()) slots_.erase(slots_.begin() + slot);
    save();
    return;
  }
  for (std::size_t index = 0; index < config_.sources.size(); ++index) {
    const auto& source = config_.sources[index];
    if (!isOffered(source) || !containsIgnoringCase(source.title, *title)) {
      continue;
    }
    if (slot < slots_.size()) {
      slots_[slot] = index;
    } else {
      slots_.push_back(index);  // beyond the last chosen: appended
    }
    save();
    return;
  }
  error_ = "There is no source called \"" + *title + "\".";
}

void RecorderModel::changeSetting(std::string_view key,
                                  const OscMessage& message) {
  if (message.arguments.size() != 1) {
    error_ = std::string(key) + " takes one value.";
    return;
  }
  if (faults_.refused.contains(std::string(key))) {
    error_ = refusedByScript(key);
    return;
  }
  auto refusal =
      applySetting(settings_, key, message.arguments.front(), chosenTitles());
  if (refusal) {
    error_ = std::move(*refusal);
    return;
  }
  save();
}

void RecorderModel::record(const OscMessage& message) {
  const auto value = message.arguments.size() == 1
                         ? numberOf(message.arguments.front())
                         : std::nullopt;
  if (!value || (*value != 0 && *value != 1)) {
    error_ = kRecordArgument;
    return;
  }
  if (*value == 1) {
    start();
  } else if (state_ == State::recording) {
    state_ = State::finishing;
    stoppedAt_ = clock_.now();
    settle();  // with no time to finish, it is idle at once
  }
}

void RecorderModel::start() {
  if (state_ != State::idle) {
    error_ = kAlreadyRecording;
    return;
  }
  if (faults_.neverRecord) return;
  if (!faults_.failStart.empty()) {
    error_ = std::exchange(faults_.failStart, std::string());
    return;
  }
  if (slots_.empty()) {
    error_ = kNoSourceChosen;
    return;
  }
  std::error_code ignored;  // a folder that cannot be examined is missing
  if (!std::filesystem::is_directory(settings_.folder, ignored)) {
    error_ = "The folder " + settings_.folder + " does not exist.";
    return;
  }
  const auto size = assembledNow().size;
  if (settings_.writesAssembledMovie() &&
      (size.width > kLargestPicture || size.height > kLargestPicture)) {
    error_ = "The assembled picture would be " + std::to_string(size.width) +
             " x " + std::to_string(size.height) +
             ", larger than 16384 x 16384.";
    return;
  }
  take_ = planTake(namer_, settings_, chosenSources(), clock_.dateTime());
  state_ = State::recording;
  startedAt_ = clock_.now();
  error_.clear();
  failure_.clear();
}

void RecorderModel::reset() {
  settings_ = defaultSettings();
  slots_.clear();
  faults_ = config_.faults;
  state_ = State::idle;
  take_.reset();
  error_.clear();
  failure_.clear();
  save();
}

void RecorderModel::settle() {
  if (state_ != State::finishing) return;
  // The time to finish is read now, so that a test can cut a long finish
  // short with /sim/finish_seconds.
  const auto finishing = std::chrono::duration<double>(faults_.finishSeconds);
  if (clock_.now() - stoppedAt_ < finishing) return;
  state_ = State::idle;
  failure_ = std::exchange(faults_.failRecording, std::string());
}

void RecorderModel::restore(const std::string& path) {
  const auto kept = loadState(path);
  if (!kept) return;
  for (const auto& title : kept->sources) {
    for (std::size_t index = 0; index < config_.sources.size(); ++index) {
      const auto& source = config_.sources[index];
      if (source.title == title && isOffered(source) &&
          slots_.size() < kSlotCount) {
        slots_.push_back(index);
        break;
      }
    }
  }
  // A kept value the app would no longer take (a folder since deleted)
  // leaves the default in place.
  for (const auto& setting : kSettings) {
    const auto found = kept->settings.find(std::string(setting.key));
    if (found == kept->settings.end()) continue;
    if (const auto argument = argumentFrom(*found)) {
      applySetting(settings_, setting.key, *argument, chosenTitles());
    }
  }
}

void RecorderModel::save() {
  if (config_.stateFile.empty()) return;
  try {
    saveState(config_.stateFile, settings_, chosenTitles());
  } catch (const std::runtime_error& failed) {
    error_ = std::string("The settings could not be saved: ") + failed.what();
  }
}

}  // namespace zindle::sim
