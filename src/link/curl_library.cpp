#include "link/curl_library.hpp"

#include <cstdlib>
#include <string>

#include "link/recorder_error.hpp"

namespace zindle::link {
namespace {

// Spelled by number: headers before 7.85 lack the first, and later ones mark
// the second deprecated. Both numbers are libcurl's ABI and never change.
constexpr auto kProtocolsByName = static_cast<CURLoption>(10318);
constexpr auto kProtocolsByMask = static_cast<CURLoption>(181);
constexpr long kHttpOnly = 1;  // CURLPROTO_HTTP

const CurlLibrary* loadLibrary() {
  static CurlLibrary curl = bindCurlLibrary();
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
  if (library == nullptr)
    throw RecorderError::failed(std::string(kCurlMissing));
  return *library;
}

bool allowOnlyHttp(const CurlLibrary& curl, CURL* easy) {
  const CURLcode byName = curl.easySetopt(easy, kProtocolsByName, "http");
  if (byName == CURLE_OK) return true;
  return byName == CURLE_UNKNOWN_OPTION &&
         curl.easySetopt(easy, kProtocolsByMask, kHttpOnly) == CURLE_OK;
}

}  // namespace zindle::link
