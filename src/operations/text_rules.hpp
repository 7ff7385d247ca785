#pragma once
// The text rules by which configure tells whether the app took a setting:
// Unicode lowercasing, equality and case-insensitive containment. On a Mac the
// Unicode rules are the system's own (CoreFoundation, unicode_apple.cpp), the
// services the app itself matches titles with; elsewhere ICU's
// (unicode_icu.cpp), which is loaded the first time a text is compared.
//
// The texts are UTF-8; both JSON readers refuse anything else, so no other
// bytes reach these rules. Should they, the rules do not fail: the search
// reads the bad bytes as U+FFFD; on a Mac such a text lowercases to itself
// and is equivalent to nothing else.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zindle::operations {

// `text` under the Unicode default lowercase mapping, whatever the process's
// locale: "ÉCRAN" gives "écran" and "İ" gives "i" + U+0307. Throws
// RecorderError::failed when the Unicode rules cannot run (ICU missing).
std::string lowercased(std::string_view text);

// Whether `a` and `b` are canonically equivalent, so a decomposed "é" equals
// a composed one. Past 30 marks on one letter, marks are reordered only
// within runs of 30, which keeps the time linear in the texts' lengths.
// Throws as lowercased() does, but never for equal bytes.
bool equivalent(std::string_view a, std::string_view b);

// A search for one needle in many haystacks, the needle prepared once: a
// title is looked for in every title the app offers. isFoundIn() tells
// whether `needle` occurs in `haystack` with letters compared regardless of
// case and canonically equivalent sequences equal, while accents and other
// marks count: "É" is found in "é", "cafe" is not found in "café", and "x" is
// not found in "x" + U+0301, because a match may neither begin nor end inside
// a character: not before a mark, a skin tone or another character that
// extends the one before it (U+200C), nor inside what folding or
// decomposition makes of one character ("s" is not found in "ß", nor "가" in
// "각"), nor between the letters of one Hangul syllable. A mark at the very
// start of both texts matches itself. Emoji joined by U+200D and flags side
// by side count as the characters they are made of, as in the Mac's own
// search. An empty needle is contained in nothing. The time taken grows with
// the lengths of the two texts added, never multiplied, whatever they hold:
// both are folded and decomposed by the platform's Unicode services, then
// searched once. Throws as lowercased() does.
class TextSearch {
 public:
  // Throws as lowercased() does.
  explicit TextSearch(std::string_view needle);
  // Throws as lowercased() does.
  bool isFoundIn(std::string_view haystack) const;

 private:
  std::u16string pattern_;  // folded and decomposed
  // For each length of a partial match, the length of its longest proper
  // suffix that is also a prefix of pattern_: where a failed match resumes.
  std::vector<std::size_t> fallback_;
};

}  // namespace zindle::operations
