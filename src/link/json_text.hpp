#pragma once
// JSON as text, for every layer: the guarded parser that reads standard input
// and the app's answers, and the two writers of the server's output.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zindle {

using Json = nlohmann::json;

// Deeper documents are refused before parsing: nothing we read needs more
// than a few levels, and the writer recurses.
inline constexpr std::size_t kMaxJsonDepth = 512;

// Parses `text` as one JSON document whose top level is an object or an
// array; a UTF-8 byte order mark before it is skipped. Returns nothing for
// anything else: a syntax error, trailing text, invalid UTF-8, a NUL byte, a
// scalar at the top, a number beyond the range of a double, or nesting deeper
// than kMaxJsonDepth. Whole numbers that fit 64 bits come back as integers
// (unsigned unless negative), all others as doubles. Throws nothing but
// std::bad_alloc.
std::optional<Json> parseJson(std::string_view text);

// The compact form of `value` for the wire: no whitespace between tokens,
// "/" not escaped, non-ASCII written as UTF-8. Returns nothing when the value
// cannot be written (a string that is not valid UTF-8). Never throws.
std::optional<std::string> compactJson(const Json& value);

// The readable form of `value`: indented, the members of every object in
// ascending order of their keys, "/" not escaped. Returns "{}" when the value
// cannot be written. Never throws.
std::string json(const Json& value);

}  // namespace zindle
