#pragma once
// The text rules by which configure tells whether the app took a setting:
// Unicode lowercasing, equality and case-insensitive containment, and the
// tilde expansion of the folder it sends.

#include <string>
#include <string_view>

namespace zindle::operations {

// `text` under the Unicode default lowercase mapping of the root locale, so
// "ÉCRAN" gives "écran" and "İ" gives "i" + U+0307, whatever the process's
// locale. A byte sequence that is not UTF-8 comes out as U+FFFD. Never
// throws but std::bad_alloc.
std::string lowercased(std::string_view text);

// Whether `a` and `b` are canonically equivalent: equal once both are in
// Normalization Form D, so a decomposed "é" equals a composed one.
bool equivalent(std::string_view a, std::string_view b);

// Whether `needle` occurs in `haystack` with letters compared regardless of
// case (full case folding) and canonically equivalent sequences equal, while
// accents and other marks count: "É" is found in "é", "cafe" is not found in
// "café", and "x" is not found in "x" + U+0301, because a match may neither
// begin nor end inside a run of combining marks. An empty needle is
// contained in nothing.
bool containsIgnoringCase(std::string_view haystack, std::string_view needle);

// `path` with a leading tilde expanded: "~" and "~/…" to the current user's
// home folder ($HOME when set and not empty, else the password database),
// "~name" and "~name/…" to that user's home folder. A user that does not
// exist, a home folder that cannot be found, and every other path leave
// `path` unchanged.
std::string expandTilde(std::string_view path);

}  // namespace zindle::operations
