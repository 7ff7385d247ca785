#pragma once
// The recorder's settings, one row each: the key a tool call gives, the
// schema and description the model reads, and the kind that says how
// configure sends the value, how it tells the app took it, and how the
// status reports it. The catalogue, configure and the status are all built
// from this table: adding a setting is adding a row.

#include <span>
#include <string>
#include <string_view>

namespace zindle::operations {

enum class SettingKind {
  titles,  // "sources": an array of titles, chosen in slots 1 to 8
  title,   // "source": one title, as "sources" with one
  choice,  // a text sent as given, taken when the app shows it lowercased
  text,    // a text sent as given, taken when the app shows it
  path,    // a text with its tilde expanded, taken when the app shows that
  sound,   // a text, taken when the app's contains it ignoring case ("" as "")
  rate,    // a number sent as a float, taken within a thousandth
  count,   // a number sent as an int, taken when it shows it rounded
  onOff,   // true or false sent as 1 or 0; a flag in the status
};

struct Setting {
  std::string_view key;  // the argument's name; "/" + key is its OSC address
  SettingKind kind;
  std::string_view description;               // read by the model
  std::span<const std::string_view> choices;  // the schema's "enum", if any
};

// Whether a setting chooses the sources, which configure handles apart and
// the status lists apart from the other settings.
inline bool choosesSources(SettingKind kind) {
  return kind == SettingKind::titles || kind == SettingKind::title;
}

// Every setting, in the order in which configure takes, sends and tests
// them: the sources first, and "sound" after them, since it may name one.
std::span<const Setting> settingsTable();

// The JSON type of a setting's value in the tool schema: "string", "number",
// "integer", "boolean" or "array".
std::string_view schemaType(SettingKind kind);

// Where the app takes and shows a setting: "/" and the key.
std::string addressOf(std::string_view key);

}  // namespace zindle::operations
