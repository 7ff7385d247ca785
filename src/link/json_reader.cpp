#include "link/json_reader.hpp"

#include <memory>
#include <string>
#include <vector>

#include <simdjson.h>

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

// One parser for the process, which reads one answer at a time: the
// namespace arrives at every call at about the same size, so its buffers
// are kept from one read to the next.
std::unique_ptr<simdjson::dom::parser>& sharedParser() {
  static std::unique_ptr<simdjson::dom::parser> parser;
  if (!parser) parser = std::make_unique<simdjson::dom::parser>();
  return parser;
}

// The root of `text`, or nothing when it is not one JSON text; a number
// simdjson cannot hold (an integer past 64 bits) is its own error. The
// element lives until the next parse.
simdjson::simdjson_result<element> parse(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(3);
  // JSON has no place for a raw NUL, in a string or between tokens; one
  // in a text ends it here, whichever parser would have read the rest.
  if (text.empty() || text.find('\0') != std::string_view::npos) {
    return simdjson::EMPTY;
  }
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

bool isEmpty(const object& members) { return members.begin() == members.end(); }

// The value of `value` as a Json value, or nothing when it holds more
// array elements and object members, at every depth, than `budget` has left
// (the budget is spent either way). Recursion is bounded by the parser's
// depth limit.
std::optional<Json> toJson(const element& value, std::size_t& budget) {
  switch (value.type()) {
    case element_type::ARRAY: {
      const array items = value.get_array().value_unsafe();
      Json result = Json::array();
      for (const element item : items) {
        std::optional<Json> converted;
        if (budget == 0 || !(converted = toJson(item, --budget))) {
          return std::nullopt;
        }
        result.push_back(std::move(*converted));
      }
      return result;
    }
    case element_type::OBJECT: {
      const object members = value.get_object().value_unsafe();
      Json result = Json::object();
      for (const auto [key, item] : members) {
        std::optional<Json> converted;
        if (budget == 0 || !(converted = toJson(item, --budget))) {
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
      break;
  }
  return nullptr;
}

template <typename Container, typename Predicate>
bool allOf(const Container& items, Predicate predicate) {
  for (const element item : items) {
    if (!predicate(item)) return false;
  }
  return true;
}

// The "/source" node with a value settles the sources list from its "RANGE":
// a usable range replaces the list, a malformed first object empties it, and
// a range that is missing or unusable leaves it as it was.
void settleSources(const object& node, std::vector<std::string>& sources) {
  array range;
  if (node["RANGE"].get_array().get(range) || range.begin() == range.end() ||
      !allOf(range, [](const element& e) { return e.is_object(); })) {
    return;
  }
  sources.clear();
  array titles;
  if ((*range.begin())
          .get_object()
          .value_unsafe()["VALS"]
          .get_array()
          .get(titles) ||
      !allOf(titles, [](const element& e) { return e.is_string(); })) {
    return;
  }
  for (const element title : titles) {
    sources.emplace_back(title.get_string().value_unsafe());
  }
}

// A node with a value, unless its value is too large for what is left of
// `budget`: such a node is left out, as a malformed one is, and what its
// value would have taken is left for the others.
void visit(const object& node, Reading& reading, std::size_t& budget) {
  std::string_view path;
  array value;
  if (node["FULL_PATH"].get_string().get(path) ||
      node["VALUE"].get_array().get(value) || value.begin() == value.end()) {
    return;
  }
  const std::size_t left = budget;
  std::optional<Json> first = toJson(*value.begin(), budget);
  if (!first) {
    budget = left;
    return;
  }
  reading.values.insert_or_assign(std::string(path), std::move(*first));
  if (path == kSourcePath) settleSources(node, reading.sources);
}

// Whether `text` nests arrays and objects deeper than kMaxJsonDepth. Only
// brackets outside strings count; whether the text is JSON at all is the
// parser's to say.
bool nestsTooDeep(std::string_view text) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;  // the escaped character cannot end the string
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxJsonDepth) return true;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return false;
}

// nlohmann's reading of `text`, for the one kind of text simdjson refuses
// and nlohmann reads: one holding an integer too large for 64 bits, which
// becomes a double. simdjson stops at that number, so the depth of what
// follows it is checked here.
std::optional<Json> parseLargeNumbers(std::string_view text) {
  if (nestsTooDeep(text)) return std::nullopt;
  Json value = Json::parse(text.begin(), text.end(), nullptr,
                           /*allow_exceptions=*/false);
  if (value.is_discarded() || !value.is_structured()) return std::nullopt;
  // The same budget as for any other text, counted the same way.
  std::size_t items = 0;
  std::vector<const Json*> pending{&value};
  while (!pending.empty()) {
    const Json* node = pending.back();
    pending.pop_back();
    if (!node->is_structured()) continue;
    items += node->size();
    if (items > kMaxJsonItems) return std::nullopt;
    for (const Json& child : *node) pending.push_back(&child);
  }
  return value;
}

}  // namespace

std::optional<Json> parseJson(std::string_view text) {
  element root;
  const simdjson::error_code error = parse(text).get(root);
  if (error == simdjson::NUMBER_ERROR) return parseLargeNumbers(text);
  if (error || !(root.is_object() || root.is_array())) return std::nullopt;
  std::size_t budget = kMaxJsonItems;
  return toJson(root, budget);
}

std::optional<RequestMembers> readRequest(std::string_view text) {
  RequestMembers request;
  // No text this short holds more than kMaxJsonItems items (each takes a
  // byte and a separator), so leaving the other members unread drops no
  // request that the item limit would drop.
  if (text.size() < 2 * kMaxJsonItems) {
    element root;
    const simdjson::error_code error = parse(text).get(root);
    if (!error) {
      object members;
      if (root.get_object().get(members)) return std::nullopt;
      std::optional<element> id, method, params;
      for (const auto [key, value] : members) {
        if (key == "id") id = value;
        if (key == "method") method = value;
        if (key == "params") params = value;
      }
      std::size_t budget = kMaxJsonItems;
      if (id) request.id = toJson(*id, budget);
      if (method && method->is_string()) {
        request.method = std::string(method->get_string().value_unsafe());
      }
      if (params && params->is_object()) {
        request.params = toJson(*params, budget);
      }
      return request;
    }
    if (error != simdjson::NUMBER_ERROR) return std::nullopt;
  }
  std::optional<Json> value = parseJson(text);
  if (!value || !value->is_object()) return std::nullopt;
  if (const auto id = value->find("id"); id != value->end()) {
    request.id = std::move(*id);
  }
  if (const auto method = value->find("method");
      method != value->end() && method->is_string()) {
    request.method = std::move(method->get_ref<std::string&>());
  }
  if (const auto params = value->find("params");
      params != value->end() && params->is_object()) {
    request.params = std::move(*params);
  }
  return request;
}

std::optional<std::int64_t> appOscPort(std::string_view body) {
  element root;
  object info;
  if (parse(body).get(root) || root.get_object().get(info) || isEmpty(info)) {
    return std::nullopt;
  }
  std::string_view name;
  if (info["NAME"].get_string().get(name) || name != kApplicationName) {
    return std::nullopt;
  }
  // Integers and reals alike (9000.0 counts) are judged as a double: exact
  // for every port, and a number too large to be exact is far out of range.
  double port = 0;
  if (info["OSC_PORT"].get_double().get(port) ||
      !(port >= static_cast<double>(kLowestPort) &&
        port <= static_cast<double>(kHighestPort)) ||
      static_cast<double>(static_cast<std::int64_t>(port)) != port) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(port);
}

bool readNamespace(std::string_view body, Reading& reading) {
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
    visit(node, reading, budget);
    object contents;
    if (!node["CONTENTS"].get_object().get(contents)) {
      open.push_back({contents.begin(), contents.end()});
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
