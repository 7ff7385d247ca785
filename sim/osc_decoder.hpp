#pragma once

// Decoding of one received datagram into an OscMessage. The decoding is done
// by liblo, an OSC library written apart from the server, so that the
// simulator checks the server's own encoder instead of mirroring it.

#include <cstddef>
#include <optional>

#include "sim/osc_message.hpp"

namespace zindle::sim {

// The message held by `size` bytes at `data`, or nothing when they are not
// one well-formed OSC message (bundles included: the app takes none).
// `data` is only read during the call.
std::optional<OscMessage> decodeOscMessage(const void* data, std::size_t size);

}  // namespace zindle::sim
