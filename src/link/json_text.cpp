#include "link/json_text.hpp"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace zindle {
namespace {

// A single-pass reader of JSON text into a Json value. It accepts exactly
// what nlohmann's parser accepts (RFC 8259, UTF-8 checked inside strings,
// an optional byte order mark first) and builds the same value, at several
// times its speed: the app's namespace is read at every tool call, and
// parsing it was half the cost of a status. It does not recurse, and refuses
// nesting deeper than kMaxJsonDepth.
class Reader {
 public:
  explicit Reader(std::string_view text)
      : at_(text.data()), end_(text.data() + text.size()) {}

  // The document, or nothing when the text is not exactly one JSON value.
  std::optional<Json> document();

 private:
  struct Open {
    Json* container;
    bool isObject;
  };

  bool atEnd() const { return at_ == end_; }
  void skipBlanks();
  bool consume(char expected);
  // The next member's key and colon; returns the slot its value goes to.
  Json* member(Json& object);
  bool scalar(Json& into);
  bool string(std::string& into);
  bool escape(std::string& into);
  bool hexQuad(std::uint32_t& value);
  bool utf8Sequence(std::string& into);
  bool number(Json& into);
  bool literal(std::string_view word);

  const char* at_;
  const char* end_;
};

// The bytes that stand for themselves inside a string: printable ASCII but
// the quote and the backslash.
constexpr bool isPlain(unsigned char c) {
  return c >= 0x20 && c < 0x80 && c != '"' && c != '\\';
}

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }

void appendUtf8(std::uint32_t code, std::string& into) {
  if (code < 0x80) {
    into.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    into.push_back(static_cast<char>(0xC0 | (code >> 6)));
    into.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    into.push_back(static_cast<char>(0xE0 | (code >> 12)));
    into.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    into.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    into.push_back(static_cast<char>(0xF0 | (code >> 18)));
    into.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    into.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    into.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

void Reader::skipBlanks() {
  while (at_ != end_ &&
         (*at_ == ' ' || *at_ == '\n' || *at_ == '\r' || *at_ == '\t')) {
    ++at_;
  }
}

bool Reader::consume(char expected) {
  skipBlanks();
  if (atEnd() || *at_ != expected) return false;
  ++at_;
  return true;
}

Json* Reader::member(Json& object) {
  std::string key;
  if (!consume('"') || !string(key) || !consume(':')) return nullptr;
  // A repeated key keeps its place and takes the later value.
  return &object[std::move(key)];
}

std::optional<Json> Reader::document() {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (std::string_view(at_, static_cast<std::size_t>(end_ - at_))
          .starts_with(kByteOrderMark)) {
    at_ += kByteOrderMark.size();
  }
  Json root;
  std::vector<Open> open;
  Json* slot = &root;  // where the next value goes
  for (;;) {
    skipBlanks();
    if (atEnd()) return std::nullopt;
    const char c = *at_;
    if (c == '{' || c == '[') {
      ++at_;
      if (open.size() == kMaxJsonDepth) return std::nullopt;
      const bool isObject = c == '{';
      *slot = isObject ? Json::object() : Json::array();
      open.push_back({slot, isObject});
      skipBlanks();
      if (!atEnd() && *at_ == (isObject ? '}' : ']')) {
        ++at_;
        open.pop_back();
      } else {
        slot = isObject ? member(*slot) : &slot->emplace_back();
        if (slot == nullptr) return std::nullopt;
        continue;
      }
    } else if (!scalar(*slot)) {
      return std::nullopt;
    }
    // A value is complete: close what it completes, then find the next slot.
    for (;;) {
      if (open.empty()) {
        skipBlanks();
        if (!atEnd()) return std::nullopt;
        return root;
      }
      const Open& top = open.back();
      skipBlanks();
      if (atEnd()) return std::nullopt;
      if (*at_ == ',') {
        ++at_;
        slot = top.isObject ? member(*top.container)
                            : &top.container->emplace_back();
        if (slot == nullptr) return std::nullopt;
        break;
      }
      if (*at_ != (top.isObject ? '}' : ']')) return std::nullopt;
      ++at_;
      open.pop_back();
    }
  }
}

bool Reader::scalar(Json& into) {
  switch (*at_) {
    case '"': {
      ++at_;
      std::string text;
      if (!string(text)) return false;
      into = std::move(text);
      return true;
    }
    case 't':
      into = true;
      return literal("true");
    case 'f':
      into = false;
      return literal("false");
    case 'n':
      into = nullptr;
      return literal("null");
    default:
      return number(into);
  }
}

bool Reader::literal(std::string_view word) {
  if (static_cast<std::size_t>(end_ - at_) < word.size() ||
      std::string_view(at_, word.size()) != word) {
    return false;
  }
  at_ += word.size();
  return true;
}

bool Reader::string(std::string& into) {
  for (;;) {
    const char* run = at_;
    while (at_ != end_ && isPlain(static_cast<unsigned char>(*at_))) ++at_;
    into.append(run, at_);
    if (atEnd()) return false;
    const auto c = static_cast<unsigned char>(*at_);
    if (c == '"') {
      ++at_;
      return true;
    }
    if (c == '\\') {
      if (!escape(into)) return false;
    } else if (c < 0x20 || !utf8Sequence(into)) {
      return false;  // a control character, or bytes that are not UTF-8
    }
  }
}

bool Reader::hexQuad(std::uint32_t& value) {
  if (end_ - at_ < 4) return false;
  value = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = *at_++;
    std::uint32_t digit = 0;
    if (isDigit(c)) {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return false;
    }
    value = value * 16 + digit;
  }
  return true;
}

bool Reader::escape(std::string& into) {
  ++at_;  // the backslash
  if (atEnd()) return false;
  const char c = *at_++;
  switch (c) {
    case '"':
    case '\\':
    case '/':
      into.push_back(c);
      return true;
    case 'b':
      into.push_back('\b');
      return true;
    case 'f':
      into.push_back('\f');
      return true;
    case 'n':
      into.push_back('\n');
      return true;
    case 'r':
      into.push_back('\r');
      return true;
    case 't':
      into.push_back('\t');
      return true;
    case 'u':
      break;
    default:
      return false;
  }
  std::uint32_t code = 0;
  if (!hexQuad(code)) return false;
  if (code >= 0xDC00 && code <= 0xDFFF) return false;  // a lone low half
  if (code >= 0xD800 && code <= 0xDBFF) {
    // A high half must be followed at once by an escaped low half.
    std::uint32_t low = 0;
    if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u') return false;
    at_ += 2;
    if (!hexQuad(low) || low < 0xDC00 || low > 0xDFFF) return false;
    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
  }
  appendUtf8(code, into);
  return true;
}

// One well-formed UTF-8 sequence of two to four bytes: no overlong forms, no
// surrogates, nothing past U+10FFFF.
bool Reader::utf8Sequence(std::string& into) {
  const auto lead = static_cast<unsigned char>(*at_);
  int continuations = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;  // the range of the first continuation byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuations = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuations = 2;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuations = 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return false;
  }
  if (end_ - at_ <= continuations) return false;
  for (int i = 1; i <= continuations; ++i) {
    const auto c = static_cast<unsigned char>(at_[i]);
    if (c < (i == 1 ? low : 0x80) || c > (i == 1 ? high : 0xBF)) return false;
  }
  into.append(at_, static_cast<std::size_t>(continuations) + 1);
  at_ += continuations + 1;
  return true;
}

bool Reader::number(Json& into) {
  const char* start = at_;
  const bool negative = *at_ == '-';
  if (negative) ++at_;
  const auto digits = [this] {
    const char* first = at_;
    while (at_ != end_ && isDigit(*at_)) ++at_;
    return at_ != first;
  };
  if (atEnd() || !isDigit(*at_)) return false;
  if (*at_ == '0') {
    ++at_;
  } else {
    digits();
  }
  bool whole = true;
  if (!atEnd() && *at_ == '.') {
    ++at_;
    whole = false;
    if (!digits()) return false;
  }
  if (!atEnd() && (*at_ == 'e' || *at_ == 'E')) {
    ++at_;
    whole = false;
    if (!atEnd() && (*at_ == '+' || *at_ == '-')) ++at_;
    if (!digits()) return false;
  }
  // The C library converts, as nlohmann's lexer does, so that every number
  // gets the very same value; it needs the token to end in a NUL.
  const std::string token(start, at_);
  char* stop = nullptr;
  if (whole) {
    errno = 0;
    if (negative) {
      const long long value = std::strtoll(token.c_str(), &stop, 10);
      if (errno == 0) {
        into = static_cast<std::int64_t>(value);
        return true;
      }
    } else {
      const unsigned long long value = std::strtoull(token.c_str(), &stop, 10);
      if (errno == 0) {
        into = static_cast<std::uint64_t>(value);
        return true;
      }
    }
    // Too large for 64 bits: taken as a double, as nlohmann does.
  }
  const double value = std::strtod(token.c_str(), &stop);
  if (!std::isfinite(value)) return false;  // past the range of a double
  into = value;
  return true;
}

}  // namespace

std::optional<Json> parseJson(std::string_view text) {
  std::optional<Json> value = Reader(text).document();
  if (!value || !(value->is_object() || value->is_array())) return std::nullopt;
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
