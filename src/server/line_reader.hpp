#pragma once
// Splits a byte stream into lines, holding at most one line in memory.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

namespace zindle::server {

// Lines longer than this are skipped whole, as lines that do not parse are.
// A request holds a few settings; a mebibyte leaves room for any folder or
// title, and bounds what one line can cost.
inline constexpr std::size_t kMaxLineBytes = 1u << 20;

// How much the reader asks for at a time: large enough that a stream of
// small requests costs one read for hundreds of lines.
inline constexpr std::size_t kReadChunkBytes = 64u << 10;

// Reads up to `size` bytes into `buffer`; returns 0 at end of input.
using ReadSome = std::function<std::size_t(char* buffer, std::size_t size)>;

class LineReader {
 public:
  // `readSome` must stay callable for the reader's life. Lines longer than
  // `maxLine` bytes (the LF not counted) are reported as tooLong.
  explicit LineReader(ReadSome readSome, std::size_t maxLine = kMaxLineBytes);

  // The next line without its LF; a CR before the LF stays in the line, and
  // a last line without LF is still a line. A line longer than maxLine comes
  // back as `tooLong` with empty text: its bytes are dropped as they arrive,
  // so memory stays near maxLine whatever the input. Nothing at end of
  // input, and nothing on every later call. The view lives until the next
  // call. Throws only what `readSome` throws, and std::bad_alloc.
  struct Line {
    std::string_view text;
    bool tooLong = false;
  };
  std::optional<Line> next();

 private:
  // Hands out buffer_[start_, end) and moves past its LF at `end`.
  Line take(std::size_t end);
  // Reads the next chunk after the pending bytes; sets ended_ at the end.
  void fill();
  // Makes room for `capacity` bytes, keeping the `size_` bytes held.
  void reallocate(std::size_t capacity);

  ReadSome readSome_;
  std::size_t maxLine_;
  // Bytes read and not yet handed out are buffer_[0, size_). The rest of
  // the capacity is never cleared: read() fills what it uses, so the pages
  // of a chunk that small lines never reach are never touched.
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  std::size_t start_ = 0;    // where the next line begins in buffer_
  std::size_t scanned_ = 0;  // buffer_ before this holds no LF after start_
  bool skipping_ = false;    // the line in progress is too long: drop it
  bool ended_ = false;
};

}  // namespace zindle::server
