#include "server/line_reader.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zindle::server {

LineReader::LineReader(ReadSome readSome, std::size_t maxLine)
    : readSome_(std::move(readSome)), maxLine_(maxLine) {}

std::optional<LineReader::Line> LineReader::next() {
  for (;;) {
    const char* base = buffer_.get();
    const void* lf = scanned_ < size_
                         ? std::memchr(base + scanned_, '\n', size_ - scanned_)
                         : nullptr;
    if (lf != nullptr) {
      return take(
          static_cast<std::size_t>(static_cast<const char*>(lf) - base));
    }
    scanned_ = size_;
    if (!skipping_ && scanned_ - start_ > maxLine_) skipping_ = true;
    if (skipping_) {
      // Nothing of an overlong line is kept: only its end is waited for.
      size_ = start_ = scanned_ = 0;
    }
    if (ended_) {
      if (skipping_) {
        skipping_ = false;
        return Line{{}, true};
      }
      if (start_ == size_) return std::nullopt;
      return take(size_);
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
    line.text = std::string_view(buffer_.get() + start_, end - start_);
  }
  // At the end of input there is no LF to step over; the bound keeps
  // start_ within the buffer.
  start_ = scanned_ = std::min(end + 1, size_);
  return line;
}

void LineReader::reallocate(std::size_t capacity) {
  // Left uninitialised, as make_unique_for_overwrite would (which Xcode
  // 15's libc++ lacks): read() fills what is used.
  std::unique_ptr<char[]> larger(new char[capacity]);
  if (size_ > 0) std::memcpy(larger.get(), buffer_.get(), size_);
  buffer_ = std::move(larger);
  capacity_ = capacity;
}

void LineReader::fill() {
  // The pending part of a line moves to the front, so the buffer never
  // holds more than one line and one chunk.
  if (start_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + start_, size_ - start_);
    size_ -= start_;
    scanned_ -= start_;
    start_ = 0;
  }
  if (capacity_ - size_ < kReadChunkBytes) {
    reallocate(std::max(size_ + kReadChunkBytes, 2 * capacity_));
  } else if (capacity_ > 4 * kReadChunkBytes && size_ < kReadChunkBytes) {
    // Memory taken by one long line goes back once that line has passed.
    reallocate(size_ + kReadChunkBytes);
  }
  std::size_t count = readSome_(buffer_.get() + size_, kReadChunkBytes);
  if (count > kReadChunkBytes) count = kReadChunkBytes;
  size_ += count;
  if (count == 0) ended_ = true;
}

}  // namespace zindle::server
