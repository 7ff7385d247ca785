#include "link/http_reader.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "link/loopback_http_server.hpp"

namespace {

using namespace std::chrono_literals;
using zindle::Json;
using zindle::link::CurlReader;
using zindle::link::kMaxBodyBytes;
using zindle::testing::HttpReply;
using zindle::testing::httpResponse;
using zindle::testing::LoopbackHttpServer;
using zindle::testing::okJson;
using zindle::testing::RefusingPort;

constexpr auto kPatience = 2000ms;

std::string expectedRequest(std::int64_t port, const std::string& path) {
  return "GET " + path +
         " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
         "\r\nAccept: */*\r\n\r\n";
}

// What one reader gets from a server that gives `reply` to its one request.
std::optional<Json> readOnce(HttpReply reply) {
  // Moved out rather than copied: some replies are tens of megabytes.
  LoopbackHttpServer server(
      [&](const std::string&) { return std::move(reply); });
  return CurlReader().get(server.port(), "/", kPatience);
}

// Sets environment variables for one test and puts back what was there.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::initializer_list<const char*> names,
                    const std::string& value) {
    for (const char* name : names) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name,
                          old ? std::optional<std::string>(old) : std::nullopt);
      ::setenv(name, value.c_str(), 1);
    }
  }
  ~ScopedEnvironment() {
    for (const auto& [name, old] : saved_) {
      if (old) {
        ::setenv(name, old->c_str(), 1);
      } else {
        ::unsetenv(name);
      }
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(HttpReader, returnsTheObjectOfA200JsonAnswerToAPlainGet) {
  LoopbackHttpServer server([](const std::string&) {
    return okJson(R"({"NAME": "ZindleRecorder", "OSC_PORT": 9000})");
  });
  CurlReader reader;

  EXPECT_EQ(reader.get(server.port(), "/?HOST_INFO", kPatience),
            Json({{"NAME", "ZindleRecorder"}, {"OSC_PORT", 9000}}));
  // No headers of our own, and the path exactly as given.
  EXPECT_EQ(server.requests(), std::vector<std::string>{expectedRequest(
                                   server.port(), "/?HOST_INFO")});
}

TEST(HttpReader, returnsATopLevelArrayAsItIs) {
  EXPECT_EQ(readOnce(okJson("[]")), Json::array());
  EXPECT_EQ(readOnce(okJson(R"([1, "two"])")), Json::array({1, "two"}));
}

TEST(HttpReader, givesNothingForAnyStatusButExactly200) {
  for (const auto& [status, reason] :
       std::vector<std::pair<int, std::string>>{{404, "Not Found"},
                                                {201, "Created"},
                                                {203, "Non-Authoritative"},
                                                {500, "Server Error"}}) {
    SCOPED_TRACE(status);
    EXPECT_EQ(readOnce({httpResponse(status, reason, "{}")}), std::nullopt);
  }
}

TEST(HttpReader, givesNothingForA200WhoseBodyIsNotAJsonDocument) {
  for (const std::string& body : std::vector<std::string>{
           "", "not json", "5", "\"text\"", "{} {}", "{\"a\": }",
           std::string("{}\0{", 4),
           std::string(600, '[') + std::string(600, ']')}) {
    SCOPED_TRACE(body.substr(0, 20));
    EXPECT_EQ(readOnce(okJson(body)), std::nullopt);
  }
}

TEST(HttpReader, givesNothingForAnAnswerThatIsNotHttp) {
  // A bare body without a status line, as an HTTP/0.9 server would send it.
  EXPECT_EQ(readOnce({"{}", /*close=*/true}), std::nullopt);
}

TEST(HttpReader, readsABodyThatEndsWhenTheConnectionCloses) {
  EXPECT_EQ(readOnce({"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n{\"a\":1}",
                      /*close=*/true}),
            Json({{"a", 1}}));
}

TEST(HttpReader, doesNotFollowARedirect) {
  LoopbackHttpServer target(
      [](const std::string&) { return okJson(R"({"moved": true})"); });
  LoopbackHttpServer server([&](const std::string&) {
    return HttpReply{httpResponse(302, "Found", "{}",
                                  "Location: http://127.0.0.1:" +
                                      std::to_string(target.port()) + "/\r\n")};
  });

  EXPECT_EQ(CurlReader().get(server.port(), "/", kPatience), std::nullopt);
  EXPECT_EQ(target.connections(), 0);
}

TEST(HttpReader, isNotSentThroughAProxyNamedInTheEnvironment) {
  RefusingPort deadProxy;
  ScopedEnvironment proxies(
      {"http_proxy", "HTTP_PROXY", "ALL_PROXY", "all_proxy"},
      "http://127.0.0.1:" + std::to_string(deadProxy.port()));
  LoopbackHttpServer server(
      [](const std::string&) { return okJson(R"({"direct": true})"); });

  EXPECT_EQ(CurlReader().get(server.port(), "/", kPatience),
            Json({{"direct", true}}));
  EXPECT_EQ(server.requests(),
            std::vector<std::string>{expectedRequest(server.port(), "/")});
}

TEST(HttpReader, keepsOneConnectionForItsReadsAndReadsAfreshEachTime) {
  int answered = 0;
  LoopbackHttpServer server([&](const std::string&) {
    return okJson(Json({{"read", ++answered}}).dump());
  });
  CurlReader reader;

  EXPECT_EQ(reader.get(server.port(), "/", kPatience), Json({{"read", 1}}));
  EXPECT_EQ(reader.get(server.port(), "/", kPatience), Json({{"read", 2}}));
  EXPECT_EQ(server.connections(), 1);
}

TEST(HttpReader, staysUsableAfterAMove) {
  LoopbackHttpServer server(
      [](const std::string&) { return okJson(R"({"a": 1})"); });
  CurlReader first;
  ASSERT_EQ(first.get(server.port(), "/", kPatience), Json({{"a", 1}}));

  CurlReader second(std::move(first));
  EXPECT_EQ(second.get(server.port(), "/", kPatience), Json({{"a", 1}}));
  EXPECT_EQ(server.connections(), 1);  // the connection moved along
  EXPECT_EQ(first.get(server.port(), "/", kPatience), Json({{"a", 1}}));
  EXPECT_EQ(server.connections(), 2);
}

TEST(HttpReader, givesNothingAtOnceWhenNothingListens) {
  RefusingPort closed;
  EXPECT_EQ(CurlReader().get(closed.port(), "/", kPatience), std::nullopt);
}

TEST(HttpReader, givesNothingOnceTheTimeOutPassesWithoutAnAnswer) {
  LoopbackHttpServer server([](const std::string&) {
    return HttpReply{"", false, true};
  });
  CurlReader reader;

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(reader.get(server.port(), "/", 200ms), std::nullopt);
  const auto waited = std::chrono::steady_clock::now() - start;

  EXPECT_GE(waited, 190ms);  // libcurl rounds its clock to the millisecond
  EXPECT_LT(waited, 5s);     // bounded by the time-out, not by the server
  EXPECT_EQ(server.connections(), 1);
}

TEST(HttpReader, takesABodyOfExactlyTheLimitAndNothingLonger) {
  constexpr std::size_t kLimit = 1024;
  const auto bodyOf = [](std::size_t size) {
    return "[" + std::string(size - 2, ' ') + "]";
  };
  LoopbackHttpServer server([&](const std::string& request) {
    const std::size_t size =
        request.starts_with("GET /long") ? kLimit + 1 : kLimit;
    // Once announced, once only ended by closing: both ways are capped.
    if (request.find("unannounced") != std::string::npos) {
      return HttpReply{"HTTP/1.1 200 OK\r\n\r\n" + bodyOf(size), true};
    }
    return okJson(bodyOf(size));
  });
  CurlReader reader(kLimit);

  EXPECT_EQ(reader.get(server.port(), "/fits", kPatience), Json::array());
  EXPECT_EQ(reader.get(server.port(), "/long", kPatience), std::nullopt);
  EXPECT_EQ(reader.get(server.port(), "/fits?unannounced", kPatience),
            Json::array());
  EXPECT_EQ(reader.get(server.port(), "/long?unannounced", kPatience),
            std::nullopt);
}

TEST(HttpReader, givesNothingForABodyPastTheDefaultLimit) {
  EXPECT_EQ(kMaxBodyBytes, 64u * 1024 * 1024);
  // Valid JSON one byte too long, its length not announced.
  HttpReply reply{"HTTP/1.1 200 OK\r\n\r\n[", /*close=*/true};
  reply.blanks = kMaxBodyBytes - 1;
  reply.trailer = "]";
  EXPECT_EQ(readOnce(std::move(reply)), std::nullopt);
}

TEST(HttpReader, makesNoRequestForAPathThatIsNotPlainOrATimeOutOfNothing) {
  LoopbackHttpServer server([](const std::string&) { return okJson("{}"); });
  CurlReader reader;

  for (const std::string& path : std::vector<std::string>{
           "", "no-slash", "/a b", "/\r\nX-Injected: 1", std::string("/\0", 2),
           "/\x7f", "/caf\xc3\xa9"}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(reader.get(server.port(), path, kPatience), std::nullopt);
  }
  EXPECT_EQ(reader.get(server.port(), "/", 0ms), std::nullopt);
  EXPECT_EQ(reader.get(server.port(), "/", -1ms), std::nullopt);
  EXPECT_EQ(server.connections(), 0);
}

TEST(HttpReader, givesNothingForAPortOutsideTheTcpRange) {
  CurlReader reader;
  for (const std::int64_t port : {std::int64_t{0}, std::int64_t{-1},
                                  std::int64_t{65536}, INT64_MAX, INT64_MIN}) {
    SCOPED_TRACE(port);
    EXPECT_EQ(reader.get(port, "/", kPatience), std::nullopt);
  }
}

TEST(HttpReader, writesNothingToStandardOutputOrError) {
  LoopbackHttpServer server([](const std::string& request) {
    return request.starts_with("GET /missing")
               ? HttpReply{httpResponse(404, "Not Found", "nothing here")}
               : okJson(R"({"a": 1})");
  });
  CurlReader reader;

  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const auto found = reader.get(server.port(), "/", kPatience);
  const auto missing = reader.get(server.port(), "/missing", kPatience);
  std::fflush(nullptr);
  const std::string out = ::testing::internal::GetCapturedStdout();
  const std::string err = ::testing::internal::GetCapturedStderr();

  EXPECT_EQ(found, Json({{"a", 1}}));
  EXPECT_EQ(missing, std::nullopt);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
}

}  // namespace
