#pragma once

// Small text helpers shared by the simulator's parsing and matching. Letters
// are compared by their ASCII case only: titles with other letters must then
// be given in their own case, which is enough for a stand-in.

#include <string>
#include <string_view>
#include <vector>

namespace zindle::sim {

// `text` with the ASCII letters A-Z turned into a-z.
std::string lowercased(std::string_view text);

// Whether `part` occurs in `text`, ignoring ASCII case. An empty `part`
// occurs in no text, as the app's title search treats it.
bool containsIgnoringCase(std::string_view text, std::string_view part);

// The pieces joined with `separator` between each two.
std::string joined(const std::vector<std::string>& pieces,
                   std::string_view separator);

}  // namespace zindle::sim
