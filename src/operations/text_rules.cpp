#include "operations/text_rules.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace zindle::operations {
namespace {

// The password database's records are small; a buffer past this size means
// something is wrong, and the path is then left as it is.
constexpr std::size_t kMaxPasswdBuffer = 1u << 20;

icu::UnicodeString fromUtf8(std::string_view text) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

// NFD, or the text unchanged should ICU's data be missing: a comparison
// that ignores equivalence beats one that fails.
icu::UnicodeString decomposed(const icu::UnicodeString& text) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  if (U_FAILURE(status)) return text;
  icu::UnicodeString result = nfd->normalize(text, status);
  return U_FAILURE(status) ? text : result;
}

// Case folding can undo a normal form (it may produce characters that
// decompose), hence the second decomposition.
icu::UnicodeString foldedAndDecomposed(std::string_view text) {
  icu::UnicodeString folded = decomposed(fromUtf8(text));
  folded.foldCase(U_FOLD_CASE_DEFAULT);
  return decomposed(folded);
}

bool isMark(UChar32 c) { return (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0; }

// A match that begins or ends between a base letter and its marks would
// find "cafe" in "café" once both are decomposed.
bool cutsMarks(const icu::UnicodeString& text, std::int32_t begin,
               std::int32_t end) {
  return (begin > 0 && isMark(text.char32At(begin))) ||
         (end < text.length() && isMark(text.char32At(end)));
}

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

std::string lowercased(std::string_view text) {
  icu::UnicodeString lower = fromUtf8(text);
  lower.toLower(icu::Locale::getRoot());
  std::string result;
  lower.toUTF8String(result);
  return result;
}

bool equivalent(std::string_view a, std::string_view b) {
  if (a == b) return true;
  return decomposed(fromUtf8(a)) == decomposed(fromUtf8(b));
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
  const icu::UnicodeString pattern = foldedAndDecomposed(needle);
  if (pattern.isEmpty()) return false;
  const icu::UnicodeString text = foldedAndDecomposed(haystack);
  for (std::int32_t at = text.indexOf(pattern); at >= 0;
       at = text.indexOf(pattern, at + 1)) {
    if (!cutsMarks(text, at, at + pattern.length())) return true;
  }
  return false;
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
