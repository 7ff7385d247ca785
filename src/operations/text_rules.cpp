#include "operations/text_rules.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <unicode/utf16.h>

#include "operations/icu_library.hpp"

namespace zindle::operations {
namespace {

// The password database's records are small; a buffer past this size means
// something is wrong, and the path is then left as it is.
constexpr std::size_t kMaxPasswdBuffer = 1u << 20;

using Utf16 = std::u16string;

// ICU counts in int32_t. Far above any text the server handles, and low
// enough that no result it grows into overflows a count.
constexpr std::size_t kMaxIcuLength = std::size_t{1} << 26;

// Runs an ICU function that writes into a buffer: once into `guess` units,
// and again into the size it asked for when that was too small.
template <typename Write>
std::optional<Utf16> written(std::size_t guess, const Write& write) {
  Utf16 result(guess, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t length =
      write(result.data(), static_cast<std::int32_t>(result.size()), status);
  if (status == U_BUFFER_OVERFLOW_ERROR && length > 0) {
    result.assign(static_cast<std::size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    length = write(result.data(), length, status);
  }
  if (U_FAILURE(status) || length < 0) return std::nullopt;
  result.resize(static_cast<std::size_t>(length));
  return result;
}

// UTF-16 of `text`, with U+FFFD for each byte sequence that is not UTF-8.
std::optional<Utf16> fromUtf8(const IcuLibrary& icu, std::string_view text) {
  if (text.size() > kMaxIcuLength) return std::nullopt;
  const char* bytes = text.empty() ? "" : text.data();
  return written(text.size(),
                 [&](UChar* out, std::int32_t capacity, UErrorCode& status) {
                   std::int32_t length = 0;
                   icu.fromUtf8(out, capacity, &length, bytes,
                                static_cast<std::int32_t>(text.size()), 0xFFFD,
                                nullptr, &status);
                   return length;
                 });
}

std::optional<std::string> toUtf8(const IcuLibrary& icu, const Utf16& text) {
  std::string result(text.size() * 3, '\0');
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t length = 0;
  icu.toUtf8(result.data(), static_cast<std::int32_t>(result.size()), &length,
             text.data(), static_cast<std::int32_t>(text.size()), &status);
  if (U_FAILURE(status) || length < 0) return std::nullopt;
  result.resize(static_cast<std::size_t>(length));
  return result;
}

// NFD, or the text unchanged should ICU's data be missing: a comparison
// that ignores equivalence beats one that fails.
Utf16 decomposed(const IcuLibrary& icu, const Utf16& text) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfd = icu.nfdInstance(&status);
  if (U_FAILURE(status)) return text;
  // A decomposition rarely grows a text by more than a few units.
  const auto result =
      written(text.size() + 16,
              [&](UChar* out, std::int32_t capacity, UErrorCode& error) {
                return icu.normalize(nfd, text.data(),
                                     static_cast<std::int32_t>(text.size()),
                                     out, capacity, &error);
              });
  return result ? *result : text;
}

std::optional<Utf16> lowercasedUtf16(const IcuLibrary& icu, const Utf16& text) {
  return written(text.size() + 16, [&](UChar* out, std::int32_t capacity,
                                       UErrorCode& status) {
    // "" is the root locale, whatever the process's locale is.
    return icu.toLower(out, capacity, text.data(),
                       static_cast<std::int32_t>(text.size()), "", &status);
  });
}

// Case folding can undo a normal form (it may produce characters that
// decompose), hence the second decomposition.
std::optional<Utf16> foldedAndDecomposed(const IcuLibrary& icu,
                                         std::string_view text) {
  const auto utf16 = fromUtf8(icu, text);
  if (!utf16) return std::nullopt;
  const Utf16 first = decomposed(icu, *utf16);
  const auto folded =
      written(first.size() + 16,
              [&](UChar* out, std::int32_t capacity, UErrorCode& status) {
                return icu.foldCase(out, capacity, first.data(),
                                    static_cast<std::int32_t>(first.size()),
                                    U_FOLD_CASE_DEFAULT, &status);
              });
  if (!folded) return std::nullopt;
  return decomposed(icu, *folded);
}

bool isMark(const IcuLibrary& icu, const Utf16& text, std::size_t at) {
  UChar32 c = 0;
  U16_GET(text.data(), 0, at, text.size(), c);
  return (U_MASK(icu.charType(c)) & U_GC_M_MASK) != 0;
}

// A match that begins or ends between a base letter and its marks would
// find "cafe" in "café" once both are decomposed.
bool cutsMarks(const IcuLibrary& icu, const Utf16& text, std::size_t begin,
               std::size_t end) {
  return (begin > 0 && isMark(icu, text, begin)) ||
         (end < text.size() && isMark(icu, text, end));
}

// Without ICU the rules still answer for ASCII letters, rather than fail.
char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string asciiLowercased(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = asciiLower(c);
  return result;
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
  if (const IcuLibrary* icu = icuLibrary()) {
    if (const auto utf16 = fromUtf8(*icu, text)) {
      if (const auto lower = lowercasedUtf16(*icu, *utf16)) {
        if (auto result = toUtf8(*icu, *lower)) return std::move(*result);
      }
    }
  }
  return asciiLowercased(text);
}

bool equivalent(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const IcuLibrary* icu = icuLibrary();
  if (icu == nullptr) return false;
  const auto utf16A = fromUtf8(*icu, a);
  const auto utf16B = fromUtf8(*icu, b);
  return utf16A && utf16B &&
         decomposed(*icu, *utf16A) == decomposed(*icu, *utf16B);
}

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return false;
  const IcuLibrary* icu = icuLibrary();
  const auto pattern = icu ? foldedAndDecomposed(*icu, needle) : std::nullopt;
  const auto text = icu ? foldedAndDecomposed(*icu, haystack) : std::nullopt;
  if (!pattern || !text) {
    return asciiLowercased(haystack).find(asciiLowercased(needle)) !=
           std::string::npos;
  }
  if (pattern->empty()) return false;
  for (std::size_t at = text->find(*pattern); at != Utf16::npos;
       at = text->find(*pattern, at + 1)) {
    if (!cutsMarks(*icu, *text, at, at + pattern->size())) return true;
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
