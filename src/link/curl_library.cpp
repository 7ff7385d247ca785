#include "link/curl_library.hpp"

#include <cstdlib>
#include <string>

#include "link/recorder_error.hpp"

#ifndef __APPLE__
#include "link/shared_library.hpp"
#endif

namespace zindle::link {
namespace {

// Spelled by number: headers before 7.85 lack the first, and later ones mark
// the second deprecated. Both numbers are libcurl's ABI and never change.
constexpr auto kProtocolsByName = static_cast<CURLoption>(10318);
constexpr auto kProtocolsByMask = static_cast<CURLoption>(181);
constexpr long kHttpOnly = 1;  // CURLPROTO_HTTP

#ifdef __APPLE__

// The system's libcurl, /usr/lib/libcurl.4.dylib, linked.
CurlLibrary bindLibrary() {
  return {curl_global_init,  curl_easy_init,    curl_easy_setopt,
          curl_easy_perform, curl_easy_getinfo, curl_easy_cleanup};
}

constexpr std::string_view kMissing =
    "ZindleRecorder cannot be reached: the system's libcurl could not be "
    "initialised.";

#else

// The name under which the system keeps the library. The version in the
// name is libcurl's ABI, unchanged since 2006.
constexpr const char* kLibraryName = "libcurl.so.4";

CurlLibrary bindLibrary() {
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

constexpr std::string_view kMissing =
    "ZindleRecorder cannot be reached: libcurl (libcurl.so.4) could not be "
    "loaded. Install it (on Debian and Ubuntu, the package libcurl4) and "
    "retry.";

#endif

const CurlLibrary* loadLibrary() {
  static CurlLibrary curl = bindLibrary();
  if (curl.globalInit == nullptr) return nullptr;
  // libcurl's TLS back end, set up by curl_global_init, opens the file that
  // this variable names to log session keys into. The reader speaks plain
  // HTTP only, and is steered by nothing in the environment; the process is
  // still one thread here, so unsetting races with no getenv().
  ::unsetenv("SSLKEYLOGFILE");
  // curl_global_init is not safe to race, so it runs here, once.
  if (curl.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
  return &curl;
}

}  // namespace

const CurlLibrary& curlLibrary() {
  static const CurlLibrary* const library = loadLibrary();
  if (library == nullptr) throw RecorderError::failed(std::string(kMissing));
  return *library;
}

bool allowOnlyHttp(const CurlLibrary& curl, CURL* easy) {
  const CURLcode byName = curl.easySetopt(easy, kProtocolsByName, "http");
  if (byName == CURLE_OK) return true;
  return byName == CURLE_UNKNOWN_OPTION &&
         curl.easySetopt(easy, kProtocolsByMask, kHttpOnly) == CURLE_OK;
}

}  // namespace zindle::link
