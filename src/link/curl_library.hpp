#pragma once
// libcurl, the HTTP client. On a Mac it is the system's, linked as any system
// library is. Elsewhere it is opened on the first read instead of linked:
// loading it and the many libraries it pulls in takes several times the
// server's whole start-up, and a session that only lists the tools never
// needs it.

#include <curl/curl.h>

#include <string_view>

namespace zindle::link {

// The libcurl entry points the reader calls.
struct CurlLibrary {
  CURLcode (*globalInit)(long flags);
  CURL* (*easyInit)();
  CURLcode (*easySetopt)(CURL* easy, CURLoption option, ...);
  CURLcode (*easyPerform)(CURL* easy);
  CURLcode (*easyGetinfo)(CURL* easy, CURLINFO info, ...);
  void (*easyCleanup)(CURL* easy);
};

// libcurl, loaded and globally initialised by the first call (thread-safe);
// later calls return the same library, which stays loaded until the process
// ends. Throws RecorderError::failed, naming what is missing, when the
// library cannot be loaded or initialised: an installation fault, not an
// app that is not running.
const CurlLibrary& curlLibrary();

// Each system's half of curlLibrary(), in curl_library_apple.cpp or
// curl_library_posix.cpp: the entry points bound (null when the library
// cannot be had), and what the user is told then.
CurlLibrary bindCurlLibrary();
extern const std::string_view kCurlMissing;

// Restricts `easy` to plain HTTP. The option for that changed in libcurl
// 7.85, so the one the running library knows is used, whatever headers the
// server was built with. Returns false when neither is taken.
bool allowOnlyHttp(const CurlLibrary& curl, CURL* easy);

}  // namespace zindle::link
