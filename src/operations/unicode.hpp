#pragma once
// The part of the text rules that each platform provides from its own
// Unicode services (unicode_apple.cpp, unicode_icu.cpp); the search built on
// it, and the bound on runs of marks that both apply before normalizing, are
// the same everywhere (text_rules.cpp).

#include <string>
#include <string_view>

namespace zindle::operations::unicode {

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
std::u16string streamSafe(std::u16string text);

}  // namespace zindle::operations::unicode
