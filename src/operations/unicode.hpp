#pragma once
// The part of the text rules that each platform provides from its own
// Unicode services (unicode_apple.cpp, unicode_icu.cpp); the search built on
// it (text_rules.cpp), and the bound on runs of marks that both apply before
// normalizing (unicode.cpp), are the same everywhere.

#include <cstddef>
#include <string>
#include <string_view>

namespace zindle::operations::unicode {

// The code point that begins at `at`, a whole surrogate pair when there is
// one; at a lone surrogate, the unit itself (no mark). Past the last unit
// the string holds a zero, which ends no pair.
inline char32_t codePointAt(const std::u16string& text, std::size_t at) {
  const char32_t unit = text[at];
  if (unit >= 0xD800 && unit < 0xDC00 && text[at + 1] >= 0xDC00 &&
      text[at + 1] < 0xE000) {
    return 0x10000 + ((unit - 0xD800) << 10) + (text[at + 1] - 0xDC00);
  }
  return unit;
}

// How many UTF-16 units `c` takes.
inline std::size_t unitCount(char32_t c) { return c >= 0x10000 ? 2 : 1; }

// `text` as UTF-16, each byte sequence that is not UTF-8 read as U+FFFD
// (ICU: one for each maximal bad sequence; CoreFoundation: one for each bad
// byte). No lone surrogate comes out.
std::u16string utf16(std::string_view text);

// `text` case-folded and canonically decomposed, so that two texts equal but
// for case and for the form of their accents give the same units. `text` is
// to be streamSafe() already, which keeps the cost linear in its length.
// Throws as lowercased() does.
std::u16string foldedAndDecomposed(const std::u16string& text);

// Whether `c` is a combining mark (Unicode General Category M), which never
// begins a character.
bool isMark(char32_t c);

// `text` with U+034F COMBINING GRAPHEME JOINER put before the 31st mark of
// every run of more than 30, as Unicode's Stream-Safe Text Format does.
// Canonical ordering sorts each run of marks by insertion, a cost that grows
// with the square of the run; no written language puts 30 marks on one
// letter, so no real text changes. Applied to both texts of every
// comparison, on every platform, before normalizing.
inline std::u16string streamSafe(std::u16string text) {
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
