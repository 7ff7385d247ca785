#pragma once
// Reading JSON, all of it with simdjson: request lines into Json values, and
// the app's two answers straight into what the server needs of them (the OSC
// port of its host information; the values and sources of its namespace),
// keeping nothing else of the app's JSON.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/json_text.hpp"

namespace zindle::link {

struct Reading;

// Documents nested deeper are not read: requests and namespaces are a few
// levels deep, and the writer of Json values recurses.
inline constexpr std::size_t kMaxJsonDepth = 512;

// The most array elements and object members, at every depth, that one text
// turns into Json values. The app's values are single numbers and texts, and
// a request holds a few settings; the limit bounds the memory a hostile text
// can cost, as a Json value takes ten to twenty times the bytes of its text.
inline constexpr std::size_t kMaxJsonItems = 65536;

// Parses one request line: one JSON document whose top level is an object
// or an array, a UTF-8 byte order mark before it skipped. Returns nothing
// for anything else: a syntax error, trailing text, invalid UTF-8, a NUL
// byte, a scalar at the top, a number beyond the range of a double, nesting
// deeper than kMaxJsonDepth, or more than kMaxJsonItems items. The value is
// the one nlohmann's parser gives: whole numbers that fit 64 bits come back
// as integers (unsigned unless negative), all others as doubles, and of
// repeated keys the last counts. Throws nothing but std::bad_alloc.
std::optional<Json> parseJson(std::string_view text);

// What a server acts on in a request line that parseJson reads as an
// object; of repeated keys, the last counts.
struct RequestMembers {
  std::optional<Json> id;             // none: a notification
  std::optional<std::string> method;  // none when missing or not a string
  std::optional<Json> params;         // none unless "params" is an object
};

// The members of the request on `text`, turning nothing else of it into
// Json values; nothing when parseJson would give no object. Throws nothing
// but std::bad_alloc.
std::optional<RequestMembers> readRequest(std::string_view text);

// The app's OSC port when `body` is its host information: a JSON object,
// not empty, whose "NAME" is the string "ZindleRecorder" and whose
// "OSC_PORT" is a number with an integral value from 1 to 65535. Anything
// else (not JSON included) gives nothing. Never throws but std::bad_alloc.
std::optional<std::int64_t> appOscPort(std::string_view body);

// Reads the namespace in `body` into `reading`, starting from the root and
// visiting every node in the document's order, each subtree before the next
// sibling. A node with a "FULL_PATH" string and a non-empty "VALUE" array
// enters the values map with the array's first element; of two nodes with
// one path, the later one wins. The node "/source" settles the sources list
// from its "RANGE" (see the definition). Members of "CONTENTS" that are not
// objects are skipped; malformed nodes are left out, and so are nodes whose
// values would take the items kept past kMaxJsonItems. Returns false, leaving
// `reading` untouched, when `body` is not one JSON object (as parseJson
// says). Never throws but std::bad_alloc.
bool readNamespace(std::string_view body, Reading& reading);

}  // namespace zindle::link
