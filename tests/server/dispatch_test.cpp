#include "server/dispatch.hpp"

#include <string>

#include <gtest/gtest.h>

#include "link/recorder.hpp"
#include "support/fakes.hpp"

namespace zindle::server {
namespace {

using testing::FakeClock;
using testing::RecordingSender;
using testing::ScriptedReader;

const Json kHostInfo = {{"NAME", "ZindleRecorder"}, {"OSC_PORT", 9000}};

const Json kNamespace = {
    {"FULL_PATH", "/"},
    {"CONTENTS",
     {{"status",
       {{"FULL_PATH", "/status"},
        {"CONTENTS",
         {{"state", {{"FULL_PATH", "/status/state"}, {"VALUE", {"idle"}}}},
          {"error", {{"FULL_PATH", "/status/error"}, {"VALUE", {""}}}}}}}}}}};

// The app on 9231 when `running`, nothing on any port otherwise.
struct World {
  explicit World(bool running)
      : reader([running](std::int64_t port,
                         const std::string& path) -> std::optional<Json> {
          if (!running || port != 9231) return std::nullopt;
          if (path == "/?HOST_INFO") return kHostInfo;
          if (path == "/") return kNamespace;
          return std::nullopt;
        }) {}

  ScriptedReader reader;
  RecordingSender sender;
  FakeClock clock;
  link::Services services{reader, sender, clock};
};

// The description and kind of what callTool threw; fails when it returned.
std::pair<RecorderError::Kind, std::string> failure(
    const link::Services& services, std::string_view name,
    const Json& arguments = Json::object()) {
  try {
    callTool(services, name, arguments);
  } catch (const RecorderError& error) {
    return {error.kind(), error.description()};
  }
  ADD_FAILURE() << "callTool(" << name << ") did not throw";
  return {};
}

constexpr std::string_view kUnreachable =
    "ZindleRecorder is not running, or its OSCQuery server is not on ports "
    "9231\u20139246. Launch the app and retry (set ZINDLE_OSCQUERY_PORT if it "
    "uses another port).";

TEST(Dispatch, reportsTheMissingAppWhateverTheName) {
  for (std::string_view name :
       {"recorder_status", "recorder_configure", "recorder_start",
        "recorder_stop", "Recorder_Status", "", "nonsense"}) {
    World world(false);
    EXPECT_EQ(
        failure(world.services, name),
        std::pair(RecorderError::Kind::unreachable, std::string(kUnreachable)))
        << name;
    EXPECT_TRUE(world.sender.datagrams.empty());
  }
}

TEST(Dispatch, refusesANameOutsideTheCatalogueOnceTheAppIsFound) {
  for (std::string_view name :
       {"Recorder_Status", "recorder_status ", "recorder", "", "tools/list"}) {
    World world(true);
    EXPECT_EQ(failure(world.services, name),
              std::pair(RecorderError::Kind::badArguments,
                        "unknown tool " + std::string(name)))
        << name;
    // Only the discovery took place: no tool ran.
    ASSERT_EQ(world.reader.requests.size(), 1u);
    EXPECT_EQ(world.reader.requests[0].path, "/?HOST_INFO");
    EXPECT_TRUE(world.sender.datagrams.empty());
  }
}

TEST(Dispatch, wrapsTheStatusAsIndentedTextOfASuccessfulResult) {
  World world(true);
  const Json result = callTool(world.services, "recorder_status", {});
  ASSERT_EQ(result.size(), 2u);
  EXPECT_EQ(result["isError"], false);
  ASSERT_TRUE(result["isError"].is_boolean());
  ASSERT_EQ(result["content"].size(), 1u);
  const Json& item = result["content"][0];
  EXPECT_EQ(item.size(), 2u);
  EXPECT_EQ(item["type"], "text");
  const Json status = link::Recorder::find(world.services).status();
  EXPECT_EQ(item["text"], json(status));
  EXPECT_NE(item["text"].get<std::string>().find('\n'), std::string::npos);
}

TEST(Dispatch, ignoresTheArgumentsOfStatus) {
  World world(true);
  EXPECT_EQ(callTool(world.services, "recorder_status",
                     {{"fps", "not a number"}, {"x", 1}}),
            callTool(world.services, "recorder_status", Json::object()));
}

TEST(Dispatch, passesTheRefusalOfConfigureThrough) {
  World world(true);
  EXPECT_EQ(failure(world.services, "recorder_configure", {{"fps", "30"}}),
            std::pair(RecorderError::Kind::badArguments,
                      std::string("fps must be a number")));
  EXPECT_TRUE(world.sender.datagrams.empty());
}

TEST(Dispatch, passesTheArgumentsToStart) {
  World world(true);
  EXPECT_EQ(failure(world.services, "recorder_start", {{"gap", "10"}}),
            std::pair(RecorderError::Kind::badArguments,
                      std::string("gap must be a number")));
}

}  // namespace
}  // namespace zindle::server
