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

const Json* memberOf(const Json& value, std::string_view key,
                     bool (Json::*isType)() const noexcept) {
  if (!value.is_object()) return nullptr;
  const auto found = value.find(key);
  if (found == value.end()) return nullptr;
  if (isType != nullptr && !((*found).*isType)()) return nullptr;
  return &*found;
}

std::string textMemberOf(const Json& value, std::string_view key) {
  const Json* text = memberOf(value, key, &Json::is_string);
  return text == nullptr ? std::string() : text->get<std::string>();
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
