#pragma once
// The one writer of standard output: each message, one line of compact JSON,
// is handed to the operating system in one piece before the next is read.

#include <functional>
#include <string_view>

namespace zindle::server {

// Writes bytes somewhere; returns false once the reader has gone away.
using Writer = std::function<bool(std::string_view bytes)>;

// Writes all of `bytes` to `fd`, retrying short writes and EINTR. Returns
// false when the descriptor is closed or fails (EPIPE: the client went away).
bool writeAll(int fd, std::string_view bytes);

}  // namespace zindle::server
