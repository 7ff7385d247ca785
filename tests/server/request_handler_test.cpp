#include "server/request_handler.hpp"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/recorder_error.hpp"
#include "support/golden.hpp"

namespace zindle::server {
namespace {

// Throws what `name` says, or returns the name and arguments it was given.
Json fakeTool(std::string_view name, const Json& arguments) {
  if (name == "refused") throw RecorderError::badArguments("unknown tool x");
  if (name == "broken") throw std::runtime_error("disk full");
  if (name == "int") throw 42;
  if (name == "unwritable") throw std::runtime_error("\xff");
  if (name == "sized") {
    // A result whose compact text is `bytes` long, the padding all quotes,
    // each written as two bytes.
    Json result = {{"content", {{{"type", "text"}, {"text", ""}}}},
                   {"isError", arguments["isError"]}};
    const std::size_t padding =
        arguments["bytes"].get<std::size_t>() - result.dump().size();
    result["content"][0]["text"] =
        std::string(padding / 2, '"') + std::string(padding % 2, 'x');
    return result;
  }
  return {{"name", name}, {"arguments", arguments}};
}

std::optional<std::string> answer(const std::string& line) {
  return handleLine(line, fakeTool);
}

// The bytes a client reads for initialize and tools/list never change but
// for the version: one golden file holds them, line for line.
TEST(RequestHandler, answersInitializeAndToolsListWithTheGoldenBytes) {
  const std::string expected =
      testing::golden("wire.jsonl", "@VERSION@", ZINDLE_VERSION);
  EXPECT_EQ(answer(R"({"jsonrpc":"2.0","id":1,"method":"initialize",)"
                   R"("params":{"protocolVersion":"2025-06-18"}})")
                    .value_or("") +
                answer(R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})")
                    .value_or(""),
            expected);
}

// Each line and its answer: nothing for a line that is no request.
TEST(RequestHandler, answersRequestsEchoingTheirIdAndDropsAllElse) {
  const std::vector<std::pair<std::string, std::optional<std::string>>> kCases =
      {
          {"", std::nullopt},
          {"{}", std::nullopt},
          {R"({"id":1,"method":5})", std::nullopt},
          {R"({"jsonrpc":"2.0","method":"notifications/initialized"})",
           std::nullopt},
          {R"({"method":"tools/call","params":{"name":"broken"}})",
           std::nullopt},
          {R"({"id":-7,"method":"ping","jsonrpc":"x"})",
           R"({"id":-7,"jsonrpc":"2.0","result":{}})"},
          {R"({"id":18446744073709551615,"method":"ping"})",
           R"({"id":18446744073709551615,"jsonrpc":"2.0","result":{}})"},
          {R"({"id":-2.50,"method":"ping"})",
           R"({"id":-2.50,"jsonrpc":"2.0","result":{}})"},
          {R"({"id":"a/b","method":"ping"})"
           "\r",
           R"({"id":"a/b","jsonrpc":"2.0","result":{}})"},
          {R"({"id":{"deep":[null,true]},"method":"ping"})",
           R"({"id":{"deep":[null,true]},"jsonrpc":"2.0","result":{}})"},
          {R"({"id":null,"method":"resources/list"})",
           R"({"error":{"code":-32601,"message":"method not found: )"
           R"(resources/list"},"id":null,"jsonrpc":"2.0"})"},
          {R"({"id":1,"method":"Ping"})",
           R"({"error":{"code":-32601,"message":"method not found: Ping"},)"
           R"("id":1,"jsonrpc":"2.0"})"},
      };
  for (const auto& [line, expected] : kCases) {
    EXPECT_EQ(answer(line),
              expected ? std::optional(*expected + "\n") : std::nullopt)
        << line;
  }
  const auto initialized = [](const std::string& params) {
    return Json::parse(*answer(R"({"id":1,"method":"initialize")" + params +
                               "}"))["result"]["protocolVersion"];
  };
  EXPECT_EQ(initialized(R"(,"params":{"protocolVersion":"2030-01-01"})"),
            "2030-01-01");
  EXPECT_EQ(initialized(R"(,"params":{"protocolVersion":3})"), "2024-11-05");
  EXPECT_EQ(initialized(""), "2024-11-05");
}

// A tools/call always gets a result, whatever its params hold and whatever
// the tool throws.
TEST(RequestHandler, answersEveryToolCallWithAResult) {
  const auto failure = [](std::string_view text) {
    return Json{{"content", {{{"type", "text"}, {"text", text}}}},
                {"isError", true}};
  };
  const Json none = {{"name", ""}, {"arguments", Json::object()}};
  const std::pair<std::string, Json> kCases[] = {
      {"[1]", none},
      {R"({"name":5,"arguments":[1]})", none},
      {R"({"name":"s","arguments":{"a":1}})",
       {{"name", "s"}, {"arguments", {{"a", 1}}}}},
      {R"({"name":"refused"})", failure("unknown tool x")},
      {R"({"name":"broken"})",
       failure("The tool failed unexpectedly: disk full")},
      {R"({"name":"int"})", failure("The tool failed unexpectedly")},
      // A text that is not UTF-8 could not be written: no answer would come.
      {R"({"name":"unwritable"})", failure("The tool failed unexpectedly")},
  };
  for (const auto& [params, expected] : kCases) {
    EXPECT_EQ(Json::parse(*answer(R"({"id":1,"method":"tools/call","params":)" +
                                  params + "}")),
              (Json{{"jsonrpc", "2.0"}, {"id", 1}, {"result", expected}}));
  }
}

// An answer lands in the assistant's context: past kMaxResultBytes a
// result says only how long it was, and whether the tool failed stays as
// the tool said.
TEST(RequestHandler, replacesAToolResultPastTheLimitWithItsLength) {
  const auto call = [](std::size_t bytes, bool isError) {
    const Json arguments = {{"bytes", bytes}, {"isError", isError}};
    return Json::parse(
        *answer(R"({"id":1,"method":"tools/call","params":{"name":"sized",)"
                R"("arguments":)" +
                arguments.dump() + "}}"))["result"];
  };
  const auto replaced = [](std::size_t bytes, bool isError) {
    return Json{{"content",
                 {{{"type", "text"},
                   {"text", "The answer is too large to show: " +
                                std::to_string(bytes) +
                                " bytes, past the 1048576 this server "
                                "returns. The recorder publishes values or "
                                "titles far longer than usual."}}}},
                {"isError", isError}};
  };
  EXPECT_EQ(call(kMaxResultBytes, false).dump().size(), kMaxResultBytes);
  EXPECT_EQ(call(kMaxResultBytes + 1, false),
            replaced(kMaxResultBytes + 1, false));
  EXPECT_EQ(call(kMaxResultBytes + 2, true),
            replaced(kMaxResultBytes + 2, true));
}

}  // namespace
}  // namespace zindle::server
