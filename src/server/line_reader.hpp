#pragma once
// Splits a byte stream into lines, holding at most one line in memory.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zindle::server {

// Lines longer than this are skipped whole, as lines that do not parse are.
inline constexpr std::size_t kMaxLineBytes = 16u << 20;

// Reads up to `size` bytes into `buffer`; returns 0 at end of input.
using ReadSome = std::function<std::size_t(char* buffer, std::size_t size)>;

class LineReader {
 public:
  // `readSome` must stay callable for the reader's life.
  explicit LineReader(ReadSome readSome, std::size_t maxLine = kMaxLineBytes);

  // The next line without its LF; a last line without LF is still a line.
  // A line longer than maxLine comes back as `tooLong` (its bytes are
  // dropped as they arrive). Nothing at end of input. The view lives until
  // the next call.
  struct Line {
    std::string_view text;
    bool tooLong = false;
  };
  std::optional<Line> next();

 private:
  ReadSome readSome_;
  std::size_t maxLine_;
  std::string buffer_;     // bytes read and not yet handed out
  std::size_t start_ = 0;  // where the next line begins in buffer_
  bool ended_ = false;
};

}  // namespace zindle::server
