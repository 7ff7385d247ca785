#include "server/startup.hpp"

#include <algorithm>
#include <charconv>

#include "link/recorder.hpp"

namespace zindle::server {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::int64_t readPreferredPort(std::optional<std::string_view> value) {
  if (!value) return link::kDefaultPort;
  std::string_view text = *value;
  const bool hasSign =
      !text.empty() && (text.front() == '+' || text.front() == '-');
  const std::string_view digits = text.substr(hasSign ? 1 : 0);
  // from_chars alone would accept a prefix of the text and no "+", so the
  // whole shape is checked first.
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit)) {
    return link::kDefaultPort;
  }
  if (text.front() == '+') text.remove_prefix(1);
  std::int64_t port = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), port);
  // A value outside the signed 64-bit range reads as no value at all.
  if (error != std::errc() || end != text.data() + text.size()) {
    return link::kDefaultPort;
  }
  return port;
}

}  // namespace zindle::server
