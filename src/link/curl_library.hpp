#pragma once
// libcurl, loaded on the first read instead of linked into the program:
// loading it and the many libraries it pulls in takes tens of milliseconds,
// several times the server's whole start-up, and a session that only lists
// the tools never needs it.

#include <curl/curl.h>

namespace zindle::link {

// The libcurl entry points the reader calls, as found in the loaded library.
struct CurlLibrary {
  CURLcode (*globalInit)(long flags);
  CURL* (*easyInit)();
  CURLcode (*easySetopt)(CURL* easy, CURLoption option, ...);
  CURLcode (*easyPerform)(CURL* easy);
  CURLcode (*easyGetinfo)(CURL* easy, CURLINFO info, ...);
  void (*easyCleanup)(CURL* easy);
};

// libcurl, loaded and globally initialised by the first call (thread-safe);
// later calls return the same library. Returns nullptr, then and ever after,
// when the library cannot be found, lacks an entry point, or fails to
// initialise. The library stays loaded until the process ends. Never throws.
const CurlLibrary* curlLibrary();

}  // namespace zindle::link
