// The server binary as a client meets it: what it answers, what it drops, and
// how it ends. No app is needed for any of this.

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>

#include "support/server_session.hpp"

namespace zindle::testing {
namespace {

TEST(Spine, answersOnlyRequestsInOrderAndEndsWithStatusZero) {
  ServerSession server(std::nullopt);
  auto& process = server.process();
  process.write(
      "\n"
      "[]\n"
      "{}\n"
      "null\n"
      "not json\n"
      "{\"jsonrpc\":\"2.0\",\"method\":\"notifications/initialized\"}\n"
      "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}{\"id\":2}\n"
      "{\"jsonrpc\":\"2.0\",\n\"id\":3,\"method\":\"ping\"}\n"
      "{\"jsonrpc\":\"2.0\",\"method\":\"tools/call\",\"params\":{\"name\":"
      "\"recorder_stop\"}}\n"
      "{\"id\":\"a/b\",\"method\":\"ping\"}\r\n"
      "{\"id\":null,\"method\":\"resources/list\"}\n"
      "{\"id\":{\"deep\":[1,2.5,true]},\"method\":\"ping\"}\n"
      "[{\"id\":4,\"method\":\"ping\"}]\n"
      "\xff\xfe{\"id\":5,\"method\":\"ping\"}\n"
      "{\"id\":6,\"method\":\"ping\",\"params\":{\"x\":\"\xc3\x28\"}}\n"
      "{\"id\":7,\"method\":\"ping\"}");
  process.closeInput();

  EXPECT_EQ(process.readLine(Milliseconds(5000)),
            R"({"id":"a/b","jsonrpc":"2.0","result":{}})");
  EXPECT_EQ(process.readLine(Milliseconds(5000)),
            R"({"error":{"code":-32601,"message":"method not found: )"
            R"(resources/list"},"id":null,"jsonrpc":"2.0"})");
  EXPECT_EQ(process.readLine(Milliseconds(5000)),
            R"({"id":{"deep":[1,2.5,true]},"jsonrpc":"2.0","result":{}})");
  EXPECT_EQ(process.readLine(Milliseconds(5000)),
            R"({"id":7,"jsonrpc":"2.0","result":{}})");
  EXPECT_EQ(process.readRest(Milliseconds(5000)), "");
  EXPECT_EQ(process.wait(Milliseconds(5000)), 0);
  EXPECT_EQ(process.errorText(), "");
}

TEST(Spine, initializeEchoesTheClientsVersionAndNamesItself) {
  ServerSession server(std::nullopt);
  auto response =
      server.request("initialize", {{"protocolVersion", "2030-01-01"}});
  ASSERT_TRUE(response);
  const Json& result = (*response)["result"];
  EXPECT_EQ(result["protocolVersion"], "2030-01-01");
  EXPECT_EQ(result["capabilities"], Json::parse(R"({"tools":{}})"));
  // The build's version, linked into the binary on a Mac.
  EXPECT_EQ(result["serverInfo"],
            (Json{{"name", "zindle-recorder"}, {"version", ZINDLE_VERSION}}));
  EXPECT_EQ(result["instructions"],
            "Controls the ZindleRecorder app, which records several Syphon "
            "and NDI sources at once: each to its own movie file, all "
            "assembled in one movie (side by side, stacked, mosaic), or "
            "both. Call recorder_status first to see the sources and "
            "settings; recorder_configure chooses the sources; "
            "recorder_start and recorder_stop record.");

  auto numbered = server.request("initialize", {{"protocolVersion", 3}});
  ASSERT_TRUE(numbered);
  EXPECT_EQ((*numbered)["result"]["protocolVersion"], "2024-11-05");
  EXPECT_EQ(server.process().errorText(), "");
}

TEST(Spine, toolsListHoldsTheFourToolsInOrder) {
  ServerSession server(std::nullopt);
  auto response = server.request("tools/list", Json::object());
  ASSERT_TRUE(response);
  std::vector<std::string> names;
  for (const auto& tool : (*response)["result"]["tools"]) {
    names.push_back(tool["name"]);
  }
  EXPECT_EQ(names,
            (std::vector<std::string>{"recorder_status", "recorder_configure",
                                      "recorder_start", "recorder_stop"}));
}

TEST(Spine, aToolCallWithoutParamsIsAnErrorResultNotAnRpcError) {
  // Nothing listens on ports 1 to 16: discovery fails at once.
  ServerSession server(1);
  auto response = server.request("tools/call", nullptr);
  ASSERT_TRUE(response);
  EXPECT_FALSE(response->contains("error"));
  auto [isError, text] = ServerSession::textOf((*response)["result"]);
  EXPECT_TRUE(isError);
  EXPECT_EQ(text,
            "ZindleRecorder is not running, or its OSCQuery server is not on "
            "ports 1\u201316. Launch the app and retry (set "
            "ZINDLE_OSCQUERY_PORT if it uses another port).");
}

TEST(Spine, theRangeInTheUnreachableTextFollowsTheEnvironment) {
  for (auto [value, range] : std::vector<std::pair<std::string, std::string>>{
           {"abc", "9231\u20139246"},
           {" 9300", "9231\u20139246"},
           {"+9300", "9300\u20139315"},
           {"-1", "-1\u201314"},
           {"9223372036854775807",
            "9223372036854775807\u20139223372036854775822"}}) {
    ServerSession server(std::nullopt, {{"ZINDLE_OSCQUERY_PORT", value}});
    auto result = server.callTool("recorder_status");
    auto [isError, text] = ServerSession::textOf(result);
    EXPECT_TRUE(isError);
    EXPECT_NE(text.find("ports " + range + ". Launch"), std::string::npos)
        << value << ": " << text;
  }
}

TEST(Spine, endsQuietlyWhenTheClientClosesItsOutput) {
  ServerSession server(std::nullopt);
  auto& process = server.process();
  process.closeOutput();
  // The answers have nowhere to go; the server must not die of SIGPIPE.
  for (int i = 0; i < 100; ++i) {
    if (!process.write("{\"id\":1,\"method\":\"ping\"}\n")) break;
  }
  process.closeInput();
  EXPECT_EQ(process.wait(Milliseconds(5000)), 0);
  EXPECT_EQ(process.errorText(), "");
}

TEST(Spine, inputClosedInTheMiddleOfALineDropsThatLine) {
  ServerSession server(std::nullopt);
  auto& process = server.process();
  process.write("{\"id\":1,\"method\":\"ping\"}\n{\"id\":2,\"meth");
  process.closeInput();
  EXPECT_EQ(process.readLine(Milliseconds(5000)),
            R"({"id":1,"jsonrpc":"2.0","result":{}})");
  EXPECT_EQ(process.readRest(Milliseconds(5000)), "");
  EXPECT_EQ(process.wait(Milliseconds(5000)), 0);
}

TEST(Spine, survivesHugeAndDeeplyNestedLines) {
  ServerSession server(std::nullopt);
  auto& process = server.process();
  std::string deep(100000, '[');
  std::string huge = "{\"id\":1,\"method\":\"ping\",\"pad\":\"" +
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
  EXPECT_EQ(process.errorText(), "");
}

}  // namespace
}  // namespace zindle::testing
