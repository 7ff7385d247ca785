// The Unicode text rules on ICU, where there is no CoreFoundation. ICU is
// opened the first time a text is compared rather than linked: mapping it
// and its data at every start would cost half as much again as the rest of
// the start-up, and only recorder_configure and recorder_start compare
// texts. Its C API is used, whose symbols carry the major version of the ICU
// the server was built with.

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/uvernum.h>

#include <cstdint>
#include <optional>
#include <string>

#include "link/recorder_error.hpp"
#include "link/shared_library.hpp"
#include "operations/text_rules.hpp"
#include "operations/unicode.hpp"

namespace zindle::operations {
namespace {

// The headers rename every entry point to carry the version ("u_strToLower"
// is really "u_strToLower_72"); spelling a name through the macro gives the
// symbol to look up.
#define ZINDLE_SPELLED(name) #name
#define ZINDLE_SYMBOL(name) ZINDLE_SPELLED(name)

constexpr const char* kLibraryName =
    "libicuuc.so." ZINDLE_SYMBOL(U_ICU_VERSION_MAJOR_NUM);
constexpr std::string_view kMissingLibrary =
    "Titles and settings cannot be compared: ICU's library "
    "libicuuc.so." ZINDLE_SYMBOL(U_ICU_VERSION_MAJOR_NUM) " could not be "
    "loaded. Install ICU " ZINDLE_SYMBOL(U_ICU_VERSION_MAJOR_NUM) " (on Debian "
    "and Ubuntu, the package libicu" ZINDLE_SYMBOL(U_ICU_VERSION_MAJOR_NUM) ") "
    "and retry.";
constexpr std::string_view kMissingData =
    "Titles and settings cannot be compared: ICU's data could not be "
    "loaded. Reinstall ICU and retry.";

struct IcuLibrary {
  decltype(&u_strFromUTF8WithSub) fromUtf8;
  decltype(&u_strToUTF8) toUtf8;
  decltype(&u_strToLower) toLower;
  decltype(&u_strFoldCase) foldCase;
  decltype(&unorm2_getNFDInstance) nfdInstance;
  decltype(&unorm2_normalize) normalize;
  decltype(&u_charType) charType;
};

const IcuLibrary* loadLibrary() {
  void* library = link::openFirstLibrary({kLibraryName});
  if (library == nullptr) return nullptr;
  static IcuLibrary icu{};
  if (!link::bindEntryPoint(library, ZINDLE_SYMBOL(u_strFromUTF8WithSub),
                            icu.fromUtf8) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(u_strToUTF8), icu.toUtf8) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(u_strToLower),
                            icu.toLower) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(u_strFoldCase),
                            icu.foldCase) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(unorm2_getNFDInstance),
                            icu.nfdInstance) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(unorm2_normalize),
                            icu.normalize) ||
      !link::bindEntryPoint(library, ZINDLE_SYMBOL(u_charType), icu.charType)) {
    return nullptr;
  }
  return &icu;
}

// ICU, loaded by the first call; a missing library is an installation
// fault, told as one rather than papered over with weaker rules.
const IcuLibrary& icu() {
  static const IcuLibrary* const library = loadLibrary();
  if (library == nullptr) {
    throw RecorderError::failed(std::string(kMissingLibrary));
  }
  return *library;
}

using Utf16 = std::u16string;

// ICU counts in int32_t. Far above any text the server handles, and low
// enough that no result it grows into overflows a count.
constexpr std::size_t kMaxLength = std::size_t{1} << 26;

RecorderError tooLong() {
  return RecorderError::failed("A text is too long to be compared.");
}

// Runs an ICU function that writes into a buffer: once into `guess` units,
// and again into the size it asked for when that was too small.
template <typename Write>
Utf16 written(std::size_t guess, const Write& write) {
  Utf16 result(guess, u'\0');
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t length =
      write(result.data(), static_cast<std::int32_t>(result.size()), status);
  if (status == U_BUFFER_OVERFLOW_ERROR && length > 0) {
    result.assign(static_cast<std::size_t>(length), u'\0');
    status = U_ZERO_ERROR;
    length = write(result.data(), length, status);
  }
  if (U_FAILURE(status) || length < 0) throw tooLong();
  result.resize(static_cast<std::size_t>(length));
  return result;
}

// UTF-16 of `text`, with U+FFFD for each byte sequence that is not UTF-8.
Utf16 fromUtf8(const IcuLibrary& library, std::string_view text) {
  if (text.size() > kMaxLength) throw tooLong();
  const char* bytes = text.empty() ? "" : text.data();
  return written(text.size(),
                 [&](UChar* out, std::int32_t capacity, UErrorCode& status) {
                   std::int32_t length = 0;
                   library.fromUtf8(out, capacity, &length, bytes,
                                    static_cast<std::int32_t>(text.size()),
                                    0xFFFD, nullptr, &status);
                   return length;
                 });
}

std::string toUtf8(const IcuLibrary& library, const Utf16& text) {
  std::string result(text.size() * 3, '\0');
  UErrorCode status = U_ZERO_ERROR;
  std::int32_t length = 0;
  library.toUtf8(result.data(), static_cast<std::int32_t>(result.size()),
                 &length, text.data(), static_cast<std::int32_t>(text.size()),
                 &status);
  if (U_FAILURE(status) || length < 0) throw tooLong();
  result.resize(static_cast<std::size_t>(length));
  return result;
}

Utf16 decomposed(const IcuLibrary& library, const Utf16& text) {
  UErrorCode status = U_ZERO_ERROR;
  const UNormalizer2* nfd = library.nfdInstance(&status);
  if (U_FAILURE(status)) throw RecorderError::failed(std::string(kMissingData));
  // A decomposition rarely grows a text by more than a few units.
  return written(text.size() + 16,
                 [&](UChar* out, std::int32_t capacity, UErrorCode& error) {
                   return library.normalize(
                       nfd, text.data(), static_cast<std::int32_t>(text.size()),
                       out, capacity, &error);
                 });
}

}  // namespace

std::u16string unicode::utf16(std::string_view text) {
  return fromUtf8(icu(), text);
}

// Case folding can undo a normal form (it may produce characters that
// decompose), hence the second decomposition.
std::u16string unicode::foldedAndDecomposed(const std::u16string& text) {
  const IcuLibrary& library = icu();
  const Utf16 first = decomposed(library, text);
  const Utf16 folded =
      written(first.size() + 16,
              [&](UChar* out, std::int32_t capacity, UErrorCode& status) {
                return library.foldCase(out, capacity, first.data(),
                                        static_cast<std::int32_t>(first.size()),
                                        U_FOLD_CASE_DEFAULT, &status);
              });
  return decomposed(library, folded);
}

bool unicode::isMark(char32_t c) {
  return (U_MASK(icu().charType(static_cast<UChar32>(c))) & U_GC_M_MASK) != 0;
}

std::string lowercased(std::string_view text) {
  const IcuLibrary& library = icu();
  const Utf16 utf16 = fromUtf8(library, text);
  const Utf16 lower =
      written(utf16.size() + 16,
              [&](UChar* out, std::int32_t capacity, UErrorCode& status) {
                // "" is the root locale, whatever the process's locale is.
                return library.toLower(out, capacity, utf16.data(),
                                       static_cast<std::int32_t>(utf16.size()),
                                       "", &status);
              });
  return toUtf8(library, lower);
}

bool equivalent(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const IcuLibrary& library = icu();
  return decomposed(library, unicode::streamSafe(fromUtf8(library, a))) ==
         decomposed(library, unicode::streamSafe(fromUtf8(library, b)));
}

}  // namespace zindle::operations
