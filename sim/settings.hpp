#pragma once

// The recording settings of the simulated app, their defaults and the checks
// the app makes before it takes a new value. A refused value leaves the old
// one in place and yields the sentence the app shows as its error.

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/osc_message.hpp"

namespace zindle::sim {

// The largest side of any picture, and of the box the assembled picture is
// fitted into.
inline constexpr int kLargestPicture = 16384;

struct Settings {
  std::string codec = "h264";
  double fps = 0;      // the most frames per second; 0: every frame
  double bitrate = 0;  // megabits per second; 0: chosen by the encoder
  std::string folder;  // an existing folder
  std::string name;    // empty: the app's name and the date
  std::string output = "both";
  std::string layout = "row";
  int gap = 0;
  int width = 0;
  int height = 0;
  std::string sound;  // "computer", a chosen source's title, or empty
  int performance = 0;

  bool writesSourceMovies() const { return output != "assembled"; }
  bool writesAssembledMovie() const { return output != "separate"; }

  bool operator==(const Settings&) const = default;
};

// One row per setting: its name, where Settings holds it, the check the app
// makes and the help the app publishes. A text check may rewrite the value
// to the form the app stores it in; a refusal is the app's sentence.
struct SettingInfo {
  using Refusal = std::optional<std::string>;
  using TextCheck = Refusal (*)(const SettingInfo&, std::string& value,
                                const std::vector<std::string>& chosen);
  using NumberCheck = Refusal (*)(std::string_view key, double value);
  // The member's kind is the OSC type tag: text 's', real 'f', integer 'i'.
  using Member = std::variant<std::string Settings::*, double Settings::*,
                              int Settings::*>;

  std::string_view key;  // the OSC address without its leading '/'
  char type;             // the OSC type tag it is published with
  Member member;
  std::variant<TextCheck, NumberCheck> check;
  std::string_view description;
  std::span<const std::string_view> choices{};  // a choice's only values

  // The description as published, a choice's values listed after it.
  std::string help() const;
};

// Every setting, in the order the app lists them.
extern const std::array<SettingInfo, 12> kSettings;

// The settings at start-up, with `folder` the system's folder for temporary
// files.
Settings defaultSettings();

// The entry of `key` in kSettings, or nullptr when no setting has that name.
const SettingInfo* findSetting(std::string_view key);

// Takes `argument` as the new value of the setting `key` when the app would,
// storing it as the app does (codec, output and layout lowercased, sound as
// "computer" or the full title of the chosen source it names). `chosen` are
// the titles of the sources chosen now. Returns the refusal's sentence, or
// nothing when the value was taken.
std::optional<std::string> applySetting(Settings& settings,
                                        std::string_view key,
                                        const OscArgument& argument,
                                        const std::vector<std::string>& chosen);

// The value of the setting `key` as published: a string, a real or an
// integer as its type says. `key` must name a setting.
nlohmann::json settingValue(const Settings& settings, std::string_view key);

}  // namespace zindle::sim
