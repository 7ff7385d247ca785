#pragma once

// Small text helpers shared by the simulator's parsing and matching. Titles
// and choices are matched as the app matches them, by Unicode's rules: case
// is ignored by full case folding, canonically equivalent sequences are equal,
// and accents count.

#include <string>
#include <string_view>
#include <vector>

namespace zindle::sim {

// `text` under Unicode's default lowercase mapping ("ÉCRAN" gives "écran").
std::string lowercased(std::string_view text);

// Whether `part` occurs in `text` ignoring case: "écran" occurs in "Écran
// Principal", "cafe" does not occur in "café", and a match may not begin or
// end between a letter and its accents. An empty `part` occurs in no text,
// as the app's title search treats it.
bool containsIgnoringCase(std::string_view text, std::string_view part);

// The pieces joined with `separator` between each two.
std::string joined(const std::vector<std::string>& pieces,
                   std::string_view separator);

}  // namespace zindle::sim
