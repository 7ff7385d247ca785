#include "link/curl_library.hpp"

#include <gtest/gtest.h>

namespace {

using zindle::link::curlLibrary;

TEST(CurlLibrary, loadsLibcurlOnceWithEveryEntryPointBound) {
  const auto* library = curlLibrary();

  ASSERT_NE(library, nullptr);
  EXPECT_EQ(curlLibrary(), library);
  EXPECT_NE(library->globalInit, nullptr);
  EXPECT_NE(library->easyInit, nullptr);
  EXPECT_NE(library->easySetopt, nullptr);
  EXPECT_NE(library->easyPerform, nullptr);
  EXPECT_NE(library->easyGetinfo, nullptr);
  EXPECT_NE(library->easyCleanup, nullptr);
}

TEST(CurlLibrary, givesEasyHandlesThatTakeTheOptionsTheReaderSets) {
  const auto* library = curlLibrary();
  ASSERT_NE(library, nullptr);

  CURL* easy = library->easyInit();
  ASSERT_NE(easy, nullptr);
  // The newest options the reader needs: the library loaded at run time
  // must be as recent as the headers it was built against.
  EXPECT_EQ(library->easySetopt(easy, CURLOPT_PROTOCOLS_STR, "http"), CURLE_OK);
  EXPECT_EQ(library->easySetopt(easy, CURLOPT_HTTP09_ALLOWED, 0L), CURLE_OK);
  library->easyCleanup(easy);
}

}  // namespace
