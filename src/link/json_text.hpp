#pragma once
// JSON as text: the value type every layer passes around, and the
// writers of the server's output. Reading is link/json_reader.hpp's.

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zindle {

using Json = nlohmann::json;

// The compact form of `value` for the wire: no whitespace between tokens,
// "/" not escaped, non-ASCII written as UTF-8. Returns nothing when the value
// cannot be written (a string that is not valid UTF-8). Never throws.
std::optional<std::string> compactJson(const Json& value);

// The member `key` of `value` when `value` is an object that has one, and,
// when `isType` is given, the member has the type it tests; else null.
inline const Json* memberOf(const Json& value, std::string_view key,
                            bool (Json::*isType)() const noexcept = nullptr) {
  if (!value.is_object()) return nullptr;
  const auto found = value.find(key);
  if (found == value.end()) return nullptr;
  if (isType != nullptr && !((*found).*isType)()) return nullptr;
  return &*found;
}

// The member `key` of `value` when it is a string, else "".
inline std::string textMemberOf(const Json& value, std::string_view key) {
  const Json* text = memberOf(value, key, &Json::is_string);
  return text == nullptr ? std::string() : text->get<std::string>();
}

// The readable form of `value`: indented, the members of every object in
// ascending order of their keys, "/" not escaped. Returns "{}" when the value
// cannot be written. Never throws.
std::string prettyJson(const Json& value);

}  // namespace zindle
