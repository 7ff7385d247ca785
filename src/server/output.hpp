#pragma once
// The one writer of standard output: each message is one line of compact
// JSON, handed to the operating system in one piece before send() returns.

#include <functional>
#include <string_view>

#include "link/json_text.hpp"

namespace zindle::server {

// Writes bytes somewhere; returns false once the reader has gone away.
using Writer = std::function<bool(std::string_view bytes)>;

// Writes all of `bytes` to `fd`, retrying short writes and EINTR. Returns
// false when the descriptor is closed or fails (EPIPE: the client went away).
bool writeAll(int fd, std::string_view bytes);

// Writes `message` as one compact line ending in LF through `writer`.
// A message that cannot be written as JSON is dropped silently and counts as
// written. Returns what the writer returned.
bool send(const Json& message, const Writer& writer);

}  // namespace zindle::server
