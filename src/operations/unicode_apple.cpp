// The Unicode text rules on a Mac: CoreFoundation's, the services behind
// NSString that the app itself matches titles with, so that the server finds
// a title exactly when the app does. NSString compares without its literal
// option by default, that is by canonical equivalence; in CoreFoundation
// that is kCFCompareNonliteral.

#include <CoreFoundation/CoreFoundation.h>

#include <new>
#include <string>

#include "operations/text_rules.hpp"

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

bool containsIgnoringCase(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return false;
  const Owned<CFStringRef> text = cfString(haystack);
  const Owned<CFStringRef> pattern = cfString(needle);
  if (text.get() == nullptr || pattern.get() == nullptr) {
    return haystack.find(needle) != std::string_view::npos;
  }
  return CFStringFindWithOptions(
      text.get(), pattern.get(), CFRangeMake(0, CFStringGetLength(text.get())),
      kCFCompareCaseInsensitive | kCFCompareNonliteral, nullptr);
}

}  // namespace zindle::operations
