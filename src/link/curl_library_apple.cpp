#include "link/curl_library.hpp"

namespace zindle::link {

// The system's libcurl, /usr/lib/libcurl.4.dylib, linked.
CurlLibrary bindCurlLibrary() {
  return {curl_global_init,  curl_easy_init,    curl_easy_setopt,
          curl_easy_perform, curl_easy_getinfo, curl_easy_cleanup};
}

const std::string_view kCurlMissing =
    "ZindleRecorder cannot be reached: the system's libcurl could not be "
    "initialised.";

}  // namespace zindle::link
