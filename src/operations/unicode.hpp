#pragma once
// The part of the text rules that each platform provides from its own
// Unicode services (unicode_apple.cpp, unicode_icu.cpp); the search built on
// it is the same everywhere (text_rules.cpp).

#include <string>
#include <string_view>

namespace zindle::operations::unicode {

// `text` as UTF-16, case-folded and canonically decomposed, so that two
// texts equal but for case and for the form of their accents give the same
// units. Bytes that are not UTF-8 are read as described in text_rules.hpp.
// Throws as lowercased() does.
std::u16string foldedAndDecomposed(std::string_view text);

// Whether `c` is a combining mark (Unicode General Category M), which never
// begins a character.
bool isMark(char32_t c);

}  // namespace zindle::operations::unicode
