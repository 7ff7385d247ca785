// The HTTP reader's requests are tested through the server binary, against
// fake apps (tests/integration); here, what only a fake libcurl can show.

#include "link/curl_library.hpp"

#include <gtest/gtest.h>

namespace zindle::link {
namespace {

// A libcurl older than 7.85 knows only the old option; one that knows the
// new one is given it alone.
CURLcode oldLibcurlSetopt(CURL*, CURLoption option, ...) {
  if (option == static_cast<CURLoption>(10318)) return CURLE_UNKNOWN_OPTION;
  return option == static_cast<CURLoption>(181) ? CURLE_OK
                                                : CURLE_BAD_FUNCTION_ARGUMENT;
}

CURLcode newLibcurlSetopt(CURL*, CURLoption option, ...) {
  return option == static_cast<CURLoption>(10318) ? CURLE_OK
                                                  : CURLE_BAD_FUNCTION_ARGUMENT;
}

TEST(HttpReader, restrictsToHttpWithTheOptionTheRunningLibcurlKnows) {
  CurlLibrary curl{};
  curl.easySetopt = oldLibcurlSetopt;
  EXPECT_TRUE(allowOnlyHttp(curl, nullptr));
  curl.easySetopt = newLibcurlSetopt;
  EXPECT_TRUE(allowOnlyHttp(curl, nullptr));
}

}  // namespace
}  // namespace zindle::link
