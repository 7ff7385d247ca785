// The rules that are the same on every system: the search for one text in
// another, on the folded and decomposed texts that each platform makes
// (unicode_apple.cpp, unicode_icu.cpp). The folder's tilde expansion is
// path_expansion.cpp's.

#include "operations/text_rules.hpp"

#include <optional>
#include <vector>

#include "operations/unicode.hpp"

namespace zindle::operations {
namespace {

// Whether `c` belongs to the character before it, as the Mac's own search
// has it: a mark; a skin tone; or one of the few other characters Unicode
// counts as extending (Grapheme_Extend) but not as marks: the zero-width
// non-joiner, the halfwidth sound marks of katakana, the tags that spell
// the flag of a region.
//
// Neither marks nor these lie below U+0300: asking the platform about every
// letter of a long title would cost more than the search.
bool extendsCharacter(char32_t c) {
  return c >= 0x300 && ((c >= 0x1F3FB && c <= 0x1F3FF) || c == 0x200C ||
                        (c >= 0xFF9E && c <= 0xFF9F) ||
                        (c >= 0xE0020 && c <= 0xE007F) || unicode::isMark(c));
}

// The Hangul letters (jamo) that spell a syllable: leading consonants,
// vowels, trailing consonants. A syllable decomposes into these, and the
// Mac's own search joins these alone: the jamo added since (U+11FA to
// U+11FF, U+A960 on, U+D7B0 on) spell no syllable there.
enum class Jamo { none, leading, vowel, trailing };

Jamo jamoOf(char32_t c) {
  if (c < 0x1100 || c > 0x11F9) return Jamo::none;
  if (c < 0x1160) return Jamo::leading;
  if (c < 0x11A8) return Jamo::vowel;
  return Jamo::trailing;
}

// Whether `after` continues the syllable that `before` is part of.
bool spellOneSyllable(char32_t before, char32_t after) {
  const Jamo first = jamoOf(before);
  const Jamo second = jamoOf(after);
  switch (first) {
    case Jamo::leading:
      return second == Jamo::leading || second == Jamo::vowel;
    case Jamo::vowel:
      return second == Jamo::vowel || second == Jamo::trailing;
    case Jamo::trailing:
      return second == Jamo::trailing;
    case Jamo::none:
      break;
  }
  return false;
}

// Separates the characters folded one by one; no character folds into it.
constexpr char16_t kSeparator = u'\u0001';

// A text as the search compares it: folded and decomposed.
std::u16string foldedUnits(const std::u16string& source) {
  return unicode::foldedAndDecomposed(unicode::streamSafe(source));
}

// A text folded and decomposed, and where in it a character of the text
// begins, the only places a match may begin or end: not on a mark, not
// inside what one character folds into ("ss" from U+00DF, "ffi" from
// U+FB03, the letters of a Hangul syllable). The platform's own search draws
// the same lines.
struct FoldedText {
  std::u16string units;
  // One more than units: the end. Bytes, not bits: a title's every unit is
  // set here, and bits made that cost more than the search.
  std::vector<unsigned char> beginsCharacter;
};

FoldedText foldedText(std::string_view text) {
  const std::u16string source = unicode::streamSafe(unicode::utf16(text));
  FoldedText result{unicode::foldedAndDecomposed(source), {}};
  const std::u16string& units = result.units;
  // Folding and decomposing take each character alone, then sort marks
  // among marks. So the letters (everything but marks) that the whole text
  // folds into come in the order of the characters they come from, as many
  // from each as it gives alone; the first from a letter begins a character.
  // ASCII gives itself or its lowercase; the rest is folded once, together,
  // each character apart.
  std::u16string alone;
  for (std::size_t at = 0; at < source.size();) {
    const char32_t c = unicode::codePointAt(source, at);
    if (c >= 0x80)
      alone.append(source, at, unicode::unitCount(c)) += kSeparator;
    at += unicode::unitCount(c);
  }
  // In ASCII every letter is a character.
  result.beginsCharacter.assign(units.size() + 1, alone.empty());
  if (alone.empty()) return result;
  result.beginsCharacter.front() = true;
  result.beginsCharacter.back() = true;
  const std::u16string aloneFolded = unicode::foldedAndDecomposed(alone);
  std::size_t aloneAt = 0;
  std::size_t out = 0;
  for (std::size_t at = 0; at < source.size();) {
    const char32_t c = unicode::codePointAt(source, at);
    at += unicode::unitCount(c);
    std::size_t letters = 1;
    if (c >= 0x80) {
      letters = 0;
      while (aloneAt < aloneFolded.size() &&
             aloneFolded[aloneAt] != kSeparator) {
        const char32_t part = unicode::codePointAt(aloneFolded, aloneAt);
        if (!extendsCharacter(part)) ++letters;
        aloneAt += unicode::unitCount(part);
      }
      ++aloneAt;
    }
    for (std::size_t letter = 0; letter < letters; ++letter) {
      while (out < units.size() && units[out] >= 0x300 &&
             extendsCharacter(unicode::codePointAt(units, out))) {
        out += unicode::unitCount(unicode::codePointAt(units, out));
      }
      if (out == units.size()) break;
      const char32_t folded = unicode::codePointAt(units, out);
      result.beginsCharacter[out] =
          letter == 0 && !extendsCharacter(c) &&
          (out == 0 || !spellOneSyllable(units[out - 1], folded));
      out += unicode::unitCount(folded);
    }
  }
  return result;
}

}  // namespace

// Knuth, Morris and Pratt's search: each unit of the haystack is looked at a
// bounded number of times on average, so a title of a million "a"s and a
// needle of thousands cost no more than their lengths, where searching anew
// from every position multiplied the two. Every match is found, so that one
// cut off by a mark does not hide a later one that is not.
TextSearch::TextSearch(std::string_view needle)
    : pattern_(needle.empty() ? std::u16string()
                              : foldedUnits(unicode::utf16(needle))),
      fallback_(pattern_.size() + 1, 0) {
  for (std::size_t length = 2; length <= pattern_.size(); ++length) {
    std::size_t border = fallback_[length - 1];
    while (border > 0 && pattern_[border] != pattern_[length - 1]) {
      border = fallback_[border];
    }
    if (pattern_[border] == pattern_[length - 1]) ++border;
    fallback_[length] = border;
  }
}

bool TextSearch::isFoundIn(std::string_view haystack) const {
  if (pattern_.empty()) return false;
  const FoldedText folded = foldedText(haystack);
  const std::u16string& text = folded.units;
  std::size_t matched = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    while (matched > 0 && pattern_[matched] != text[at]) {
      matched = fallback_[matched];
    }
    if (pattern_[matched] == text[at]) ++matched;
    if (matched < pattern_.size()) continue;
    // at() rather than []: a match said to begin before the text would be
    // a fault of the search, thrown rather than read from outside it.
    if (folded.beginsCharacter.at(at + 1 - matched) &&
        folded.beginsCharacter[at + 1]) {
      return true;
    }
    matched = fallback_[matched];
  }
  return false;
}

}  // namespace zindle::operations
