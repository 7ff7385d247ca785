#pragma once
// Checks of our readers and writers against implementations we did not
// write: nlohmann's parser for the JSON we read, liblo for the OSC we send.
// The unit tests run them over random values, the fuzz targets over any
// bytes.

#include <lo/lo.h>

#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "link/json_reader.hpp"
#include "link/osc.hpp"

namespace zindle::testing {

// Whether `text` reads as nlohmann reads it: the same value, or nothing
// where it gives none or a scalar. For texts nested less deeply than
// link::kMaxJsonDepth; numbers past a double's range are not compared.
inline bool readsAsNlohmann(std::string_view text) {
  // nlohmann takes a NUL byte for the end of its input; in JSON a NUL is
  // wrong in a string and out of one.
  if (text.find('\0') != std::string_view::npos) return !link::parseJson(text);
  Json theirs;
  try {
    theirs = Json::parse(text);
  } catch (const Json::out_of_range&) {
    return true;  // a number past a double's range, which nlohmann refuses
  } catch (const Json::parse_error&) {
    return !link::parseJson(text);
  }
  const std::optional<Json> ours = link::parseJson(text);
  if (!theirs.is_structured()) return !ours;
  return ours && ours->dump() == theirs.dump();
}

// Whether the members readRequest gives are those of the whole value
// parseJson gives: the id's text read back is the id, the method a string,
// the params an object.
inline bool readsRequestAsAWhole(std::string_view line) {
  const auto members = link::readRequest(line);
  const std::optional<Json> whole = link::parseJson(line);
  if (!whole || !whole->is_object()) return !members;
  const Json method = whole->value("method", Json());
  const Json params = whole->value("params", Json());
  const std::optional<Json> id = members && members->id
                                     ? link::parseJson("[" + *members->id + "]")
                                     : Json::array({"absent"});
  return members && id && id->at(0) == whole->value("id", Json("absent")) &&
         Json(members->method.value_or("-")) ==
             (method.is_string() ? method : Json("-")) &&
         members->params.value_or(nullptr) ==
             (params.is_object() ? params : Json());
}

// Whether liblo decodes the bytes we encode for `address` and `arguments`
// into the same address and arguments, a float bit for bit (NaN included).
// Texts without zero bytes: the encoder cuts a text at its first one.
inline bool decodesAsSent(const std::string& address,
                          const std::vector<link::OscArgument>& arguments) {
  std::string bytes = link::encodeOscMessage(address, arguments);
  int result = 0;
  lo_message message =
      lo_message_deserialise(bytes.data(), bytes.size(), &result);
  bool same = bytes.size() % 4 == 0 && message != nullptr &&
              address == lo_get_path(bytes.data(), std::ssize(bytes)) &&
              lo_message_get_argc(message) == std::ssize(arguments);
  const char* types = same ? lo_message_get_types(message) : "";
  for (std::size_t i = 0; same && i < arguments.size(); ++i) {
    // liblo leaves its array of values, and the values, 4-byte aligned
    // only: copied out.
    const char* value = nullptr;
    std::memcpy(&value, lo_message_get_argv(message) + i, sizeof value);
    same = std::visit(
        [&](const auto& given) {
          using T = std::decay_t<decltype(given)>;
          if constexpr (std::is_same_v<T, std::string>) {
            return types[i] == 's' && given == value;
          } else {
            return types[i] == (std::is_same_v<T, float> ? 'f' : 'i') &&
                   std::memcmp(&given, value, sizeof given) == 0;
          }
        },
        arguments[i]);
  }
  if (message != nullptr) lo_message_free(message);
  return same;
}

}  // namespace zindle::testing
