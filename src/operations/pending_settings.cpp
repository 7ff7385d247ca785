#include "operations/pending_settings.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>

#include "link/app_paths.hpp"
#include "link/recorder_error.hpp"
#include "operations/path_expansion.hpp"
#include "operations/settings_table.hpp"
#include "operations/status.hpp"
#include "operations/text_rules.hpp"

namespace zindle::operations {
namespace {

using link::kSlotCount;
using link::NamespaceSnapshot;
using link::slotAddress;
using Matches = std::function<bool(const Json*)>;

// gap, width and height are sent as int within these bounds, so that no
// number a client gives can overflow the conversion.
constexpr double kWholeLimit = 1000000;
// fps and bitrate travel as 32-bit floats: 29.97 comes back as 29.969999.
constexpr double kRealTolerance = 0.001;
// What a number test reads when the app has no number at the address.
constexpr double kMissingNumber = -1;

const std::string* textOf(const Json* value) {
  if (value == nullptr || !value->is_string()) return nullptr;
  return &value->get_ref<const std::string&>();
}

// JSON true and false are the numbers 1 and 0, wherever a number is read.
std::optional<double> numberOf(const Json* value) {
  if (value == nullptr) return std::nullopt;
  if (value->is_boolean()) return value->get<bool>() ? 1.0 : 0.0;
  if (value->is_number()) return value->get<double>();
  return std::nullopt;
}

RecorderError wrongType(std::string_view key, std::string_view expected) {
  std::string message(key);
  message += " must be ";
  message += expected;
  return RecorderError::badArguments(std::move(message));
}

std::string requireText(std::string_view key, const Json& given) {
  if (!given.is_string()) throw wrongType(key, "a string");
  return given.get<std::string>();
}

double requireNumber(std::string_view key, const Json& given) {
  const std::optional<double> number = numberOf(&given);
  if (!number) throw wrongType(key, "a number");
  return *number;
}

// Beyond float's range the conversion is undefined; the app takes no such
// rate anyway, and the read-back reports it.
float nearestFloat(double number) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  if (std::isnan(number)) return 0.0f;
  return static_cast<float>(std::clamp(number, -kLargest, kLargest));
}

std::int32_t limitedWhole(double number) {
  if (std::isnan(number)) return 0;
  return static_cast<std::int32_t>(
      std::round(std::clamp(number, -kWholeLimit, kWholeLimit)));
}

Matches equivalentTo(std::string expected) {
  return [expected = std::move(expected)](const Json* value) {
    const std::string* text = textOf(value);
    return text != nullptr && equivalent(*text, expected);
  };
}

Matches containing(std::string_view needle) {
  return [search = TextSearch(needle)](const Json* value) {
    const std::string* text = textOf(value);
    return text != nullptr && search.isFoundIn(*text);
  };
}

bool isEmptyText(const Json* value) {
  const std::string* text = textOf(value);
  return text != nullptr && text->empty();
}

// The app publishes the enumerations in lower case.
PendingSetting loweredText(std::string_view key, const Json& given) {
  std::string text = requireText(key, given);
  Matches matches = equivalentTo(lowercased(text));
  return {addressOf(key), std::move(text), std::move(matches)};
}

PendingSetting plainText(std::string_view key, const Json& given) {
  std::string text = requireText(key, given);
  Matches matches = equivalentTo(text);
  return {addressOf(key), std::move(text), std::move(matches)};
}

// The app keeps the title of the source it chose, which need only contain
// the text given.
PendingSetting soundChoice(std::string_view key, const Json& given) {
  std::string text = requireText(key, given);
  Matches matches = text.empty() ? Matches(isEmptyText) : containing(text);
  return {addressOf(key), std::move(text), std::move(matches)};
}

// Expanded once, so that what is tested is what was sent.
PendingSetting folderPath(std::string_view key, const Json& given) {
  std::string path = expandTilde(requireText(key, given));
  Matches matches = equivalentTo(path);
  return {addressOf(key), std::move(path), std::move(matches)};
}

// Taken when the read-back is near the number given or the float sent: a
// float cannot hold 100000.1 or 16777217, and the app keeps what it got.
PendingSetting realNumber(std::string_view key, const Json& given) {
  const double number = requireNumber(key, given);
  const float sent = nearestFloat(number);
  return {addressOf(key), sent, [number, sent](const Json* value) {
            const double readBack = numberOf(value).value_or(kMissingNumber);
            return std::fabs(readBack - number) < kRealTolerance ||
                   std::fabs(readBack - double{sent}) < kRealTolerance;
          }};
}

// Sent and tested rounded the same way, so that 2.5 is sent as 3 and taken
// as 3; only the sending is limited, so a number out of bounds is reported.
PendingSetting wholeNumber(std::string_view key, const Json& given) {
  const double number = requireNumber(key, given);
  return {addressOf(key), limitedWhole(number),
          [expected = std::round(number)](const Json* value) {
            return numberOf(value).value_or(kMissingNumber) == expected;
          }};
}

// Read back as the status reads a flag, so that what configure takes as on
// the status reports as on; a value that is no number is never taken.
PendingSetting onOff(std::string_view key, const Json& given) {
  if (!given.is_boolean()) throw wrongType(key, "true or false");
  const bool on = given.get<bool>();
  return {addressOf(key), std::int32_t{on ? 1 : 0}, [on](const Json* value) {
            return numberOf(value) && isSet(value) == on;
          }};
}

// The pending setting of `setting`, given as `given`.
PendingSetting pendingOf(const Setting& setting, const Json& given) {
  switch (setting.kind) {
    case SettingKind::choice:
      return loweredText(setting.key, given);
    case SettingKind::text:
      return plainText(setting.key, given);
    case SettingKind::path:
      return folderPath(setting.key, given);
    case SettingKind::sound:
      return soundChoice(setting.key, given);
    case SettingKind::rate:
      return realNumber(setting.key, given);
    case SettingKind::count:
      return wholeNumber(setting.key, given);
    case SettingKind::onOff:
    case SettingKind::titles:
    case SettingKind::title:
      break;
  }
  return onOff(setting.key, given);
}

std::string joined(std::span<const std::string> texts) {
  std::string result;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) result += ", ";
    result += texts[i];
  }
  return result;
}

}  // namespace

std::optional<std::vector<std::string>> givenSources(const Json& arguments) {
  if (const Json* list = memberOf(arguments, "sources")) {
    if (!list->is_array() ||
        !std::all_of(list->begin(), list->end(),
                     [](const Json& title) { return title.is_string(); })) {
      throw RecorderError::badArguments("sources must be a list of titles");
    }
    if (list->size() > kSlotCount) {
      throw RecorderError::badArguments("no more than " +
                                        std::to_string(kSlotCount) +
                                        " sources can be recorded at once");
    }
    return list->get<std::vector<std::string>>();
  }
  const Json* one = memberOf(arguments, "source");
  if (one == nullptr) return std::nullopt;
  if (!one->is_string()) throw wrongType("source", "a string");
  return std::vector<std::string>{one->get<std::string>()};
}

void checkSources(std::span<const std::string> titles,
                  std::span<const std::string> available) {
  for (const std::string& title : titles) {
    const TextSearch search(title);
    const bool found = std::any_of(
        available.begin(), available.end(),
        [&search](const std::string& a) { return search.isFoundIn(a); });
    if (found) continue;
    throw RecorderError::failed("There is no source called \u201C" + title +
                                "\u201D. Available: " + joined(available) +
                                ". Nothing was changed.");
  }
}

std::vector<PendingSetting> sourceSettings(
    std::span<const std::string> titles) {
  std::vector<PendingSetting> pending;
  for (std::size_t k = 0; k < titles.size(); ++k) {
    pending.push_back({slotAddress(k + 1), titles[k], containing(titles[k])});
  }
  // The slot after the last title is emptied and must read back empty, so
  // that a source left from before cannot pass for one given now.
  if (titles.size() < kSlotCount) {
    pending.push_back(
        {slotAddress(titles.size() + 1), std::string(), isEmptyText});
  }
  return pending;
}

std::vector<PendingSetting> otherSettings(const Json& arguments) {
  std::vector<PendingSetting> pending;
  for (const Setting& setting : settingsTable()) {
    // The sources are chosen apart, before anything else is sent.
    if (choosesSources(setting.kind)) continue;
    if (const Json* given = memberOf(arguments, setting.key)) {
      pending.push_back(pendingOf(setting, *given));
    }
  }
  return pending;
}

bool allTaken(std::span<const PendingSetting> pending,
              const NamespaceSnapshot& snapshot) {
  return std::all_of(pending.begin(), pending.end(),
                     [&snapshot](const PendingSetting& setting) {
                       return setting.matches(snapshot.at(setting.address));
                     });
}

Json notApplied(std::span<const PendingSetting> pending,
                const NamespaceSnapshot& snapshot) {
  Json result = Json::object();
  for (const PendingSetting& setting : pending) {
    const Json* value = snapshot.at(setting.address);
    if (setting.matches(value)) continue;
    result[setting.address.substr(1)] =
        value == nullptr ? Json(nullptr) : *value;
  }
  return result;
}

}  // namespace zindle::operations
