#include "server/request_handler.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "link/recorder_error.hpp"
#include "server/catalogue.hpp"
#include "server/line_reader.hpp"

namespace zindle::server {
namespace {

// Stands in for the dispatch: keeps every call and answers as told.
struct FakeTools {
  std::vector<std::pair<std::string, Json>> calls;
  std::function<Json()> answer = [] { return Json{{"isError", false}}; };

  ToolCaller caller() {
    return [this](std::string_view name, const Json& arguments) {
      calls.emplace_back(std::string(name), arguments);
      return answer();
    };
  }
};

const char* const kInstructions =
    "Controls the ZindleRecorder app, which records several Syphon and NDI "
    "sources at once: each to its own movie file, all assembled in one movie "
    "(side by side, stacked, mosaic), or both. Call recorder_status first to "
    "see the sources and settings; recorder_configure chooses the sources; "
    "recorder_start and recorder_stop record.";

Json initializeResponse(const Json& id, std::string_view protocolVersion) {
  return Json{
      {"jsonrpc", "2.0"},
      {"id", id},
      {"result",
       {{"protocolVersion", protocolVersion},
        {"capabilities", {{"tools", Json::object()}}},
        {"serverInfo", {{"name", "zindle-recorder"}, {"version", "dev"}}},
        {"instructions", kInstructions}}}};
}

Json toolError(const Json& id, std::string_view text) {
  return Json{
      {"jsonrpc", "2.0"},
      {"id", id},
      {"result",
       {{"content", {{{"type", "text"}, {"text", text}}}}, {"isError", true}}}};
}

std::optional<Json> answer(std::string_view line) {
  FakeTools tools;
  return handleLine(line, tools.caller());
}

TEST(RequestHandler, dropsEveryLineThatIsNotARequest) {
  FakeTools tools;
  const std::string deep = "{\"id\":1,\"method\":\"tools/call\",\"params\":" +
                           std::string(600, '[') + std::string(600, ']') + "}";
  for (std::string_view line :
       {"",
        "[]",
        "{}",
        "null",
        "\"ping\"",
        "42",
        "ping",
        " ",
        "\r",
        R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
        R"({"id":1,"method":"tools/call"}{"id":2,"method":"ping"})",
        R"({"id":1,"method":"ping"} x)",
        R"({"id":1,"method":"ping")",
        R"([{"id":1,"method":"ping"}])",
        R"({"id":1})",
        R"({"id":1,"method":7})",
        R"({"id":1,"method":null})",
        R"({"id":1,"method":["ping"]})",
        "{\"id\":1,\"method\":\"ping\",\"x\":\"\xff\"}",
        "{\"id\":1,\"method\":\"p\xc3\"}"}) {
    EXPECT_EQ(handleLine(line, tools.caller()), std::nullopt) << line;
  }
  EXPECT_EQ(handleLine(deep, tools.caller()), std::nullopt);
  // The parser would stop at the NUL and take the call before it.
  EXPECT_EQ(handleLine(std::string_view(
                           "{\"id\":1,\"method\":\"tools/call\"}\0{}", 33),
                       tools.caller()),
            std::nullopt);
  EXPECT_TRUE(tools.calls.empty());
}

TEST(RequestHandler, answersPingWithAnEmptyResult) {
  const Json pong = {{"jsonrpc", "2.0"}, {"id", 1}, {"result", Json::object()}};
  EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":1,"method":"ping"})"), pong);
  // The other members are not looked at, and a CR is whitespace.
  EXPECT_EQ(
      answer(R"({"jsonrpc":"1.0","id":1,"method":"ping","params":[1],"x":{}})"),
      pong);
  EXPECT_EQ(answer("{\"id\":1,\"method\":\"ping\"}\r"), pong);
}

TEST(RequestHandler, echoesIdsOfEveryType) {
  for (std::string_view id :
       {"1", "0", "-7", "2.5", "18446744073709551615", "-9223372036854775808",
        "\"abc\"", "\"\"", "\"caf\xc3\xa9\"", "null", "true", "false",
        "[1,\"x\",null]", "{\"k\":[1]}", "{}"}) {
    const std::optional<Json> response =
        answer("{\"method\":\"ping\",\"id\":" + std::string(id) + "}");
    ASSERT_TRUE(response) << id;
    EXPECT_EQ((*response)["id"].dump(), id);
  }
}

TEST(RequestHandler, echoesTheProtocolVersionAskedFor) {
  EXPECT_EQ(answer(R"({"id":1,"method":"initialize",)"
                   R"("params":{"protocolVersion":"2030-01-01"}})"),
            initializeResponse(1, "2030-01-01"));
  EXPECT_EQ(answer(R"({"id":"a","method":"initialize",)"
                   R"("params":{"protocolVersion":""}})"),
            initializeResponse("a", ""));
}

TEST(RequestHandler, answersTheDefaultProtocolVersionOtherwise) {
  EXPECT_EQ(answer(R"({"id":1,"method":"initialize"})"),
            initializeResponse(1, "2024-11-05"));
  EXPECT_EQ(answer(R"({"id":1,"method":"initialize",)"
                   R"("params":{"protocolVersion":20301}})"),
            initializeResponse(1, "2024-11-05"));
  EXPECT_EQ(answer(R"({"id":1,"method":"initialize",)"
                   R"("params":["2030-01-01"]})"),
            initializeResponse(1, "2024-11-05"));
}

TEST(RequestHandler, listsTheWholeCatalogueWithoutPaging) {
  EXPECT_EQ(
      answer(R"({"id":3,"method":"tools/list","params":{"cursor":"x"}})"),
      (Json{{"jsonrpc", "2.0"}, {"id", 3}, {"result", {{"tools", tools()}}}}));
}

TEST(RequestHandler, refusesOtherMethodsWithMethodNotFound) {
  for (std::string_view method :
       {"resources/list", "Ping", "tools/list ", "", "caf\xc3\xa9"}) {
    EXPECT_EQ(
        answer("{\"id\":9,\"method\":\"" + std::string(method) + "\"}"),
        (Json{{"jsonrpc", "2.0"},
              {"id", 9},
              {"error",
               {{"code", -32601},
                {"message", "method not found: " + std::string(method)}}}}))
        << method;
  }
}

TEST(RequestHandler, passesTheToolNameAndArgumentsAndReturnsTheResult) {
  FakeTools tools;
  const Json result = {{"content", {{{"type", "text"}, {"text", "{}"}}}},
                       {"isError", false}};
  tools.answer = [&] { return result; };
  EXPECT_EQ(handleLine(R"({"id":5,"method":"tools/call","params":)"
                       R"({"name":"recorder_start","arguments":{"fps":30}}})",
                       tools.caller()),
            (Json{{"jsonrpc", "2.0"}, {"id", 5}, {"result", result}}));
  ASSERT_EQ(tools.calls.size(), 1u);
  EXPECT_EQ(tools.calls[0].first, "recorder_start");
  EXPECT_EQ(tools.calls[0].second, (Json{{"fps", 30}}));
}

TEST(RequestHandler, callsWithTheEmptyNameAndNoArgumentsWithoutParams) {
  FakeTools tools;
  tools.answer = []() -> Json {
    throw RecorderError::badArguments("unknown tool ");
  };
  EXPECT_EQ(handleLine(R"({"id":1,"method":"tools/call"})", tools.caller()),
            toolError(1, "unknown tool "));
  ASSERT_EQ(tools.calls.size(), 1u);
  EXPECT_EQ(tools.calls[0].first, "");
  EXPECT_EQ(tools.calls[0].second, Json::object());
}

TEST(RequestHandler, replacesANameOrArgumentsOfTheWrongType) {
  FakeTools tools;
  handleLine(R"({"id":1,"method":"tools/call","params":)"
             R"({"name":5,"arguments":[1]}})",
             tools.caller());
  handleLine(R"({"id":2,"method":"tools/call","params":)"
             R"({"name":null,"arguments":"fps"}})",
             tools.caller());
  ASSERT_EQ(tools.calls.size(), 2u);
  for (const auto& [name, arguments] : tools.calls) {
    EXPECT_EQ(name, "");
    EXPECT_EQ(arguments, Json::object());
  }
}

TEST(RequestHandler, turnsARecorderErrorIntoAToolResult) {
  FakeTools tools;
  tools.answer = []() -> Json { throw RecorderError::unreachable(9231, 16); };
  EXPECT_EQ(handleLine(R"({"id":"s","method":"tools/call",)"
                       R"("params":{"name":"recorder_status"}})",
                       tools.caller()),
            toolError("s",
                      "ZindleRecorder is not running, or its OSCQuery server "
                      "is not on ports 9231\u20139246. Launch the app and "
                      "retry (set ZINDLE_OSCQUERY_PORT if it uses another "
                      "port)."));
}

TEST(RequestHandler, turnsAnyOtherFailureIntoAToolResult) {
  FakeTools tools;
  const std::string line = R"({"id":1,"method":"tools/call"})";
  tools.answer = []() -> Json { throw std::runtime_error("disk full"); };
  EXPECT_EQ(handleLine(line, tools.caller()),
            toolError(1, "The tool failed unexpectedly: disk full"));
  tools.answer = []() -> Json { throw 42; };
  EXPECT_EQ(handleLine(line, tools.caller()),
            toolError(1, "The tool failed unexpectedly"));
  tools.answer = []() -> Json { throw std::runtime_error("bad \xff"); };
  EXPECT_EQ(handleLine(line, tools.caller()),
            toolError(1, "The tool failed unexpectedly"));
}

// Hands out `input` in pieces of the given sizes, taken in turn.
std::function<std::size_t(char*, std::size_t)> chunked(
    std::string input, std::vector<std::size_t> sizes) {
  return [input = std::move(input), sizes = std::move(sizes),
          offset = std::size_t{0},
          turn = std::size_t{0}](char* buffer, std::size_t size) mutable {
    const std::size_t count =
        std::min({size, input.size() - offset, sizes[turn++ % sizes.size()]});
    std::memcpy(buffer, input.data() + offset, count);
    offset += count;
    return count;
  };
}

// What serve() writes for `input`, and whether each piece is one line.
std::string serveAll(const std::string& input, FakeTools& tools,
                     std::vector<std::size_t> sizes = {1, 3, 7, 64}) {
  std::string output;
  serve(
      chunked(input, std::move(sizes)),
      [&](std::string_view bytes) {
        EXPECT_EQ(bytes.find('\n'), bytes.size() - 1);
        output += bytes;
        return true;
      },
      tools.caller());
  return output;
}

TEST(RequestHandler, servesASessionLineByLineWhateverTheChunks) {
  const std::string input =
      "\n[]\n{}\nnull\nnot json\n"
      R"({"jsonrpc":"2.0","method":"notifications/initialized"})"
      "\n"
      R"({"id":7,"method":"ping"}{"id":8,"method":"ping"})"
      "\n{\"id\":9,\n\"method\":\"ping\"}\n"
      R"({"jsonrpc":"2.0","id":1,"method":"ping"})"
      "\r\n"
      R"({"id":"two","method":"resources/list"})"
      "\n"
      R"({"id":3,"method":"ping"})";
  const std::string expected =
      "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{}}\n"
      "{\"error\":{\"code\":-32601,\"message\":\"method not found: "
      "resources/list\"},\"id\":\"two\",\"jsonrpc\":\"2.0\"}\n"
      "{\"id\":3,\"jsonrpc\":\"2.0\",\"result\":{}}\n";
  for (std::size_t size : {1, 2, 5, 11, 4096}) {
    FakeTools tools;
    EXPECT_EQ(serveAll(input, tools, {size}), expected) << size;
  }
}

TEST(RequestHandler, servesToolCallsInOrderAndNoNotification) {
  FakeTools tools;
  EXPECT_EQ(
      serveAll(R"({"method":"tools/call","params":{"name":"recorder_stop"}})"
               "\n"
               R"({"id":1,"method":"tools/call","params":{"name":"a"}})"
               "\n"
               R"({"id":2,"method":"tools/call","params":{"name":"b"}})",
               tools),
      "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{\"isError\":false}}\n"
      "{\"id\":2,\"jsonrpc\":\"2.0\",\"result\":{\"isError\":false}}\n");
  ASSERT_EQ(tools.calls.size(), 2u);
  EXPECT_EQ(tools.calls[0].first, "a");
  EXPECT_EQ(tools.calls[1].first, "b");
}

TEST(RequestHandler, dropsHostileLinesAndGoesOn) {
  const std::string ping = R"({"id":1,"method":"ping"})";
  const std::string pong = "{\"id\":1,\"jsonrpc\":\"2.0\",\"result\":{}}\n";
  for (const std::string& hostile :
       {std::string(1'000'000, '['),
        "{\"id\":2,\"method\":\"ping\",\"p\":" + std::string(100'000, '{'),
        std::string("{\"id\":2,\"method\":\"ping\",\"x\":\"\xc3\x28\"}"),
        "{\"id\":2,\"method\":\"ping\",\"x\":\"" +
            std::string(kMaxLineBytes, 'a') + "\"}"}) {
    FakeTools tools;
    EXPECT_EQ(serveAll(hostile + "\n" + ping + "\n", tools, {kReadChunkBytes}),
              pong);
  }
}

TEST(RequestHandler, goesOnAfterAResponseThatCannotBeWritten) {
  FakeTools tools;
  tools.answer = [] { return Json{{"text", "\xff"}}; };
  EXPECT_EQ(serveAll(R"({"id":1,"method":"tools/call"})"
                     "\n"
                     R"({"id":2,"method":"ping"})",
                     tools),
            "{\"id\":2,\"jsonrpc\":\"2.0\",\"result\":{}}\n");
}

TEST(RequestHandler, stopsAtTheFirstWriteThatFails) {
  FakeTools tools;
  int writes = 0;
  serve(
      chunked(R"({"id":1,"method":"ping"})"
              "\n"
              R"({"id":2,"method":"tools/call"})"
              "\n",
              {kReadChunkBytes}),
      [&](std::string_view) {
        ++writes;
        return false;
      },
      tools.caller());
  EXPECT_EQ(writes, 1);
  EXPECT_TRUE(tools.calls.empty());
}

TEST(RequestHandler, endsQuietlyOnEmptyInput) {
  FakeTools tools;
  EXPECT_EQ(serveAll("", tools), "");
}

}  // namespace
}  // namespace zindle::server
