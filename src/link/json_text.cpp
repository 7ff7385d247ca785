#include "link/json_text.hpp"

namespace zindle {
namespace {

// Counts nesting outside strings, so that a hostile document is refused in
// one cheap pass before the parser allocates anything for it.
bool nestsTooDeep(std::string_view text) {
  std::size_t depth = 0;
  bool inString = false;
  bool escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    switch (c) {
      case '"':
        inString = true;
        break;
      case '[':
      case '{':
        if (++depth > kMaxJsonDepth) return true;
        break;
      case ']':
      case '}':
        // An unbalanced closer is a syntax error the parser will report.
        if (depth > 0) --depth;
        break;
      default:
        break;
    }
  }
  return false;
}

}  // namespace

std::optional<Json> parseJson(std::string_view text) {
  // The parser takes a NUL byte for the end of its input and would accept
  // whatever follows one; JSON text never holds a raw NUL.
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  if (nestsTooDeep(text)) return std::nullopt;
  // The parser validates UTF-8 inside strings and rejects any other
  // non-ASCII byte as a syntax error.
  Json value = Json::parse(text.begin(), text.end(), nullptr,
                           /*allow_exceptions=*/false);
  if (value.is_discarded() || !(value.is_object() || value.is_array())) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> compactJson(const Json& value) {
  try {
    return value.dump(-1, ' ', /*ensure_ascii=*/false,
                      Json::error_handler_t::strict);
  } catch (const Json::exception&) {
    // Only a string that is not valid UTF-8 makes the writer fail; the
    // caller drops such a message.
    return std::nullopt;
  }
}

std::string json(const Json& value) {
  try {
    // Objects keep their members in key order, so every level comes out
    // sorted.
    return value.dump(2, ' ', /*ensure_ascii=*/false,
                      Json::error_handler_t::strict);
  } catch (const Json::exception&) {
    return "{}";
  }
}

}  // namespace zindle
