#include "link/json_text.hpp"

namespace zindle {
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

std::string prettyJson(const Json& value) {
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
