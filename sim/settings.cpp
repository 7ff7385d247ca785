#include "sim/settings.hpp"

#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include "sim/text.hpp"

namespace zindle::sim {

const std::array<SettingInfo, 12> kSettings{{
    {"codec", 's', "Codec of every movie: h264, hevc, prores422, prores4444"},
    {"fps", 'f', "The most frames per second in a movie; 0: every frame"},
    {"bitrate", 'f', "Megabits per second for h264 and hevc; 0: automatic"},
    {"folder", 's', "Existing folder the movies are written to"},
    {"name", 's', "Name of the recording; empty: the app's name and the date"},
    {"output", 's', "What a recording writes: separate, assembled, both"},
    {"layout", 's', "How the sources are assembled: row, column, grid, focus"},
    {"gap", 'i', "Pixels between the sources in the assembled picture"},
    {"width", 'i', "Width the assembled picture is fitted into; 0: any"},
    {"height", 'i', "Height the assembled picture is fitted into; 0: any"},
    {"sound", 's',
     "Sound recorded: computer, a chosen source's title, or none"},
    {"performance", 'i',
     "1: refresh the window's picture less while recording"},
}};

namespace {

using Refusal = std::optional<std::string>;

Refusal oneOf(std::string& value, std::string_view key,
              const std::vector<std::string_view>& allowed,
              std::string_view listed) {
  const auto lower = lowercased(value);
  for (const auto choice : allowed) {
    if (lower == choice) {
      value = lower;
      return std::nullopt;
    }
  }
  return std::string(key) + " must be " + std::string(listed) + ".";
}

Refusal checkText(std::string_view key, std::string& value,
                  const std::vector<std::string>& chosen) {
  if (key == "codec") {
    return oneOf(value, key, {"h264", "hevc", "prores422", "prores4444"},
                 "h264, hevc, prores422 or prores4444");
  }
  if (key == "output") {
    return oneOf(value, key, {"separate", "assembled", "both"},
                 "separate, assembled or both");
  }
  if (key == "layout") {
    return oneOf(value, key, {"row", "column", "grid", "focus"},
                 "row, column, grid or focus");
  }
  if (key == "folder") {
    std::error_code ignored;  // a path that cannot be examined is no folder
    if (value.empty() || !std::filesystem::is_directory(value, ignored)) {
      return "folder must be an existing folder; \"" + value + "\" is not one.";
    }
    return std::nullopt;
  }
  if (key == "name") {
    if (value.find('/') != std::string::npos) {
      return std::string("name must not contain a slash.");
    }
    return std::nullopt;
  }
  // sound: the sound of this Mac, none, or a chosen source's own.
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

Refusal checkNumber(std::string_view key, double value) {
  const std::string name(key);
  if (key == "fps" || key == "bitrate") {
    if (!std::isfinite(value) || value < 0) {
      return name + " must be a number of 0 or more.";
    }
  } else if (key == "gap") {
    if (!isWhole(value, 0, std::numeric_limits<int>::max())) {
      return name + " must be a whole number of 0 or more.";
    }
  } else if (key == "width" || key == "height") {
    if (!isWhole(value, 0, kLargestPicture)) {
      return name + " must be a whole number from 0 to 16384.";
    }
  } else if (value != 0 && value != 1) {  // performance
    return name + " must be 0 or 1.";
  }
  return std::nullopt;
}

void storeText(Settings& settings, std::string_view key, std::string value) {
  if (key == "codec") settings.codec = std::move(value);
  if (key == "folder") settings.folder = std::move(value);
  if (key == "name") settings.name = std::move(value);
  if (key == "output") settings.output = std::move(value);
  if (key == "layout") settings.layout = std::move(value);
  if (key == "sound") settings.sound = std::move(value);
}

void storeNumber(Settings& settings, std::string_view key, double value) {
  if (key == "fps") settings.fps = value;
  if (key == "bitrate") settings.bitrate = value;
  if (key == "gap") settings.gap = static_cast<int>(value);
  if (key == "width") settings.width = static_cast<int>(value);
  if (key == "height") settings.height = static_cast<int>(value);
  if (key == "performance") settings.performance = static_cast<int>(value);
}

}  // namespace

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
  if (setting->type == 's') {
    auto text = textOf(argument);
    if (!text) return std::string(key) + " takes a text.";
    if (auto refusal = checkText(key, *text, chosen)) return refusal;
    storeText(settings, key, std::move(*text));
    return std::nullopt;
  }
  const auto number = numberOf(argument);
  if (!number) return std::string(key) + " takes a number.";
  if (auto refusal = checkNumber(key, *number)) return refusal;
  storeNumber(settings, key, *number);
  return std::nullopt;
}

nlohmann::json settingValue(const Settings& settings, std::string_view key) {
  if (key == "codec") return settings.codec;
  if (key == "fps") return settings.fps;
  if (key == "bitrate") return settings.bitrate;
  if (key == "folder") return settings.folder;
  if (key == "name") return settings.name;
  if (key == "output") return settings.output;
  if (key == "layout") return settings.layout;
  if (key == "gap") return settings.gap;
  if (key == "width") return settings.width;
  if (key == "height") return settings.height;
  if (key == "sound") return settings.sound;
  if (key == "performance") return settings.performance;
  throw std::logic_error("no setting called " + std::string(key));
}

}  // namespace zindle::sim
