#pragma once
// The golden files: bytes that must never change, kept as data in
// tests/golden and compared as they are.

#include <fstream>
#include <sstream>
#include <string>

namespace zindle::testing {

// The contents of tests/golden/`name`, with `placeholder` (when given)
// replaced by `value`.
inline std::string golden(const std::string& name,
                          const std::string& placeholder = "",
                          const std::string& value = "") {
  std::ifstream file(std::string(ZINDLE_GOLDEN_DIR) + "/" + name);
  std::stringstream contents;
  contents << file.rdbuf();
  std::string text = contents.str();
  if (!placeholder.empty()) {
    text.replace(text.find(placeholder), placeholder.size(), value);
  }
  return text;
}

}  // namespace zindle::testing
