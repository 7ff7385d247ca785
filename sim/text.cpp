#include "sim/text.hpp"

#include <algorithm>

namespace zindle::sim {

std::string lowercased(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return result;
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
  if (part.empty()) return false;
  return lowercased(text).find(lowercased(part)) != std::string::npos;
}

std::string joined(const std::vector<std::string>& pieces,
                   std::string_view separator) {
  std::string result;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) result += separator;
    result += pieces[i];
  }
  return result;
}

}  // namespace zindle::sim
