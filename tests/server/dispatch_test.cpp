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

// A client that misspells a tool while the app is down hears of the app.
TEST(Dispatch, findsTheAppBeforeLookingTheNameUp) {
  for (bool running : {false, true}) {
    World world{running};
    try {
      callTool(world.services, "Recorder_Status", Json::object());
      ADD_FAILURE() << "no error";
    } catch (const RecorderError& error) {
      EXPECT_EQ(error.kind(), running ? RecorderError::Kind::badArguments
                                      : RecorderError::Kind::unreachable);
      EXPECT_EQ(error.description(),
                running ? "unknown tool Recorder_Status"
                        : RecorderError::unreachable(9231, 16).description());
    }
    // Only the discovery took place: no tool ran.
    EXPECT_EQ(world.reader.requests.size(), running ? 1u : 16u);
    EXPECT_TRUE(world.sender.datagrams.empty());
  }
}

TEST(Dispatch, givesTheStatusAsTheIndentedTextOfASuccessfulResult) {
  World world{true};
  const Json status = link::Recorder::find(world.services).status();
  EXPECT_EQ(callTool(world.services, "recorder_status", Json::object()),
            (Json{{"content", {{{"type", "text"}, {"text", json(status)}}}},
                  {"isError", false}}));
}

}  // namespace
}  // namespace zindle::server
