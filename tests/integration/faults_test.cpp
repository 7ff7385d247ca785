// What the world can do to the server, and what the server must do then:
// an app that dies, stalls, moves or floods it, and a client that sends
// 10,000 requests among junk.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/apps.hpp"
#include "support/loopback_http.hpp"
#include "support/server_session.hpp"

namespace zindle::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The server's cap on a body (link::kMaxBodyBytes), and the most a call may
// cost: twenty times that. AddressSanitizer keeps freed blocks in quarantine
// and adds its shadow, so its build may take twice as much.
constexpr std::size_t kBodyCap = 4u << 20;
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZINDLE_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(ZINDLE_UNDER_ASAN)
constexpr long kPeakLimitKb = 2 * 20 * (kBodyCap / 1024);
#else
constexpr long kPeakLimitKb = 20 * (kBodyCap / 1024);
#endif

const std::string kHostInfo = R"({"NAME":"ZindleRecorder","OSC_PORT":9000})";

TEST(Faults, anAppKilledDuringAStopEndsItPromptly) {
  int first = freePortRange(16);
  auto sim = std::make_unique<Simulator>(
      std::vector<std::string>{"--finish-seconds", "100"}, first);
  ASSERT_TRUE(sim->started());
  ServerSession server(first);
  ASSERT_FALSE(ServerSession::textOf(
                   server.callTool("recorder_start", {{"source", "main"}}))
                   .first);
  std::thread killer([&] {
    std::this_thread::sleep_for(milliseconds(300));
    sim->process().kill(SIGKILL);
  });
  auto begun = Clock::now();
  auto [isError, text] =
      ServerSession::textOf(server.callTool("recorder_stop"));
  killer.join();
  EXPECT_TRUE(isError);
  EXPECT_EQ(text, unreachableText(first));
  EXPECT_LT(Clock::now() - begun, milliseconds(5000));
}

TEST(Faults, anAppThatStallsInTheMiddleOfAnAnswerCostsItsTimeOut) {
  int first = freePortRange(16);
  LoopbackHttp app(
      [](const std::string& target) {
        if (target == "/?HOST_INFO") return HttpReply::json(200, kHostInfo);
        // Half a body, then nothing more on an open connection.
        return HttpReply{.bytes =
                             "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n"
                             "{\"FULL_PATH\":\"/\","};
      },
      first);
  ServerSession server(first);
  auto [isError, text, elapsed] = server.timedCall("recorder_status");
  EXPECT_EQ(text, unreachableText(first));
  EXPECT_GE(elapsed, milliseconds(1900));
  EXPECT_LT(elapsed, milliseconds(5000));
}

TEST(Faults, anAppRestartedOnAnotherPortIsFoundAgain) {
  int first = freePortRange(16);
  ServerSession server(first);
  auto sim = std::make_unique<Simulator>(std::vector<std::string>{}, first);
  ASSERT_FALSE(ServerSession::textOf(server.callTool("recorder_status")).first);
  sim.reset();
  sim = std::make_unique<Simulator>(std::vector<std::string>{}, first + 5);
  ASSERT_TRUE(sim->started());
  auto [isError, text] =
      ServerSession::textOf(server.callTool("recorder_status"));
  EXPECT_FALSE(isError) << text;
}

// The memory of a call is bounded by the body cap: an answer at the cap of
// the shape that costs the most (a value of a million empty arrays: the
// parser's tape and Json values take many times its bytes), and an answer far
// past the cap, streamed with no length announced.
TEST(Faults, aHostileNamespaceCostsASmallMultipleOfTheBodyCap) {
  std::string atTheCap =
      R"({"FULL_PATH":"/","CONTENTS":{"v":{"FULL_PATH":"/status/version",)"
      R"("VALUE":[[[])";
  const std::string end = "]]}}}";
  while (atTheCap.size() + 3 + end.size() <= kBodyCap) atTheCap += ",[]";
  atTheCap += end;
  const HttpReply replies[] = {
      HttpReply::json(200, atTheCap),
      {.bytes = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n[",
       .blanks = std::size_t{512} << 20,
       .tail = "]",
       .close = true},
  };
  for (const HttpReply& reply : replies) {
    int first = freePortRange(16);
    LoopbackHttp app(
        [&](const std::string& target) {
          return target == "/?HOST_INFO" ? HttpReply::json(200, kHostInfo)
                                         : reply;
        },
        first);
    ServerSession server(first);
    auto [isError, text] =
        ServerSession::textOf(server.callTool("recorder_status"));
    const long peakKb = server.process().memory().peakKb;
    EXPECT_GT(peakKb, 0);  // measured, not unknown
    EXPECT_LT(peakKb, kPeakLimitKb) << text.substr(0, 100);
  }
}

TEST(Soak, tenThousandRequestsAmongJunkAreEachAnsweredOnceInOrder) {
  // Nothing listens on the ports: every tool call fails fast.
  ServerSession server(freePortRange(16));
  auto& process = server.process();
  const std::vector<std::string> junk = {
      "not json",
      "[{\"id\":0,\"method\":\"ping\"}]",
      "{\"jsonrpc\":\"2.0\",\"method\":\"notifications/initialized\"}",
      "{\"id\":0,\"method\":\"ping\",\"pad\":\"" + std::string(1 << 16, 'x') +
          "\"}x",
      std::string(10000, '[') + std::string(10000, ']'),
      "{\"id\":0,\"method\":\"ping\",\"bad\":\"\xc3\x28\"}",
      "",
  };
  // A tool call probes sixteen ports; a few of them are enough here.
  const std::vector<std::string> methods = {"ping", "tools/list", "initialize",
                                            "no/such"};
  constexpr int kRequests = 10000;
  std::thread writer([&] {
    for (int id = 1; id <= kRequests; ++id) {
      std::string line =
          "{\"jsonrpc\":\"2.0\",\"id\":" + std::to_string(id) +
          ",\"method\":\"" +
          (id % 100 == 0 ? "tools/call" : methods[id % methods.size()]) +
          "\"}\n";
      if (id % 3 == 0) line += junk[(id / 3) % junk.size()] + "\n";
      if (!process.write(line)) return;
    }
    process.closeInput();
  });
  long halfwayPeak = 0;
  int answered = 0;
  while (auto line = process.readLine(milliseconds(20000))) {
    Json response = Json::parse(*line);
    ++answered;
    ASSERT_EQ(response["id"], answered);
    if (answered == kRequests / 2) halfwayPeak = process.memory().peakKb;
  }
  writer.join();
  EXPECT_EQ(answered, kRequests);
  EXPECT_EQ(process.wait(milliseconds(5000)), 0);
  EXPECT_EQ(process.errorText(), "");
  // Flat: the second half of the run adds nothing to the first's peak.
  EXPECT_GT(halfwayPeak, 0);
  EXPECT_LE(process.memory().peakKb, halfwayPeak + 1024);
}

}  // namespace
}  // namespace zindle::testing
