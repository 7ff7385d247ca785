#pragma once
// Random JSON texts for the property checks: a fixed seed gives the same
// texts on every run, so a failure can be run again.

#include <random>
#include <string>

namespace zindle::testing {

class RandomJson {
 public:
  explicit RandomJson(unsigned seed) : random_(seed) {}

  // One JSON text up to `depth` levels deep, with blanks between tokens,
  // repeated keys, escapes, UTF-8 and numbers of every length (past 64 bits
  // too, and with exponents of three digits), each within a double's range.
  std::string text(int depth = 4) {
    std::string out = blanks();
    if (depth > 0 && below(2) == 0) {
      const bool isObject = below(2) == 0;
      out += isObject ? '{' : '[';
      for (int i = 0, n = below(5); i < n; ++i) {
        if (i > 0) out += ',';
        if (isObject)
          out += blanks() + '"' + std::string(kKeys[below(5)]) + "\":";
        out += text(depth - 1);
      }
      out += isObject ? '}' : ']';
    } else {
      out += scalar();
    }
    return out + blanks();
  }

  // `text` with up to two bytes inserted, removed or replaced: texts near
  // valid ones, most of them not JSON.
  std::string damaged(std::string text) {
    // A zero byte too, the last.
    static constexpr char kBytes[] =
        "{}[],:\"\\ \t\n01239-+.eEaflnrstu/\xff\xc3";
    for (int i = 0, n = 1 + below(2); i < n && !text.empty(); ++i) {
      const std::size_t at = below(static_cast<int>(text.size()));
      const char byte = kBytes[below(sizeof kBytes)];
      switch (below(3)) {
        case 0:
          text.insert(at, 1, byte);
          break;
        case 1:
          text.erase(at, 1);
          break;
        default:
          text[at] = byte;
      }
    }
    return text;
  }

  int below(int n) { return std::uniform_int_distribution(0, n - 1)(random_); }

 private:
  static constexpr std::string_view kKeys[] = {"id", "method", "params", "a",
                                               "/b"};
  static constexpr std::string_view kPieces[] = {"x",
                                                 "/",
                                                 "id",
                                                 " ",
                                                 "\\\"",
                                                 "\\\\",
                                                 "\\/",
                                                 "\\n",
                                                 "\\t",
                                                 "\\u00e9",
                                                 "\\ud83c\\udfa5",
                                                 "\\u0000",
                                                 "\xc3\xa9",
                                                 "\xe2\x80\xa6",
                                                 "\xf0\x9f\x8e\xa5",
                                                 "1e400",
                                                 "\x7f"};

  std::string blanks() {
    return std::string(below(4) == 0 ? below(3) : 0, ' ');
  }

  template <std::size_t N>
  std::string string(const std::string_view (&pieces)[N]) {
    std::string out = "\"";
    for (int i = 0, n = below(4); i < n; ++i) out += pieces[below(N)];
    return out + '"';
  }

  std::string digits(int count) {
    std::string out(1, static_cast<char>('1' + below(9)));
    while (static_cast<int>(out.size()) < count) {
      out += static_cast<char>('0' + below(10));
    }
    return out;
  }

  std::string scalar() {
    switch (below(6)) {
      case 0:
        return string(kPieces);
      case 1:
        return below(2) ? "true" : "false";
      case 2:
        return "null";
      case 3:
        return below(4) ? "0" : "-0";
      default: {
        // Up to 25 digits, then maybe a fraction and an exponent that keep
        // the number below 1e308.
        const int count = 1 + below(25);
        std::string number = (below(2) ? "-" : "") + digits(count);
        if (below(3) == 0) number += "." + digits(1 + below(5));
        if (below(3) == 0) {
          number += "eE"[below(2)] + std::string(below(2) ? "-" : "+");
          number += std::to_string(below(280 - count));
        }
        return number;
      }
    }
  }

  std::mt19937 random_;
};

}  // namespace zindle::testing
