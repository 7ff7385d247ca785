#include "link/curl_library.hpp"

#include <dlfcn.h>

namespace zindle::link {
namespace {

// The names under which the system keeps the shared library, most likely
// first. The version in the name is libcurl's ABI, unchanged since 2006.
constexpr const char* kLibraryNames[] = {
#ifdef __APPLE__
    "/usr/lib/libcurl.4.dylib",
    "libcurl.4.dylib",
#else
    "libcurl.so.4",
#endif
};

void* openLibrary() {
  for (const char* name : kLibraryNames) {
    // RTLD_LOCAL: its symbols stay out of the way of anything else loaded.
    if (void* library = ::dlopen(name, RTLD_NOW | RTLD_LOCAL)) return library;
  }
  return nullptr;
}

template <typename Function>
bool bind(void* library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  return function != nullptr;
}

const CurlLibrary* loadLibrary() {
  void* library = openLibrary();
  if (library == nullptr) return nullptr;
  static CurlLibrary curl{};
  if (!bind(library, "curl_global_init", curl.globalInit) ||
      !bind(library, "curl_easy_init", curl.easyInit) ||
      !bind(library, "curl_easy_setopt", curl.easySetopt) ||
      !bind(library, "curl_easy_perform", curl.easyPerform) ||
      !bind(library, "curl_easy_getinfo", curl.easyGetinfo) ||
      !bind(library, "curl_easy_cleanup", curl.easyCleanup)) {
    return nullptr;
  }
  // curl_global_init is not safe to race, so it runs here, once.
  if (curl.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
  return &curl;
}

}  // namespace

const CurlLibrary* curlLibrary() {
  static const CurlLibrary* const library = loadLibrary();
  return library;
}

}  // namespace zindle::link
