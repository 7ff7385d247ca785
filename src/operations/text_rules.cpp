// The rules that are the same on every system: the search for one text in
// another, on the folded and decomposed texts that each platform makes
// (unicode_apple.cpp, unicode_icu.cpp), and the tilde expansion, from the
// password database.

#include "operations/text_rules.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

#include "operations/unicode.hpp"

namespace zindle::operations {
namespace {

// The code point that begins at `at`, a whole surrogate pair when there is
// one; at a lone surrogate, the unit itself (no mark). Past the last unit
// the string holds a zero, which ends no pair.
char32_t codePointAt(const std::u16string& text, std::size_t at) {
  const char32_t unit = text[at];
  if (unit >= 0xD800 && unit < 0xDC00 && text[at + 1] >= 0xDC00 &&
      text[at + 1] < 0xE000) {
    return 0x10000 + ((unit - 0xD800) << 10) + (text[at + 1] - 0xDC00);
  }
  return unit;
}

// Whether a character may begin at `at`: not on a mark that belongs to the
// letter before it. Both ends of a match are held to this.
bool isBoundary(const std::u16string& text, std::size_t at) {
  return at == 0 || at == text.size() ||
         !unicode::isMark(codePointAt(text, at));
}

// The password database's records are small; a buffer past this size means
// something is wrong, and the path is then left as it is.
constexpr std::size_t kMaxPasswdBuffer = 1u << 20;

// One password database lookup, growing the buffer while it is too small.
template <typename Lookup>
std::optional<std::string> homeFromPasswd(const Lookup& lookup) {
  std::vector<char> buffer(1024);
  while (buffer.size() <= kMaxPasswdBuffer) {
    passwd entry{};
    passwd* found = nullptr;
    const int error = lookup(entry, buffer, found);
    if (error == ERANGE) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (error != 0 || found == nullptr || found->pw_dir == nullptr) break;
    return std::string(found->pw_dir);
  }
  return std::nullopt;
}

std::optional<std::string> currentHome() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home);
  return homeFromPasswd([](passwd& entry, std::vector<char>& buffer,
                           passwd*& found) {
    return getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
  });
}

std::optional<std::string> homeOf(const std::string& user) {
  return homeFromPasswd(
      [&user](passwd& entry, std::vector<char>& buffer, passwd*& found) {
        return getpwnam_r(user.c_str(), &entry, buffer.data(), buffer.size(),
                          &found);
      });
}

}  // namespace

// Knuth, Morris and Pratt's search: each unit of the haystack is looked at a
// bounded number of times on average, so a title of a million "a"s and a
// needle of thousands cost no more than their lengths, where searching anew
// from every position multiplied the two. Every match is found, so that one
// cut off by a mark does not hide a later one that is not.
TextSearch::TextSearch(std::string_view needle)
    : pattern_(needle.empty() ? std::u16string()
                              : unicode::foldedAndDecomposed(needle)),
      fallback_(pattern_.size() + 1, 0) {
  for (std::size_t length = 2; length <= pattern_.size(); ++length) {
    std::size_t border = fallback_[length - 1];
    while (border > 0 && pattern_[border] != pattern_[length - 1]) {
      border = fallback_[border];
    }
    if (pattern_[border] == pattern_[length - 1]) ++border;
    fallback_[length] = border;
  }
}

bool TextSearch::isFoundIn(std::string_view haystack) const {
  if (pattern_.empty()) return false;
  const std::u16string text = unicode::foldedAndDecomposed(haystack);
  std::size_t matched = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    while (matched > 0 && pattern_[matched] != text[at]) {
      matched = fallback_[matched];
    }
    if (pattern_[matched] == text[at]) ++matched;
    if (matched < pattern_.size()) continue;
    if (isBoundary(text, at + 1 - matched) && isBoundary(text, at + 1)) {
      return true;
    }
    matched = fallback_[matched];
  }
  return false;
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
  return TextSearch(needle).isFoundIn(haystack);
}

std::string expandTilde(std::string_view path) {
  if (path.empty() || path.front() != '~') return std::string(path);
  const std::size_t slash = path.find('/');
  const std::string_view user =
      path.substr(1, slash == std::string_view::npos ? slash : slash - 1);
  const std::string_view rest =
      slash == std::string_view::npos ? std::string_view() : path.substr(slash);
  // A NUL would end the name early and look up somebody else.
  if (user.find('\0') != std::string_view::npos) return std::string(path);
  std::optional<std::string> home =
      user.empty() ? currentHome() : homeOf(std::string(user));
  if (!home) return std::string(path);
  // A home folder of "/" must not give "//x".
  if (!rest.empty() && !home->empty() && home->back() == '/') home->pop_back();
  return *home + std::string(rest);
}

}  // namespace zindle::operations
