#include "link/http_reader.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/curl_library.hpp"
#include "support/loopback_http.hpp"

namespace zindle::testing {
namespace {

using namespace std::chrono_literals;
using link::CurlReader;

// A body of `size` bytes.
std::string bodyOf(std::size_t size) { return std::string(size, 'b'); }

TEST(HttpReader, givesTheBodyOfA200AndNothingElseWithoutPrintingAWord) {
  struct Case {
    std::string target;
    HttpReply reply;
    std::optional<std::string> expected;
  };
  // An answer whose body ends where the connection does.
  const auto unannounced = [](const std::string& body) {
    return HttpReply{"HTTP/1.1 200 OK\r\n\r\n" + body, 0, "", true};
  };
  const std::vector<Case> cases = {
      {"/ok", HttpReply::json(200, R"({"a": 1})"), R"({"a": 1})"},
      {"/empty", HttpReply::json(200, ""), ""},
      {"/404", HttpReply::json(404, "{}"), std::nullopt},
      {"/201", HttpReply::json(201, "{}"), std::nullopt},
      // Not followed, or it would give the answer of "/ok".
      {"/302", HttpReply::json(302, "{}", "Location: /ok\r\n"), std::nullopt},
      // The reader's cap is 1024 bytes, the length announced or not.
      {"/fits", HttpReply::json(200, bodyOf(1024)), bodyOf(1024)},
      {"/over", HttpReply::json(200, bodyOf(1025)), std::nullopt},
      {"/fits-open", unannounced(bodyOf(1024)), bodyOf(1024)},
      {"/over-open", unannounced(bodyOf(1025)), std::nullopt},
  };
  LoopbackHttp server([&](const std::string& target) {
    for (const Case& c : cases) {
      if (c.target == target) return c.reply;
    }
    return HttpReply::json(500, "");
  });
  // Proxy variables would send every request to a port nobody listens on.
  const std::string proxy = "http://127.0.0.1:1";
  setenv("http_proxy", proxy.c_str(), 1);
  setenv("ALL_PROXY", proxy.c_str(), 1);
  CurlReader reader(1024);

  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    const std::optional<std::string_view> body =
        reader.get(server.port(), c.target, 2s);
    EXPECT_EQ(body ? std::optional<std::string>(*body) : std::nullopt,
              c.expected)
        << c.target;
  }
  std::fflush(nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  unsetenv("http_proxy");
  unsetenv("ALL_PROXY");
}

TEST(HttpReader, readsAfreshWithPlainGetsOverOneKeptConnection) {
  int reads = 0;
  LoopbackHttp server([&](const std::string&) {
    return HttpReply::json(200, std::to_string(++reads));
  });
  CurlReader reader;

  EXPECT_EQ(reader.get(server.port(), "/?HOST_INFO", 2s), "1");
  EXPECT_EQ(reader.get(server.port(), "/", 2s), "2");
  EXPECT_EQ(server.connections(), 1);
  const std::string host = "Host: 127.0.0.1:" + std::to_string(server.port());
  EXPECT_EQ(
      server.requests(),
      (std::vector<std::string>{
          "GET /?HOST_INFO HTTP/1.1\r\n" + host + "\r\nAccept: */*\r\n\r\n",
          "GET / HTTP/1.1\r\n" + host + "\r\nAccept: */*\r\n\r\n"}));
}

TEST(HttpReader, givesNothingOnceTheTimeOutPassesWithoutAnAnswer) {
  LoopbackHttp server(
      [](const std::string&) { return HttpReply{.hang = true}; });

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CurlReader().get(server.port(), "/", 200ms), std::nullopt);
  const auto waited = std::chrono::steady_clock::now() - start;

  EXPECT_GE(waited, 190ms);  // libcurl rounds its clock to the millisecond
  EXPECT_LT(waited, 5s);
}

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
  link::CurlLibrary curl{};
  curl.easySetopt = oldLibcurlSetopt;
  EXPECT_TRUE(link::allowOnlyHttp(curl, nullptr));
  curl.easySetopt = newLibcurlSetopt;
  EXPECT_TRUE(link::allowOnlyHttp(curl, nullptr));
}

}  // namespace
}  // namespace zindle::testing
