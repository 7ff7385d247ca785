#pragma once
// The process's standard streams, as a client may hand them over: closed,
// or in non-blocking mode. Reading waits for input and writing waits for
// room; neither mistakes "not now" for the end.

#include <cstddef>
#include <string_view>

namespace zindle::server {

// Whether answers can be written at all: false when descriptor 1 is closed
// or open only for reading, and then nobody could read an answer, so the
// caller must end before acting on any request. Otherwise opens /dev/null on
// descriptor 0 or 2 when it is closed, so that no file or socket opened
// later takes its number, and returns true. Call first thing at start.
// Never throws.
[[nodiscard]] bool keepStandardDescriptors();

// One read(2) of up to `size` bytes from `fd` into `buffer`, waiting while
// the descriptor has nothing yet (EAGAIN from a non-blocking one) and
// retrying when a signal interrupts it. Returns the number of bytes read; 0
// at end of input and on any other error, after which nothing more can be
// read either. Never throws.
std::size_t readFrom(int fd, char* buffer, std::size_t size);

// Writes all of `bytes` to `fd`, retrying short writes and EINTR, and
// waiting for room while a non-blocking descriptor has none. Returns false
// when the descriptor is closed or fails (EPIPE: the client went away).
// Never throws.
bool writeAll(int fd, std::string_view bytes);

}  // namespace zindle::server
