#include "server/version.hpp"

#include <CoreFoundation/CoreFoundation.h>

namespace zindle::server {

namespace {

constexpr const char* kDevelopmentVersion = "dev";

}  // namespace

std::string serverVersion() {
  CFBundleRef bundle = CFBundleGetMainBundle();
  if (bundle == nullptr) return kDevelopmentVersion;
  // Owned by the bundle: not released here.
  CFTypeRef value = CFBundleGetValueForInfoDictionaryKey(
      bundle, CFSTR("CFBundleShortVersionString"));
  if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) {
    return kDevelopmentVersion;
  }
  const auto text = static_cast<CFStringRef>(value);
  const CFIndex capacity = CFStringGetMaximumSizeForEncoding(
                               CFStringGetLength(text), kCFStringEncodingUTF8) +
                           1;
  std::string version(static_cast<std::size_t>(capacity), '\0');
  if (!CFStringGetCString(text, version.data(), capacity,
                          kCFStringEncodingUTF8)) {
    return kDevelopmentVersion;
  }
  version.resize(std::char_traits<char>::length(version.c_str()));
  return version;
}

}  // namespace zindle::server
