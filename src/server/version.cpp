#include "server/version.hpp"

#ifdef __APPLE__
#include <CoreFoundation/CoreFoundation.h>
#endif

namespace zindle::server {

#ifdef __APPLE__

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

#else

// Given by the build, from the project's one version number.
std::string serverVersion() { return ZINDLE_VERSION; }

#endif

}  // namespace zindle::server
