// The server binary as a client meets it: what it answers, what it drops,
// how it ends, and the standard streams as a client may hand them over. No
// app is needed for any of this.

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>

#include "support/apps.hpp"
#include "support/server_session.hpp"

namespace zindle::testing {
namespace {

const std::string kPing =
    "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n";

TEST(Spine, answersOnlyRequestsInOrderAndEndsWithStatusZero) {
  // Nothing listens on ports 1 to 16: a tool call fails at once.
  ServerSession server(std::nullopt, {{"ZINDLE_OSCQUERY_PORT", "+1"}});
  auto& process = server.process();
  process.write(
      "\n"
      "not json\n"
      "{\"jsonrpc\":\"2.0\",\"method\":\"notifications/initialized\"}\n"
      "{\"jsonrpc\":\"2.0\",\n\"id\":3,\"method\":\"ping\"}\n"
      "{\"method\":\"tools/call\",\"params\":{\"name\":\"recorder_stop\"}}\n"
      "{\"id\":\"a/b\",\"method\":\"initialize\"}\r\n"
      "{\"id\":4,\"method\":\"tools/call\"}\n"
      "{\"id\":7,\"method\":\"ping\"}");
  process.closeInput();

  // The version is the build's: on a Mac, from the information dictionary
  // linked into the binary.
  const Json initialized = Json::parse(*process.readLine(Milliseconds(5000)));
  EXPECT_EQ(initialized["id"], "a/b");
  EXPECT_EQ(initialized["result"]["serverInfo"]["version"], ZINDLE_VERSION);
  const Json call = Json::parse(*process.readLine(Milliseconds(5000)));
  EXPECT_EQ(call["id"], 4);
  EXPECT_EQ(ServerSession::textOf(call["result"]),
            std::pair(true, unreachableText(1)));
  EXPECT_EQ(process.readLine(Milliseconds(5000)),
            R"({"id":7,"jsonrpc":"2.0","result":{}})");
  EXPECT_EQ(process.readRest(Milliseconds(5000)), "");
  EXPECT_EQ(process.wait(Milliseconds(5000)), 0);
  EXPECT_EQ(process.errorText(), "");
}

TEST(Spine, dropsALineCutShortByTheEndOfInputAndEndsQuietly) {
  ServerSession server(std::nullopt);
  auto& process = server.process();
  process.write(kPing + "{\"id\":2,\"meth");
  process.closeInput();
  EXPECT_EQ(process.readLine(Milliseconds(5000)),
            R"({"id":1,"jsonrpc":"2.0","result":{}})");
  EXPECT_EQ(process.readRest(Milliseconds(5000)), "");
  EXPECT_EQ(process.wait(Milliseconds(5000)), 0);
}

TEST(Spine, endsQuietlyWhenTheClientClosesItsOutput) {
  ServerSession server(std::nullopt);
  auto& process = server.process();
  process.closeOutput();
  // The answers have nowhere to go; the server must not die of SIGPIPE.
  for (int i = 0; i < 100 && process.write(kPing); ++i) {
  }
  process.closeInput();
  EXPECT_EQ(process.wait(Milliseconds(5000)), 0);
  EXPECT_EQ(process.errorText(), "");
}

TEST(Spine, survivesHugeAndDeeplyNestedLines) {
  ServerSession server(std::nullopt);
  auto& process = server.process();
  const std::string deep(100000, '[');
  const std::string huge = "{\"id\":1,\"method\":\"ping\",\"pad\":\"" +
                           std::string(17u << 20, 'x') + "\"}";
  std::thread writer([&] {
    process.write(deep + "\n" + huge + "\n" +
                  "{\"id\":2,\"method\":\"ping\"}\n");
    process.closeInput();
  });
  EXPECT_EQ(process.readLine(Milliseconds(20000)),
            R"({"id":2,"jsonrpc":"2.0","result":{}})");
  writer.join();
  EXPECT_EQ(process.wait(Milliseconds(5000)), 0);
}

// "Nothing to read yet" and "no room to write yet" are not the end: handed
// non-blocking pipes, the server once left at once, or after some 1,700 of
// 20,000 answers, with status 0.
TEST(Spine, answersEveryRequestOnNonBlockingStandardStreams) {
  ChildProcess process({kServerPath}, {},
                       {.nonBlockingInput = true, .nonBlockingOutput = true});
  constexpr int kRequests = 20000;
  std::thread writer([&] {
    // Nothing at first, so that the server finds its input empty.
    std::this_thread::sleep_for(Milliseconds(100));
    for (int i = 0; i < kRequests / 100; ++i) {
      std::string burst;
      for (int j = 0; j < 100; ++j) burst += kPing;
      process.write(burst);
      // Pauses, so that the server also finds its input empty.
      if (i % 20 == 0) std::this_thread::sleep_for(Milliseconds(5));
    }
    process.closeInput();
  });
  // A slow reader at first, so that the server finds its output full.
  std::this_thread::sleep_for(Milliseconds(200));
  int answered = 0;
  while (process.readLine(Milliseconds(10000))) ++answered;
  writer.join();
  EXPECT_EQ(answered, kRequests);
  EXPECT_EQ(process.wait(Milliseconds(5000)), 0);
}

// Started with descriptor 1 closed, the server once wrote its answers into
// whatever libcurl opened next and took that number (a socket of its own):
// after a few thousand answers that socket was full, and the server hung.
TEST(Spine, keepsItsAnswersOutOfLibcurlsSocketsWhenStartedWithoutOutput) {
  LoopbackHttp app(fakeApp("ZindleRecorder", 9000, Json{{"FULL_PATH", "/"}}));
  ChildProcess process({kServerPath},
                       {{"ZINDLE_OSCQUERY_PORT", std::to_string(app.port())}},
                       {.noOutput = true});
  std::string pings;
  for (int i = 0; i < 20000; ++i) pings += kPing;
  std::thread writer([&] {
    process.write(
        "{\"id\":1,\"method\":\"tools/call\",\"params\":{\"name\":"
        "\"recorder_status\"}}\n" +
        pings);
    process.closeInput();
  });
  const std::optional<int> status = process.wait(Milliseconds(10000));
  if (!status) process.kill(SIGKILL);  // hung: free the writer
  writer.join();
  EXPECT_EQ(status, 0);
  // The host information and the namespace, and nothing else.
  const std::vector<std::string> requests = app.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(app.received(), requests[0] + requests[1]);
}

}  // namespace
}  // namespace zindle::testing
