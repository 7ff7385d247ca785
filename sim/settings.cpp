#include "sim/settings.hpp"

#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "sim/text.hpp"

namespace zindle::sim {

namespace {

using Refusal = SettingInfo::Refusal;

// Stores the value lowercased when it is one of the setting's choices.
Refusal oneOf(const SettingInfo& setting, std::string& value,
              const std::vector<std::string>&) {
  const auto lower = lowercased(value);
  std::string listed;
  for (std::size_t i = 0; i < setting.choices.size(); ++i) {
    const auto choice = setting.choices[i];
    if (lower == choice) {
      value = lower;
      return std::nullopt;
    }
    if (i > 0) listed += i + 1 == setting.choices.size() ? " or " : ", ";
    listed += choice;
  }
  return std::string(setting.key) + " must be " + listed + ".";
}

Refusal existingFolder(const SettingInfo&, std::string& value,
                       const std::vector<std::string>&) {
  std::error_code ignored;  // a path that cannot be examined is no folder
  if (value.empty() || !std::filesystem::is_directory(value, ignored)) {
    return "folder must be an existing folder; \"" + value + "\" is not one.";
  }
  return std::nullopt;
}

Refusal noSlash(const SettingInfo&, std::string& value,
                const std::vector<std::string>&) {
  if (value.find('/') != std::string::npos) {
    return std::string("name must not contain a slash.");
  }
  return std::nullopt;
}

// The sound of this Mac, none, or a chosen source's own, stored as the
// source's full title.
Refusal soundSource(const SettingInfo&, std::string& value,
                    const std::vector<std::string>& chosen) {
  if (value.empty()) return std::nullopt;
  if (lowercased(value) == "computer") {
    value = "computer";
    return std::nullopt;
  }
  for (const auto& title : chosen) {
    if (containsIgnoringCase(title, value)) {
      value = title;
      return std::nullopt;
    }
  }
  return std::string(
      "sound must be computer, empty, or part of a chosen source's title.");
}

bool isWhole(double value, double lowest, double highest) {
  return std::isfinite(value) && value == std::trunc(value) &&
         value >= lowest && value <= highest;
}

Refusal notNegative(std::string_view key, double value) {
  if (std::isfinite(value) && value >= 0) return std::nullopt;
  return std::string(key) + " must be a number of 0 or more.";
}

Refusal wholeNotNegative(std::string_view key, double value) {
  if (isWhole(value, 0, std::numeric_limits<int>::max())) return std::nullopt;
  return std::string(key) + " must be a whole number of 0 or more.";
}

Refusal pictureSide(std::string_view key, double value) {
  if (isWhole(value, 0, kLargestPicture)) return std::nullopt;
  return std::string(key) + " must be a whole number from 0 to 16384.";
}

Refusal offOrOn(std::string_view key, double value) {
  if (value == 0 || value == 1) return std::nullopt;
  return std::string(key) + " must be 0 or 1.";
}

constexpr std::array<std::string_view, 4> kCodecs{"h264", "hevc", "prores422",
                                                  "prores4444"};
constexpr std::array<std::string_view, 3> kOutputs{"separate", "assembled",
                                                   "both"};
constexpr std::array<std::string_view, 4> kLayouts{"row", "column", "grid",
                                                   "focus"};

}  // namespace

const std::array<SettingInfo, 12> kSettings{{
    {"codec", 's', &Settings::codec, oneOf, "Codec of every movie", kCodecs},
    {"fps", 'f', &Settings::fps, notNegative,
     "The most frames per second in a movie; 0: every frame"},
    {"bitrate", 'f', &Settings::bitrate, notNegative,
     "Megabits per second for h264 and hevc; 0: automatic"},
    {"folder", 's', &Settings::folder, existingFolder,
     "Existing folder the movies are written to"},
    {"name", 's', &Settings::name, noSlash,
     "Name of the recording; empty: the app's name and the date"},
    {"output", 's', &Settings::output, oneOf, "What a recording writes",
     kOutputs},
    {"layout", 's', &Settings::layout, oneOf, "How the sources are assembled",
     kLayouts},
    {"gap", 'i', &Settings::gap, wholeNotNegative,
     "Pixels between the sources in the assembled picture"},
    {"width", 'i', &Settings::width, pictureSide,
     "Width the assembled picture is fitted into; 0: any"},
    {"height", 'i', &Settings::height, pictureSide,
     "Height the assembled picture is fitted into; 0: any"},
    {"sound", 's', &Settings::sound, soundSource,
     "Sound recorded: computer, a chosen source's title, or none"},
    {"performance", 'i', &Settings::performance, offOrOn,
     "1: refresh the window's picture less while recording"},
}};

Settings defaultSettings() {
  Settings settings;
  std::error_code failed;
  auto folder = std::filesystem::temp_directory_path(failed).string();
  if (failed) folder = "/tmp";
  // The Mac's temporary folder ends in a slash; the app shows folders
  // without one.
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  settings.folder = folder;
  return settings;
}

std::string SettingInfo::help() const {
  std::string text(description);
  for (std::size_t i = 0; i < choices.size(); ++i) {
    text += i == 0 ? ": " : ", ";
    text += choices[i];
  }
  return text;
}

const SettingInfo* findSetting(std::string_view key) {
  for (const auto& setting : kSettings) {
    if (setting.key == key) return &setting;
  }
  return nullptr;
}

std::optional<std::string> applySetting(
    Settings& settings, std::string_view key, const OscArgument& argument,
    const std::vector<std::string>& chosen) {
  const auto* setting = findSetting(key);
  if (setting == nullptr)
    return "There is no setting called " + std::string(key) + ".";
  if (const auto* check =
          std::get_if<SettingInfo::TextCheck>(&setting->check)) {
    auto text = textOf(argument);
    if (!text) return std::string(key) + " takes a text.";
    if (auto refusal = (*check)(*setting, *text, chosen)) return refusal;
    settings.*std::get<std::string Settings::*>(setting->member) =
        std::move(*text);
    return std::nullopt;
  }
  const auto number = numberOf(argument);
  if (!number) return std::string(key) + " takes a number.";
  const auto check = std::get<SettingInfo::NumberCheck>(setting->check);
  if (auto refusal = check(key, *number)) return refusal;
  if (const auto* real = std::get_if<double Settings::*>(&setting->member)) {
    settings.** real = *number;
  } else {
    settings.*std::get<int Settings::*>(setting->member) =
        static_cast<int>(*number);
  }
  return std::nullopt;
}

nlohmann::json settingValue(const Settings& settings, std::string_view key) {
  const auto* setting = findSetting(key);
  if (setting == nullptr) {
    throw std::logic_error("no setting called " + std::string(key));
  }
  return std::visit(
      [&](auto member) { return nlohmann::json(settings.*member); },
      setting->member);
}

}  // namespace zindle::sim
