#include "server/dispatch.hpp"

#include <string>

#include <gtest/gtest.h>

#include "link/recorder.hpp"
#include "support/fakes.hpp"

namespace zindle::server {
namespace {

// The app on 9231, publishing nothing, when `running`; nothing on any port
// otherwise.
struct World {
  bool running;
  testing::ScriptedReader reader{
      [this](std::int64_t port,
             const std::string& path) -> std::optional<Json> {
        if (!running || port != 9231) return std::nullopt;
        return path == "/?HOST_INFO"
                   ? Json{{"NAME", "ZindleRecorder"}, {"OSC_PORT", 9000}}
                   : Json{{"FULL_PATH", "/"}};
      }};
  testing::RecordingSender sender{};
  testing::FakeClock clock{};
  link::Services services{reader, sender, clock};
};

// Each tool name, with the app running or not: the app is found first, so a
// client that misspells a tool while the app is down hears of the app; a
// tool's status comes back as the indented text of a successful result.
TEST(Dispatch, findsTheAppThenRunsTheToolTheNameSelects) {
  struct Row {
    bool running;
    std::string name;
    std::string error;  // "" for the status
    std::size_t requests;
  };
  const std::string unreachable =
      RecorderError::unreachable(9231, 16).description();
  const Row kRows[] = {
      {false, "recorder_status", unreachable, 16},
      {false, "Recorder_Status", unreachable, 16},
      {true, "Recorder_Status", "unknown tool Recorder_Status", 1},
      {true, "", "unknown tool ", 1},
      {true, "recorder_status", "", 2},
  };
  for (const Row& row : kRows) {
    World world{row.running};
    Json success;
    if (row.error.empty()) {
      const Json status = link::Recorder::find(world.services).status();
      success = {
          {"content", {{{"type", "text"}, {"text", prettyJson(status)}}}},
          {"isError", false}};
      world.reader.requests.clear();
    }
    try {
      EXPECT_EQ(callTool(world.services, row.name, Json::object()), success);
    } catch (const RecorderError& error) {
      EXPECT_EQ(error.description(), row.error) << row.name;
      EXPECT_EQ(error.kind(), row.running ? RecorderError::Kind::badArguments
                                          : RecorderError::Kind::unreachable);
    }
    EXPECT_EQ(world.reader.requests.size(), row.requests) << row.name;
    EXPECT_TRUE(world.sender.datagrams.empty());
  }
}

}  // namespace
}  // namespace zindle::server
