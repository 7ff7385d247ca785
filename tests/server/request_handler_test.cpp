#include "server/request_handler.hpp"

#include <optional>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "link/recorder_error.hpp"

namespace zindle::server {
namespace {

// Throws what `name` says, or returns the name and arguments it was given.
Json fakeTool(std::string_view name, const Json& arguments) {
  if (name == "refused") throw RecorderError::badArguments("unknown tool x");
  if (name == "broken") throw std::runtime_error("disk full");
  if (name == "int") throw 42;
  if (name == "unwritable") throw std::runtime_error("\xff");
  return {{"name", name}, {"arguments", arguments}};
}

// The response to `line`, parsed back.
std::optional<Json> answer(const std::string& line) {
  const auto text = handleLine(line, fakeTool);
  if (!text) return std::nullopt;
  EXPECT_EQ(text->back(), '\n');
  return parseJson(*text);
}

// The result of a tool call that failed with `text`.
Json failure(std::string_view text) {
  return {{"content", {{{"type", "text"}, {"text", text}}}}, {"isError", true}};
}

// A tools/call always gets a result, whatever its params hold and whatever
// the tool throws.
TEST(RequestHandler, answersToolCallsWithResultsAndOtherMethodsWithAnError) {
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
  for (const auto& [params, expected] : kCases)
    EXPECT_EQ(
        answer(R"({"id":1,"method":"tools/call","params":)" + params + "}"),
        (Json{{"jsonrpc", "2.0"}, {"id", 1}, {"result", expected}}));
  // Any other method gets the one JSON-RPC error there is.
  EXPECT_EQ(answer(R"({"id":1,"method":"resources/list"})"),
            (Json{{"jsonrpc", "2.0"},
                  {"id", 1},
                  {"error",
                   {{"code", -32601},
                    {"message", "method not found: resources/list"}}}}));
}

}  // namespace
}  // namespace zindle::server
