#pragma once
// The numbers of a JSON text that simdjson cannot hold, written as numbers it
// can, so that the reader gives what nlohmann's parser would give.

#include <optional>
#include <string>
#include <string_view>

namespace zindle::link {

// `text` with each JSON number outside strings that may lie beyond what
// simdjson holds (a whole part of 19 digits or more, or an exponent of 3
// digits or more) written as nlohmann reads it: an integer past 64 bits, or
// any such number with a fraction or an exponent, as its nearest double in
// the shortest text that gives that double back; one past the range of a
// double, which nlohmann refuses, as null. An integer within 64 bits, and
// anything that is no JSON number ("01", "1.", "1e"), is left as it is:
// whether the text is JSON at all is the parser's to say. Nothing when no
// number is rewritten. Linear in the length of `text`. Throws nothing but
// std::bad_alloc.
std::optional<std::string> withReadableNumbers(std::string_view text);

}  // namespace zindle::link
