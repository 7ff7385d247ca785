#pragma once
// JSON as text: the value type every layer passes around, and the two
// writers of the server's output. Reading is link/json_reader.hpp's.

#include <optional>
#include <string>

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
std::string json(const Json& value);

}  // namespace zindle
