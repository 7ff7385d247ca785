#include "link/curl_library.hpp"

#include "link/shared_library.hpp"

namespace zindle::link {
namespace {

const CurlLibrary* loadLibrary() {
  // The names under which the system keeps the library, most likely first.
  // The version in the name is libcurl's ABI, unchanged since 2006.
#ifdef __APPLE__
  void* library =
      openFirstLibrary({"/usr/lib/libcurl.4.dylib", "libcurl.4.dylib"});
#else
  void* library = openFirstLibrary({"libcurl.so.4"});
#endif
  if (library == nullptr) return nullptr;
  static CurlLibrary curl{};
  if (!bindEntryPoint(library, "curl_global_init", curl.globalInit) ||
      !bindEntryPoint(library, "curl_easy_init", curl.easyInit) ||
      !bindEntryPoint(library, "curl_easy_setopt", curl.easySetopt) ||
      !bindEntryPoint(library, "curl_easy_perform", curl.easyPerform) ||
      !bindEntryPoint(library, "curl_easy_getinfo", curl.easyGetinfo) ||
      !bindEntryPoint(library, "curl_easy_cleanup", curl.easyCleanup)) {
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
