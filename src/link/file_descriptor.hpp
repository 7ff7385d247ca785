#pragma once
// Owns one file descriptor and closes it on every path out of its scope.

#include <unistd.h>

namespace zindle::link {

class FileDescriptor {
 public:
  // `fd` may be negative (a failed open or socket): then nothing is closed.
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace zindle::link
