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

// The readable form of `value`: indented, the members of every object in
// ascending order of their keys, "/" not escaped. Returns "{}" when the value
// cannot be written. Never throws.
std::string prettyJson(const Json& value);

// The member `key` of `object`, or null when `object` is no object or has
// no such member, or when `isType` is given and the member fails it.
const Json* member(const Json& object, std::string_view key,
                   bool (Json::*isType)() const noexcept = nullptr);

// The text `value` holds; "" when it is null or not a string.
std::string textOf(const Json* value);

}  // namespace zindle
