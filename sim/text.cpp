#include "sim/text.hpp"

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace zindle::sim {
namespace {

icu::UnicodeString fromUtf8(std::string_view text) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<std::int32_t>(text.size())));
}

// Decomposed (NFD), case-folded, and decomposed again: folding can produce
// characters that decompose. Without ICU's data the text stays as it is.
icu::UnicodeString comparable(std::string_view text) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
  icu::UnicodeString result = fromUtf8(text);
  if (U_FAILURE(status)) return result.foldCase();
  result = nfd->normalize(result, status);
  result.foldCase();
  return nfd->normalize(result, status);
}

bool isMarkAt(const icu::UnicodeString& text, std::int32_t at) {
  return at > 0 && at < text.length() &&
         (U_GET_GC_MASK(text.char32At(at)) & U_GC_M_MASK) != 0;
}

}  // namespace

std::string lowercased(std::string_view text) {
  std::string result;
  fromUtf8(text).toLower(icu::Locale::getRoot()).toUTF8String(result);
  return result;
}

bool containsIgnoringCase(std::string_view text, std::string_view part) {
  if (part.empty()) return false;
  const icu::UnicodeString haystack = comparable(text);
  const icu::UnicodeString needle = comparable(part);
  for (std::int32_t at = haystack.indexOf(needle); at >= 0;
       at = haystack.indexOf(needle, at + 1)) {
    if (!isMarkAt(haystack, at) && !isMarkAt(haystack, at + needle.length())) {
      return true;
    }
  }
  return false;
}

std::string joined(const std::vector<std::string>& pieces,
                   std::string_view separator) {
  std::string result;
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) result += separator;
    result += pieces[i];
  }
  return result;
}

}  // namespace zindle::sim
