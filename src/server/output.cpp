#include "server/output.hpp"

#include <cerrno>

#include <unistd.h>

namespace zindle::server {

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(count));
    } else if (count < 0 && errno == EINTR) {
      continue;
    } else {
      // A write that moves nothing would only repeat itself forever.
      return false;
    }
  }
  return true;
}

}  // namespace zindle::server
