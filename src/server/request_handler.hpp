#pragma once
// JSON-RPC: from one line of standard input to the response it gets, if any.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "link/json_text.hpp"

namespace zindle::server {

// The longest result a tool call is answered with, in bytes of its compact
// JSON text: the answer lands in the assistant's context. A real status is a
// few kilobytes, and a list of hundreds of sources stays far below this; an
// app whose values or titles would make more (a call may write the app's
// texts several times, each escaped twice) gets its result replaced.
inline constexpr std::size_t kMaxResultBytes = 1u << 20;

// Runs a tool call: returns the tool result or throws (RecorderError, or
// anything else, which becomes an error result too).
using ToolCaller =
    std::function<Json(std::string_view name, const Json& arguments)>;

// The response to `line` as one line of compact JSON, LF included, or
// nothing when the line is not a request: empty, not JSON (invalid UTF-8 and
// nesting past link::kMaxJsonDepth included), not an object, without a string
// "method", or without "id". A tools/call always gets a "result": whatever
// `callTool` throws becomes a tool result with "isError" true. A result
// longer than kMaxResultBytes is replaced by one whose text says how long it
// was, "isError" kept as the tool gave it. Throws nothing but
// std::bad_alloc.
std::optional<std::string> handleLine(std::string_view line,
                                      const ToolCaller& callTool);

// Reads lines from `readSome` and answers each request through `writer`,
// one at a time, each answer written before the next line is read, until
// the input ends (true) or the writer returns false (false): an answer that
// could not be written in full ends the session at once, the rest of the
// input unread, as no answer after it could reach the client either.
// Overlong lines and lines that run out of memory are dropped and the loop
// goes on. Never throws.
bool serve(const std::function<std::size_t(char*, std::size_t)>& readSome,
           const std::function<bool(std::string_view)>& writer,
           const ToolCaller& callTool);

}  // namespace zindle::server
