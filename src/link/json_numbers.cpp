#include "link/json_numbers.hpp"

#include <algorithm>

#include "link/json_text.hpp"

namespace zindle::link {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isNumberByte(char c) {
  return isDigit(c) || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Whether `number` is a JSON number that may lie beyond what simdjson holds:
// one with a whole part of 19 digits or more, or an exponent of 3 digits or
// more. Any other, and what is no JSON number, is left to the parser.
bool mayLeaveTheRange(std::string_view number) {
  // Each takes what `number` begins with: a run of digits (their count), or
  // one of `signs` (whether it was there).
  const auto digits = [&number] {
    const auto count = static_cast<std::size_t>(
        std::find_if_not(number.begin(), number.end(), isDigit) -
        number.begin());
    number.remove_prefix(count);
    return count;
  };
  const auto oneOf = [&number](std::string_view signs) {
    const bool found =
        !number.empty() && signs.find(number.front()) != std::string_view::npos;
    if (found) number.remove_prefix(1);
    return found;
  };
  oneOf("-");
  const bool leadingZero = number.starts_with('0');
  const std::size_t whole = digits();
  if (whole == 0 || (leadingZero && whole > 1)) return false;
  if (oneOf(".") && digits() == 0) return false;
  std::size_t exponent = 0;
  if (oneOf("eE")) {
    oneOf("+-");
    if ((exponent = digits()) == 0) return false;
  }
  return number.empty() && (whole >= 19 || exponent >= 3);
}

// The JSON number `number` as simdjson can hold it, when it may not hold it
// as it is: a double as nlohmann reads it; a number past the range of a
// double, which neither holds, as null. Nothing when it stays as it is. Any
// double is rewritten, not only an integer past 64 bits: simdjson stops
// counting an exponent at 65,536, so that 655,360 ones followed by
// "e-655360", about 0.11, would be refused.
std::optional<std::string> readableNumber(std::string_view number) {
  if (!mayLeaveTheRange(number)) return std::nullopt;
  // Of a JSON number, nlohmann refuses only one too large for a double.
  const Json value = Json::parse(number.begin(), number.end(), nullptr,
                                 /*allow_exceptions=*/false);
  if (value.is_discarded()) return "null";
  if (value.is_number_float()) return value.dump();
  return std::nullopt;
}

}  // namespace

std::optional<std::string> withReadableNumbers(std::string_view text) {
  std::string result;
  std::size_t copied = 0;  // text before this is in result
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;  // the escaped character cannot end the string
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    if (c == '"') inString = true;
    if (c != '-' && !isDigit(c)) continue;
    const std::size_t end = static_cast<std::size_t>(
        std::find_if_not(text.begin() + i + 1, text.end(), isNumberByte) -
        text.begin());
    const std::string_view number = text.substr(i, end - i);
    if (const std::optional<std::string> readable = readableNumber(number)) {
      result.append(text.substr(copied, i - copied)).append(*readable);
      copied = end;
    }
    i = end - 1;
  }
  if (copied == 0) return std::nullopt;
  return result.append(text.substr(copied));
}

}  // namespace zindle::link
