// How the server binary finds and reads the app: discovery over a range of
// ports, what counts as no answer, and the OSC bytes that reach the app.

#include <gtest/gtest.h>

#include <lo/lo.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "support/apps.hpp"
#include "support/server_session.hpp"

namespace zindle::testing {
namespace {

Json minimalTree(const std::string& state) {
  return {{"FULL_PATH", "/"},
          {"CONTENTS",
           {{"status",
             {{"FULL_PATH", "/status"},
              {"CONTENTS",
               {{"state",
                 {{"FULL_PATH", "/status/state"},
                  {"VALUE", Json::array({state})}}}}}}}}}};
}

TEST(Discovery, passesOverAnotherAppAndFindsTheRecorderTwoPortsUp) {
  int first = freePortRange(3);
  LoopbackHttp other(fakeApp("zindlerecorder", 9000, minimalTree("other")),
                     first);
  Simulator sim({}, first + 2);
  ASSERT_TRUE(sim.started());

  ServerSession server(first);
  auto [isError, text] =
      ServerSession::textOf(server.callTool("recorder_status"));
  ASSERT_FALSE(isError) << text;
  EXPECT_EQ(Json::parse(text)["state"], "idle");
  // HOST_INFO only: never read as the app.
  EXPECT_EQ(other.requests().size(), 1u);
  EXPECT_EQ(server.process().errorText(), "");
}

TEST(Discovery, isNotSteeredByProxyVariables) {
  Simulator sim;
  ASSERT_TRUE(sim.started());
  int dead = freePortRange(1);
  std::string proxy = "http://127.0.0.1:" + std::to_string(dead);
  ServerSession server(sim.queryPort(), {{"http_proxy", proxy},
                                         {"HTTP_PROXY", proxy},
                                         {"ALL_PROXY", proxy},
                                         {"NO_PROXY", "nothing.example"}});
  auto [isError, text] =
      ServerSession::textOf(server.callTool("recorder_status"));
  EXPECT_FALSE(isError) << text;
}

TEST(Discovery, noAnswerOnAnyPortIsTheUnreachableText) {
  int first = freePortRange(16);
  ServerSession server(first);
  for (const char* tool :
       {"recorder_status", "recorder_stop", "no_such_tool"}) {
    auto [isError, text] = ServerSession::textOf(server.callTool(tool));
    EXPECT_TRUE(isError);
    EXPECT_EQ(text, unreachableText(first)) << tool;
  }
}

TEST(Discovery, aServerThatNeverAnswersCostsItsTimeOutAndNoMore) {
  int first = freePortRange(16);
  LoopbackHttp silent(
      [](const std::string&) { return HttpReply{.hang = true}; }, first);
  ServerSession server(first);
  auto [isError, text, elapsed] = server.timedCall("recorder_status");
  EXPECT_EQ(text, unreachableText(first));
  // One half-second time-out for the one port that listens; a generous
  // bound, as the machine may be busy.
  EXPECT_GE(elapsed, std::chrono::milliseconds(450));
  EXPECT_LT(elapsed, std::chrono::milliseconds(3000));
}

TEST(Reading, aNamespaceThatIsNotAnObjectIsNoAnswer) {
  for (const auto& answer : std::vector<std::pair<int, std::string>>{
           {404, "{}"}, {200, "[]"}, {200, "not json"}, {200, ""}}) {
    int first = freePortRange(16);
    LoopbackHttp app(
        [answer](const std::string& target) {
          if (target == "/?HOST_INFO") {
            return HttpReply::json(
                200, R"({"NAME":"ZindleRecorder","OSC_PORT":9000})");
          }
          return HttpReply::json(answer.first, answer.second);
        },
        first);
    ServerSession server(first);
    auto [isError, text] =
        ServerSession::textOf(server.callTool("recorder_status"));
    EXPECT_TRUE(isError);
    EXPECT_EQ(text, unreachableText(first))
        << answer.first << " " << answer.second;
  }
}

TEST(Sending, theStopCommandReachesTheAppByteForByte) {
  DatagramCollector osc;
  int first = freePortRange(16);
  LoopbackHttp app(
      fakeApp("ZindleRecorder", osc.port(), minimalTree("recording")), first);
  ServerSession server(first);
  // The fake app never goes idle; the datagram is all this test wants.
  std::thread call([&] { server.callTool("recorder_stop"); });
  auto datagram = osc.next(std::chrono::milliseconds(5000));
  ASSERT_TRUE(datagram);
  EXPECT_EQ(*datagram, std::string("/record\0,i\0\0\0\0\0\0", 16));

  // An independent decoder reads the same message.
  int result = 0;
  lo_message message =
      lo_message_deserialise(datagram->data(), datagram->size(), &result);
  ASSERT_NE(message, nullptr);
  EXPECT_STREQ(lo_message_get_types(message), "i");
  EXPECT_EQ(lo_message_get_argv(message)[0]->i, 0);
  lo_message_free(message);
  server.process().kill(SIGKILL);
  call.join();
}

}  // namespace
}  // namespace zindle::testing
