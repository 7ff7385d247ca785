#pragma once
// A tools/call: find the app, run the tool the name selects, and wrap its
// status dictionary as an MCP tool result.

#include <string_view>

#include "link/json_text.hpp"

namespace zindle::link {
struct Services;
}

namespace zindle::server {

// Finds the app first, then runs the tool called `name` with `arguments`.
// Returns {"content": [{"type": "text", "text": prettyJson(status)}],
// "isError": false}. Throws RecorderError: unreachable when the app is not
// found (whatever the name), badArguments "unknown tool <name>" for a name
// outside the catalogue, or whatever the tool throws.
Json callTool(const link::Services& services, std::string_view name,
              const Json& arguments);

}  // namespace zindle::server
