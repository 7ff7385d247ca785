#include "server/stdio.hpp"

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>

namespace zindle::server {
namespace {

enum class Wait { toRead, toWrite };

// Blocks until `fd`, one of the standard descriptors, can be read or
// written, or has hung up; false when it cannot be waited on at all.
// select() rather than poll(): macOS's poll() does not wait on a terminal.
bool waitFor(int fd, Wait wait) {
  for (;;) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(fd, &ready);
    fd_set* const reading = wait == Wait::toRead ? &ready : nullptr;
    fd_set* const writing = wait == Wait::toWrite ? &ready : nullptr;
    if (::select(fd + 1, reading, writing, nullptr, nullptr) >= 0) return true;
    if (errno != EINTR) return false;
  }
}

bool isWouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

bool keepStandardDescriptors() {
  // On these numbers F_GETFL fails only when the descriptor is closed.
  const int output = ::fcntl(1, F_GETFL);
  if (output == -1 || (output & O_ACCMODE) == O_RDONLY) return false;
  for (const int fd : {0, 2}) {
    if (::fcntl(fd, F_GETFL) != -1) continue;
    // open() takes the lowest free number, which is this one: the lower
    // ones are open by now.
    const int opened = ::open("/dev/null", O_RDWR);
    if (opened != fd && opened >= 0) ::close(opened);
  }
  return true;
}

std::size_t readFrom(int fd, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t count = ::read(fd, buffer, size);
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno == EINTR) continue;
    if (!isWouldBlock(errno) || !waitFor(fd, Wait::toRead)) return 0;
  }
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(fd, bytes.data(), bytes.size());
    if (count > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(count));
    } else if (count < 0 && errno == EINTR) {
      continue;
    } else if (count < 0 && isWouldBlock(errno) && waitFor(fd, Wait::toWrite)) {
      continue;
    } else {
      // A write that moves nothing would only repeat itself forever.
      return false;
    }
  }
  return true;
}

}  // namespace zindle::server
