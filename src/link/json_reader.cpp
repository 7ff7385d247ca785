#include "link/json_reader.hpp"

#include <array>
#include <charconv>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <simdjson.h>

#include "link/json_numbers.hpp"
#include "link/ports.hpp"
#include "link/recorder.hpp"

namespace zindle::link {
namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kSourcePath = "/source";
// A parser keeps buffers sized for the largest answer it has read; past
// this, they are given back rather than kept for the next answer.
constexpr std::size_t kKeptCapacity = 1u << 20;
// What a request line may turn into: all of it. Its length is what bounds
// it (server::kMaxLineBytes), and simdjson its depth.
constexpr std::size_t kWholeText = std::numeric_limits<std::size_t>::max();

// One parser for the process, which reads one answer at a time: the
// namespace arrives at every call at about the same size, so its buffers
// are kept from one read to the next.
std::unique_ptr<simdjson::dom::parser>& sharedParser() {
  static std::unique_ptr<simdjson::dom::parser> parser;
  if (!parser) parser = std::make_unique<simdjson::dom::parser>();
  return parser;
}

std::string_view withoutByteOrderMark(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(3);
  return text;
}

simdjson::simdjson_result<element> parseAsIs(std::string_view text) {
  std::unique_ptr<simdjson::dom::parser>& parser = sharedParser();
  // The buffers of a large text go once a usual one follows it.
  if (parser->capacity() > kKeptCapacity && text.size() <= kKeptCapacity) {
    parser = std::make_unique<simdjson::dom::parser>();
  }
  if ((parser->capacity() < text.size() ||
       parser->max_depth() != kMaxJsonDepth) &&
      parser->allocate(text.size(), kMaxJsonDepth) != simdjson::SUCCESS) {
    throw std::bad_alloc();
  }
  // Copied into the parser's own padded buffer: simdjson reads past the
  // end of the text.
  return parser->parse(text.data(), text.size(), true);
}

// The root of `text`, or nothing when it is not one JSON text. A number
// simdjson cannot hold is read as withReadableNumbers() writes it: whichever
// error a version of simdjson gives for it, a text that fails is looked
// over for such numbers once. The element lives until the next parse.
simdjson::simdjson_result<element> parse(std::string_view text) {
  text = withoutByteOrderMark(text);
  // An empty view may have no bytes at all to copy from.
  if (text.empty()) return simdjson::EMPTY;
  simdjson::simdjson_result<element> root = parseAsIs(text);
  if (root.error() == simdjson::SUCCESS) return root;
  const std::optional<std::string> readable = withReadableNumbers(text);
  return readable ? parseAsIs(*readable) : root;
}

// The last member named by each of `keys` in `members`, so that of repeated
// keys the last counts, as in every object nlohmann reads.
template <std::size_t N>
std::array<std::optional<element>, N> lastMembers(
    const object& members, const std::array<std::string_view, N>& keys) {
  std::array<std::optional<element>, N> found;
  for (const auto [key, value] : members) {
    for (std::size_t k = 0; k < N; ++k) {
      if (key == keys[k]) found[k] = value;
    }
  }
  return found;
}

// The value of `value` as a Json value, or nothing when it holds more
// array elements and object members, at every depth, than `budget` has left
// (the budget is spent either way), or nests more than `levels` arrays and
// objects. Recursion is bounded by the parser's depth limit.
std::optional<Json> toJson(const element& value, std::size_t& budget,
                           std::size_t levels) {
  switch (value.type()) {
    case element_type::ARRAY: {
      if (levels == 0) return std::nullopt;
      Json result = Json::array();
      const array items = value.get_array().value_unsafe();
      for (const element item : items) {
        std::optional<Json> converted;
        if (budget == 0 || !(converted = toJson(item, --budget, levels - 1))) {
          return std::nullopt;
        }
        result.push_back(std::move(*converted));
      }
      return result;
    }
    case element_type::OBJECT: {
      if (levels == 0) return std::nullopt;
      Json result = Json::object();
      const object members = value.get_object().value_unsafe();
      for (const auto [key, item] : members) {
        std::optional<Json> converted;
        if (budget == 0 || !(converted = toJson(item, --budget, levels - 1))) {
          return std::nullopt;
        }
        result[std::string(key)] = std::move(*converted);  // the last counts
      }
      return result;
    }
    case element_type::INT64: {
      // Unsigned unless negative, as nlohmann reads whole numbers.
      const std::int64_t number = value.get_int64().value_unsafe();
      if (number >= 0) return static_cast<std::uint64_t>(number);
      return number;
    }
    case element_type::UINT64:
      return value.get_uint64().value_unsafe();
    case element_type::DOUBLE:
      return value.get_double().value_unsafe();
    case element_type::STRING:
      return std::string(value.get_string().value_unsafe());
    case element_type::BOOL:
      return value.get_bool().value_unsafe();
    case element_type::NULL_VALUE:
    default:  // the newest simdjson's big integers, made only on request
      break;
  }
  return nullptr;
}

Json wholeJson(const element& value) {
  std::size_t budget = kWholeText;
  return toJson(value, budget, kMaxJsonDepth).value_or(nullptr);
}

// The text of the top-level member "id" (the last one) of the object on
// `text`, as the client wrote it, blanks after it left out; nothing when
// there is none. Only for a scalar: simdjson's On-Demand reader keeps the
// position of each token, and reads no number it is not asked to.
std::optional<std::string> writtenId(std::string_view text) {
  simdjson::ondemand::parser parser;
  const simdjson::padded_string padded(withoutByteOrderMark(text));
  simdjson::ondemand::document document;
  simdjson::ondemand::object members;
  if (parser.iterate(padded).get(document) ||
      document.get_object().get(members)) {
    return std::nullopt;
  }
  std::optional<std::string_view> written;
  for (auto member : members) {
    std::string_view key;
    std::string_view token;
    if (member.unescaped_key().get(key)) return std::nullopt;
    if (key != "id") continue;
    if (member.value().raw_json_token().get(token)) return std::nullopt;
    written = token.substr(0, token.find_last_not_of(" \t\r\n") + 1);
  }
  if (!written) return std::nullopt;
  return std::string(*written);
}

// The id as the response writes it: whole numbers, which nearly every
// client sends, directly (the general writer costs more than the rest of
// answering a ping); other numbers as their own text, which no number type
// keeps ("1e2", "-0", "18446744073709551616", "1e400", read as null).
std::string idText(const element& id, std::string_view text) {
  char digits[24];
  std::to_chars_result written{};
  switch (id.type()) {
    case element_type::INT64:
      if (id.get_int64().value_unsafe() == 0) break;  // "0" or "-0"
      written = std::to_chars(digits, digits + sizeof digits,
                              id.get_int64().value_unsafe());
      return std::string(digits, written.ptr);
    case element_type::UINT64:
      written = std::to_chars(digits, digits + sizeof digits,
                              id.get_uint64().value_unsafe());
      return std::string(digits, written.ptr);
    case element_type::DOUBLE:
    case element_type::NULL_VALUE:
      break;
    default:
      // Read from a request, so it can always be written.
      return compactJson(wholeJson(id)).value_or("null");
  }
  return writtenId(text).value_or(compactJson(wholeJson(id)).value_or("null"));
}

template <typename Container, typename Predicate>
bool allOf(const Container& items, Predicate predicate) {
  for (const element item : items) {
    if (!predicate(item)) return false;
  }
  return true;
}

// What the "RANGE" of the "/source" node makes of the sources list: a
// usable range replaces the list with the "VALS" of its first object, a
// malformed first object empties it, and a range that is missing or
// unusable leaves it as it was.
enum class Settling { keep, clear, replace };

Settling settlingOf(const std::optional<element>& range, array& titles) {
  array objects;
  if (!range || range->get_array().get(objects) ||
      objects.begin() == objects.end() ||
      !allOf(objects, [](const element& e) { return e.is_object(); })) {
    return Settling::keep;
  }
  const object first = (*objects.begin()).get_object().value_unsafe();
  const auto [vals] = lastMembers<1>(first, {"VALS"});
  if (!vals || vals->get_array().get(titles) ||
      !allOf(titles, [](const element& e) { return e.is_string(); })) {
    return Settling::clear;
  }
  return Settling::replace;
}

// A node with a value, unless what it keeps (itself, the items of its
// value, and for "/source" each title) is more than `budget` has left, or
// its value nests too deep: such a node is left out, as a malformed one is,
// and what it would have taken is left for the others.
void visit(const std::optional<element>& fullPath,
           const std::optional<element>& values,
           const std::optional<element>& range, NamespaceSnapshot& reading,
           std::size_t& budget) {
  std::string_view path;
  array value;
  if (!fullPath || fullPath->get_string().get(path) || !values ||
      values->get_array().get(value) || value.begin() == value.end() ||
      budget == 0) {
    return;
  }
  std::size_t left = budget - 1;
  std::optional<Json> first = toJson(*value.begin(), left, kMaxValueDepth);
  if (!first) return;
  array titles;
  const Settling settling =
      path == kSourcePath ? settlingOf(range, titles) : Settling::keep;
  if (settling == Settling::replace) {
    // The count is exact below 2^24, far above any budget.
    if (titles.size() > left) return;
    left -= titles.size();
  }
  budget = left;
  reading.values.insert_or_assign(std::string(path), std::move(*first));
  if (settling == Settling::keep) return;
  reading.sources.clear();
  if (settling == Settling::clear) return;
  for (const element title : titles) {
    reading.sources.emplace_back(title.get_string().value_unsafe());
  }
}

}  // namespace

std::optional<Json> parseJson(std::string_view text) {
  element root;
  if (parse(text).get(root) || !(root.is_object() || root.is_array())) {
    return std::nullopt;
  }
  return wholeJson(root);
}

std::optional<RequestMembers> readRequest(std::string_view text) {
  element root;
  object members;
  if (parse(text).get(root) || root.get_object().get(members)) {
    return std::nullopt;
  }
  const auto [id, method, params] =
      lastMembers<3>(members, {"id", "method", "params"});
  RequestMembers request;
  if (id) request.id = idText(*id, text);
  if (method && method->is_string()) {
    request.method = std::string(method->get_string().value_unsafe());
  }
  if (params && params->is_object()) request.params = wholeJson(*params);
  return request;
}

std::optional<std::int64_t> appOscPort(std::string_view body) {
  element root;
  object info;
  if (parse(body).get(root) || root.get_object().get(info)) {
    return std::nullopt;
  }
  const auto [name, oscPort] = lastMembers<2>(info, {"NAME", "OSC_PORT"});
  std::string_view text;
  if (!name || name->get_string().get(text) || text != kApplicationName) {
    return std::nullopt;
  }
  // Integers and reals alike (9000.0 counts) are judged as a double: exact
  // for every port, and a number too large to be exact is far out of range.
  double port = 0;
  if (!oscPort || oscPort->get_double().get(port) ||
      !(port >= static_cast<double>(kLowestPort) &&
        port <= static_cast<double>(kHighestPort)) ||
      static_cast<double>(static_cast<std::int64_t>(port)) != port) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(port);
}

bool readNamespace(std::string_view body, NamespaceSnapshot& reading) {
  element root;
  object top;
  if (parse(body).get(root) || root.get_object().get(top)) return false;
  // Depth first, in the document's order, on a stack of the "CONTENTS"
  // being gone through rather than by recursion; it is no deeper than the
  // document.
  struct Contents {
    object::iterator next;
    object::iterator end;
  };
  std::vector<Contents> open;
  std::size_t budget = kMaxJsonItems;
  const auto enter = [&](const object& node) {
    const auto [fullPath, value, range, contents] =
        lastMembers<4>(node, {"FULL_PATH", "VALUE", "RANGE", "CONTENTS"});
    visit(fullPath, value, range, reading, budget);
    object members;
    if (contents && !contents->get_object().get(members)) {
      open.push_back({members.begin(), members.end()});
    }
  };
  enter(top);
  while (!open.empty()) {
    Contents& innermost = open.back();
    if (innermost.next == innermost.end) {
      open.pop_back();
      continue;
    }
    const element child = (*innermost.next).value;
    ++innermost.next;
    object node;
    if (!child.get_object().get(node)) enter(node);
  }
  return true;
}

}  // namespace zindle::link
