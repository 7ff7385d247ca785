// How the server binary finds the app and speaks to it: discovery over a
// range of ports through real HTTP, and the OSC bytes that reach the app.

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
  return {
      {"FULL_PATH", "/"},
      {"CONTENTS",
       {{"state",
         {{"FULL_PATH", "/status/state"}, {"VALUE", Json::array({state})}}}}}};
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

TEST(Sending, theStopCommandReachesTheAppByteForByte) {
  DatagramCollector osc;
  LoopbackHttp app(
      fakeApp("ZindleRecorder", osc.port(), minimalTree("recording")));
  ServerSession server(app.port());
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
