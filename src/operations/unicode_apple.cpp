// The Unicode text rules on a Mac: CoreFoundation's, the services behind
// NSString that the app itself matches titles with, so that the server finds
// a title exactly when the app does. NSString compares without its literal
// option by default, that is by canonical equivalence; in CoreFoundation
// that is kCFCompareNonliteral. The search itself is text_rules.cpp's, on
// texts folded and decomposed here: CFStringFindWithOptions compares the
// needle anew at every position of the haystack, a cost that grows with the
// product of their lengths, and it lets a match begin on a combining mark.
// Where a match may end, text_rules.cpp draws as CFStringFindWithOptions
// does.

#include <CoreFoundation/CoreFoundation.h>

#include <new>
#include <string>
#include <utility>

#include "operations/text_rules.hpp"
#include "operations/unicode.hpp"

namespace zindle::operations {
namespace {

// Owns one CoreFoundation object and releases it on every path out.
template <typename Ref>
class Owned {
 public:
  explicit Owned(Ref ref) : ref_(ref) {}
  ~Owned() {
    if (ref_ != nullptr) CFRelease(ref_);
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}

  Ref get() const { return ref_; }

 private:
  Ref ref_;
};

// The text as a CFString; null when it is not UTF-8.
Owned<CFStringRef> cfString(std::string_view text) {
  return Owned<CFStringRef>(CFStringCreateWithBytes(
      kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.data()),
      static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false));
}

std::string utf8(CFStringRef text) {
  const CFRange whole = CFRangeMake(0, CFStringGetLength(text));
  CFIndex bytes = 0;
  CFStringGetBytes(text, whole, kCFStringEncodingUTF8, 0, false, nullptr, 0,
                   &bytes);
  std::string result(static_cast<std::size_t>(bytes), '\0');
  CFStringGetBytes(text, whole, kCFStringEncodingUTF8, 0, false,
                   reinterpret_cast<UInt8*>(result.data()), bytes, &bytes);
  result.resize(static_cast<std::size_t>(bytes));
  return result;
}

// A CFString to change, holding `units`.
Owned<CFMutableStringRef> mutableString(const std::u16string& units) {
  Owned<CFMutableStringRef> string(
      CFStringCreateMutable(kCFAllocatorDefault, 0));
  if (string.get() == nullptr) throw std::bad_alloc();
  CFStringAppendCharacters(string.get(),
                           reinterpret_cast<const UniChar*>(units.data()),
                           static_cast<CFIndex>(units.size()));
  return string;
}

// The units of `text`.
std::u16string unitsOf(CFStringRef text) {
  const CFIndex length = CFStringGetLength(text);
  std::u16string units(static_cast<std::size_t>(length), u'\0');
  CFStringGetCharacters(text, CFRangeMake(0, length),
                        reinterpret_cast<UniChar*>(units.data()));
  return units;
}

std::u16string decomposed(const std::u16string& units) {
  const Owned<CFMutableStringRef> string = mutableString(units);
  CFStringNormalize(string.get(), kCFStringNormalizationFormD);
  return unitsOf(string.get());
}

}  // namespace

std::string lowercased(std::string_view text) {
  const Owned<CFStringRef> string = cfString(text);
  if (string.get() == nullptr) return std::string(text);
  const Owned<CFMutableStringRef> lower(
      CFStringCreateMutableCopy(kCFAllocatorDefault, 0, string.get()));
  if (lower.get() == nullptr) throw std::bad_alloc();
  // No locale: the default mapping, not Turkish or Lithuanian rules.
  CFStringLowercase(lower.get(), nullptr);
  return utf8(lower.get());
}

// Canonical equivalence is equality once decomposed. CFStringCompare's
// nonliteral mode answers the same for real texts, but gives up on a letter
// with some dozens of marks and calls canonically equivalent texts
// different; decomposing streamSafe() texts answers as ICU does, for every
// text, in linear time.
bool equivalent(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const Owned<CFStringRef> first = cfString(a);
  const Owned<CFStringRef> second = cfString(b);
  if (first.get() == nullptr || second.get() == nullptr) return false;
  return decomposed(unicode::streamSafe(unitsOf(first.get()))) ==
         decomposed(unicode::streamSafe(unitsOf(second.get())));
}

std::u16string unicode::utf16(std::string_view text) {
  const Owned<CFStringRef> string = cfString(text);
  // CoreFoundation reads no text that is not UTF-8: each bad byte is
  // U+FFFD, and the bytes that are ASCII are themselves.
  if (string.get() == nullptr) {
    std::u16string units;
    for (const char byte : text) {
      const auto value = static_cast<unsigned char>(byte);
      units += value < 0x80 ? static_cast<char16_t>(value) : u'\uFFFD';
    }
    return units;
  }
  return unitsOf(string.get());
}

std::u16string unicode::foldedAndDecomposed(const std::u16string& text) {
  const Owned<CFMutableStringRef> folded = mutableString(text);
  // Folding can undo a normal form (it may produce characters that
  // decompose), hence the second decomposition. No locale: the default
  // folding, as for lowercased().
  CFStringNormalize(folded.get(), kCFStringNormalizationFormD);
  CFStringFold(folded.get(), kCFCompareCaseInsensitive, nullptr);
  CFStringNormalize(folded.get(), kCFStringNormalizationFormD);
  return unitsOf(folded.get());
}

bool unicode::isMark(char32_t c) {
  // The non-base set is General Category M, as ICU's marks are.
  static const CFCharacterSetRef marks =
      CFCharacterSetGetPredefined(kCFCharacterSetNonBase);
  return CFCharacterSetIsLongCharacterMember(marks, static_cast<UTF32Char>(c));
}

}  // namespace zindle::operations
