#include "server/line_reader.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace zindle::server {

std::size_t readFrom(int fd, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t count = ::read(fd, buffer, size);
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) return 0;
  }
}

LineReader::LineReader(ReadSome readSome, std::size_t maxLine)
    : readSome_(std::move(readSome)), maxLine_(maxLine) {}

std::optional<LineReader::Line> LineReader::next() {
  for (;;) {
    const char* base = buffer_.data();
    const void* lf =
        std::memchr(base + scanned_, '\n', buffer_.size() - scanned_);
    if (lf != nullptr) {
      return take(
          static_cast<std::size_t>(static_cast<const char*>(lf) - base));
    }
    scanned_ = buffer_.size();
    if (!skipping_ && scanned_ - start_ > maxLine_) skipping_ = true;
    if (skipping_) {
      // Nothing of an overlong line is kept: only its end is waited for.
      buffer_.clear();
      start_ = scanned_ = 0;
    }
    if (ended_) {
      if (skipping_) {
        skipping_ = false;
        return Line{{}, true};
      }
      if (start_ == buffer_.size()) return std::nullopt;
      return take(buffer_.size());
    }
    fill();
  }
}

LineReader::Line LineReader::take(std::size_t end) {
  Line line;
  if (skipping_ || end - start_ > maxLine_) {
    skipping_ = false;
    line.tooLong = true;
  } else {
    line.text = std::string_view(buffer_).substr(start_, end - start_);
  }
  // At the end of input there is no LF to step over; the bound keeps
  // start_ within the buffer.
  start_ = scanned_ = std::min(end + 1, buffer_.size());
  return line;
}

void LineReader::fill() {
  // The pending part of a line moves to the front, so the buffer never
  // holds more than one line and one chunk.
  if (start_ > 0) {
    buffer_.erase(0, start_);
    scanned_ -= start_;
    start_ = 0;
  }
  // Memory taken by one long line goes back once that line has passed.
  if (buffer_.capacity() > 4 * kReadChunkBytes &&
      buffer_.size() < kReadChunkBytes) {
    buffer_.shrink_to_fit();
  }
  const std::size_t kept = buffer_.size();
  buffer_.resize(kept + kReadChunkBytes);
  std::size_t count = 0;
  try {
    count = readSome_(buffer_.data() + kept, kReadChunkBytes);
  } catch (...) {
    // Leaves the reader as it was, so no unread bytes appear in a line.
    buffer_.resize(kept);
    throw;
  }
  if (count > kReadChunkBytes) count = kReadChunkBytes;
  buffer_.resize(kept + count);
  if (count == 0) ended_ = true;
}

}  // namespace zindle::server
