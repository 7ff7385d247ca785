#include "link/curl_library.hpp"

#include "link/shared_library.hpp"

namespace zindle::link {
namespace {

// The name under which the system keeps the library. The version in the
// name is libcurl's ABI, unchanged since 2006.
constexpr const char* kLibraryName = "libcurl.so.4";

}  // namespace

CurlLibrary bindCurlLibrary() {
  CurlLibrary curl{};
  void* library = openFirstLibrary({kLibraryName});
  if (library == nullptr ||
      !bindEntryPoint(library, "curl_global_init", curl.globalInit) ||
      !bindEntryPoint(library, "curl_easy_init", curl.easyInit) ||
      !bindEntryPoint(library, "curl_easy_setopt", curl.easySetopt) ||
      !bindEntryPoint(library, "curl_easy_perform", curl.easyPerform) ||
      !bindEntryPoint(library, "curl_easy_getinfo", curl.easyGetinfo) ||
      !bindEntryPoint(library, "curl_easy_cleanup", curl.easyCleanup)) {
    return {};
  }
  return curl;
}

const std::string_view kCurlMissing =
    "ZindleRecorder cannot be reached: libcurl (libcurl.so.4) could not be "
    "loaded. Install it (on Debian and Ubuntu, the package libcurl4) and "
    "retry.";

}  // namespace zindle::link
