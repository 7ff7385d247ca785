// The Unicode text rules on a Mac: CoreFoundation's, the services behind
// NSString that the app itself matches titles with, so that the server finds
// a title exactly when the app does. NSString compares without its literal
// option by default, that is by canonical equivalence; in CoreFoundation
// that is kCFCompareNonliteral. The search itself is text_rules.cpp's, on
// texts folded and decomposed here: CFStringFindWithOptions compares the
// needle anew at every position of the haystack, a cost that grows with the
// product of their lengths, and it lets a match begin on a combining mark.

#include <CoreFoundation/CoreFoundation.h>

#include <new>
#include <string>
#include <vector>

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

bool equivalent(std::string_view a, std::string_view b) {
  if (a == b) return true;
  const Owned<CFStringRef> first = cfString(a);
  const Owned<CFStringRef> second = cfString(b);
  if (first.get() == nullptr || second.get() == nullptr) return false;
  return CFStringCompare(first.get(), second.get(), kCFCompareNonliteral) ==
         kCFCompareEqualTo;
}

std::u16string unicode::foldedAndDecomposed(std::string_view text) {
  const Owned<CFStringRef> string = cfString(text);
  // Bytes that are not UTF-8 are compared as they are, one unit each.
  if (string.get() == nullptr) {
    std::u16string units;
    for (const char byte : text) units += static_cast<unsigned char>(byte);
    return units;
  }
  const Owned<CFMutableStringRef> folded(
      CFStringCreateMutableCopy(kCFAllocatorDefault, 0, string.get()));
  if (folded.get() == nullptr) throw std::bad_alloc();
  // Folding can undo a normal form (it may produce characters that
  // decompose), hence the second decomposition. No locale: the default
  // folding, as for lowercased().
  CFStringNormalize(folded.get(), kCFStringNormalizationFormD);
  CFStringFold(folded.get(), kCFCompareCaseInsensitive, nullptr);
  CFStringNormalize(folded.get(), kCFStringNormalizationFormD);
  const CFIndex length = CFStringGetLength(folded.get());
  std::vector<UniChar> units(static_cast<std::size_t>(length));
  CFStringGetCharacters(folded.get(), CFRangeMake(0, length), units.data());
  return std::u16string(units.begin(), units.end());
}

bool unicode::isMark(char32_t c) {
  // The non-base set is General Category M, as ICU's marks are.
  static const CFCharacterSetRef marks =
      CFCharacterSetGetPredefined(kCFCharacterSetNonBase);
  return CFCharacterSetIsLongCharacterMember(marks, static_cast<UTF32Char>(c));
}

}  // namespace zindle::operations
