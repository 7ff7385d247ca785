// The bound on runs of marks, the same on every system.

#include "operations/unicode.hpp"

namespace zindle::operations::unicode {

std::u16string streamSafe(std::u16string text) {
  constexpr std::size_t kMaxRun = 30;
  std::u16string result;
  std::size_t copied = 0;
  std::size_t run = 0;
  for (std::size_t at = 0; at < text.size();) {
    const char32_t c = codePointAt(text, at);
    if (c < 0x300 || !isMark(c)) {
      run = 0;
    } else if (++run > kMaxRun) {
      result.append(text, copied, at - copied) += u'\u034F';
      copied = at;
      run = 1;
    }
    at += unitCount(c);
  }
  if (copied == 0) return text;
  return result.append(text, copied);
}

}  // namespace zindle::operations::unicode
