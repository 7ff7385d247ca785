#pragma once
// JSON-RPC: from one line of standard input to the response it gets, if any.

#include <functional>
#include <optional>
#include <string_view>

#include "link/json_text.hpp"

namespace zindle::server {

// Runs a tool call: returns the tool result or throws (RecorderError, or
// anything else, which becomes an error result too).
using ToolCaller =
    std::function<Json(std::string_view name, const Json& arguments)>;

// The response to `line`, or nothing when the line is not a request: empty,
// not JSON, not an object, without a string "method", or without "id".
std::optional<Json> handleLine(std::string_view line,
                               const ToolCaller& callTool);

// Reads lines from `readSome` and answers each request through `writer`,
// one at a time, until the input ends or the writer reports that the reader
// has gone away.
void serve(const std::function<std::size_t(char*, std::size_t)>& readSome,
           const std::function<bool(std::string_view)>& writer,
           const ToolCaller& callTool);

}  // namespace zindle::server
