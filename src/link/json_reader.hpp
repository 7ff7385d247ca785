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

struct NamespaceSnapshot;

// Documents nested deeper are not read: requests and namespaces are a few
// levels deep, and the writer of Json values recurses.
inline constexpr std::size_t kMaxJsonDepth = 512;

// The most that one namespace turns into kept values: each node that enters
// the values map, each array element and object member, at every depth, of
// its value, and each title of the sources list. The app keeps a few hundred
// values, single numbers and texts, and offers tens of sources; the limit
// bounds what a hostile namespace can cost, as a Json value takes ten to
// twenty times the bytes of its text.
inline constexpr std::size_t kMaxJsonItems = 65536;

// The deepest nesting of arrays and objects in a value the namespace keeps:
// the app's values are flat, and the status writes each level indented, so
// that deep values would multiply the size of its text.
inline constexpr std::size_t kMaxValueDepth = 16;

// Parses one JSON text whose top level is an object or an array, a UTF-8
// byte order mark before it skipped. Returns nothing for anything else: a
// syntax error, trailing text, invalid UTF-8, a NUL byte, a scalar at the
// top, or nesting deeper than kMaxJsonDepth. The value is the one nlohmann's
// parser gives: whole numbers that fit 64 bits come back as integers
// (unsigned unless negative), all others as doubles, and of repeated keys
// the last counts; a number past the range of a double, which nlohmann
// refuses, is null. Throws nothing but std::bad_alloc.
std::optional<Json> parseJson(std::string_view text);

// What a server acts on in a request line that parseJson reads as an
// object; of repeated keys, the last counts.
struct RequestMembers {
  // The id's JSON text, as the response writes it; none: a notification.
  // A number keeps the text the client wrote ("1e2", "-0", a number past 64
  // bits); any other id is written anew (a string as "a/b" even when sent
  // as "a\/b").
  std::optional<std::string> id;
  std::optional<std::string> method;  // none when missing or not a string
  std::optional<Json> params;         // none unless "params" is an object
};

// The members of the request on `text`, turning nothing else of it into
// Json values; nothing when parseJson would give no object. However many
// items a line holds, its length bounds what it costs. Throws nothing but
// std::bad_alloc.
std::optional<RequestMembers> readRequest(std::string_view text);

// The app's OSC port when `body` is its host information: a JSON object
// (as parseJson reads it) whose "NAME" is the string "ZindleRecorder" and
// whose "OSC_PORT" is a number with an integral value from 1 to 65535, the
// last of each counting. Anything else (not JSON included) gives nothing.
// Never throws but std::bad_alloc.
std::optional<std::int64_t> appOscPort(std::string_view body);

// Reads the namespace in `body` into `reading`, starting from the root and
// visiting every node in the document's order, each subtree before the next
// sibling. A node with a "FULL_PATH" string and a non-empty "VALUE" array
// enters the values map with the array's first element; of two nodes with
// one path, the later one wins, and of repeated keys in a node, the last.
// The node "/source" settles the sources list from its "RANGE" (see the
// definition). Members of "CONTENTS" that are not objects are skipped;
// malformed nodes are left out, and so are nodes whose values nest deeper
// than kMaxValueDepth, and nodes that would take what is kept past
// kMaxJsonItems: an app offering more titles than that has its "/source"
// node left out, and so no sources. Returns false, leaving `reading`
// untouched, when `body` is not one JSON object (as parseJson says). Never
// throws but std::bad_alloc.
bool readNamespace(std::string_view body, NamespaceSnapshot& reading);

}  // namespace zindle::link
