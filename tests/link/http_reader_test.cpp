#include "link/http_reader.hpp"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/loopback_http.hpp"

namespace zindle::testing {
namespace {

using namespace std::chrono_literals;
using link::CurlReader;

// A body of `size` bytes that parses as an empty array.
std::string arrayOf(std::size_t size) {
  return "[" + std::string(size - 2, ' ') + "]";
}

TEST(HttpReader, givesTheJsonOfA200AndNothingElseWithoutPrintingAWord) {
  struct Case {
    std::string target;
    HttpReply reply;
    std::optional<Json> expected;
  };
  // An answer whose body ends where the connection does.
  const auto unannounced = [](const std::string& body) {
    return HttpReply{"HTTP/1.1 200 OK\r\n\r\n" + body, 0, "", true};
  };
  const std::vector<Case> cases = {
      {"/ok", HttpReply::json(200, R"({"a": 1})"), Json{{"a", 1}}},
      {"/array", HttpReply::json(200, "[1]"), Json::array({1})},
      {"/404", HttpReply::json(404, "{}"), std::nullopt},
      {"/201", HttpReply::json(201, "{}"), std::nullopt},
      {"/text", HttpReply::json(200, "not json"), std::nullopt},
      // Not followed, or it would give the answer of "/ok".
      {"/302", HttpReply::json(302, "{}", "Location: /ok\r\n"), std::nullopt},
      // The reader's cap is 1024 bytes, the length announced or not.
      {"/fits", HttpReply::json(200, arrayOf(1024)), Json::array()},
      {"/over", HttpReply::json(200, arrayOf(1025)), std::nullopt},
      {"/fits-open", unannounced(arrayOf(1024)), Json::array()},
      {"/over-open", unannounced(arrayOf(1025)), std::nullopt},
  };
  LoopbackHttp server([&](const std::string& target) {
    for (const Case& c : cases) {
      if (c.target == target) return c.reply;
    }
    return HttpReply::json(500, "");
  });
  CurlReader reader(1024);

  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  for (const Case& c : cases) {
    EXPECT_EQ(reader.get(server.port(), c.target, 2s), c.expected) << c.target;
  }
  std::fflush(nullptr);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(HttpReader, readsAfreshWithPlainGetsOverOneKeptConnection) {
  int reads = 0;
  LoopbackHttp server([&](const std::string&) {
    return HttpReply::json(200, Json{{"read", ++reads}}.dump());
  });
  CurlReader reader;

  EXPECT_EQ(reader.get(server.port(), "/?HOST_INFO", 2s), (Json{{"read", 1}}));
  EXPECT_EQ(reader.get(server.port(), "/", 2s), (Json{{"read", 2}}));
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

TEST(HttpReader, givesNothingForABodyOneBytePastTheDefaultCap) {
  // Streamed by the server, so that no one holds the whole body.
  LoopbackHttp server([](const std::string&) {
    return HttpReply{"HTTP/1.1 200 OK\r\n\r\n[", link::kMaxBodyBytes - 1, "]",
                     true};
  });
  EXPECT_EQ(CurlReader().get(server.port(), "/", 2s), std::nullopt);
}

}  // namespace
}  // namespace zindle::testing
