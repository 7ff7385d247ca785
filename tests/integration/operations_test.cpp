// The four tools through the server binary against the simulator: what each
// sends, what the app makes of it, and the exact texts of every refusal.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "support/apps.hpp"
#include "support/server_session.hpp"

namespace zindle::testing {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The OSC messages the simulator logged, as "address ,tags args".
std::vector<std::string> oscLog(ChildProcess& sim) {
  std::vector<std::string> messages;
  std::istringstream log(sim.errorText());
  for (std::string line; std::getline(log, line);) {
    if (line.rfind("osc ", 0) == 0) messages.push_back(line.substr(4));
  }
  return messages;
}

// The message before the status JSON of a refusal, and the status itself.
std::pair<std::string, Json> splitRefusal(const std::string& text) {
  auto brace = text.find("\n{");
  if (brace == std::string::npos) return {text, nullptr};
  return {text.substr(0, brace + 1), Json::parse(text.substr(brace + 1))};
}

class Operations : public ::testing::Test {
 protected:
  void start(std::vector<std::string> options = {}) {
    options.push_back("--verbose");
    sim_ = std::make_unique<Simulator>(options);
    ASSERT_TRUE(sim_->started());
    server_ = std::make_unique<ServerSession>(sim_->queryPort());
  }
  std::pair<bool, std::string> call(const std::string& tool,
                                    Json arguments = Json::object()) {
    return ServerSession::textOf(server_->callTool(tool, std::move(arguments)));
  }

  std::unique_ptr<Simulator> sim_;
  std::unique_ptr<ServerSession> server_;
};

TEST_F(Operations, configureSendsTheSourcesThenTheSettingsInOrder) {
  start();
  auto [isError, text] = call(
      "recorder_configure",
      {{"performance", true}, {"fps", 30}, {"sources", {"main", "screen"}}});
  ASSERT_FALSE(isError) << text;
  std::vector<std::string> expected(8, "/source/1 ,s \"\"");
  expected.insert(expected.end(),
                  {"/source/1 ,s \"main\"", "/source/2 ,s \"screen\"",
                   "/source/3 ,s \"\"", "/fps ,f 30", "/performance ,i 1"});
  EXPECT_EQ(oscLog(sim_->process()), expected);

  Json status = Json::parse(text);
  EXPECT_EQ(status["sources"][0]["title"], "Main Camera");
  EXPECT_EQ(status["sources"][1]["title"], "Screen");
  EXPECT_EQ(status["settings"]["performance"], true);
  EXPECT_EQ(server_->process().errorText(), "");
}

TEST_F(Operations, aRefusedSettingIsReportedWithTheAppsValueAndError) {
  start({"--refuse", "gap"});
  auto started = Clock::now();
  auto [isError, text] =
      call("recorder_configure", {{"gap", 2.5}, {"fps", 24}});
  EXPECT_GE(Clock::now() - started, milliseconds(950));
  EXPECT_TRUE(isError);
  auto [message, status] = splitRefusal(text);
  EXPECT_EQ(message,
            "Some settings were not taken as given (the recorder's values are "
            "in notApplied): The recorder refused the new gap.\n");
  EXPECT_EQ(status["notApplied"], Json::parse(R"({"gap": 0})"));
  EXPECT_EQ(status["settings"]["fps"], 24.0);
  // The half is rounded away from zero before it is sent.
  EXPECT_EQ(oscLog(sim_->process()),
            (std::vector<std::string>{"/fps ,f 24", "/gap ,i 3"}));
}

TEST_F(Operations, argumentsThatCannotBeUsedSendNothing) {
  start();
  const std::pair<Json, std::string> cases[] = {
      {{{"sources", "Main"}}, "sources must be a list of titles"},
      {{{"sources", {"a", "b", "c", "d", "e", "f", "g", "h", "i"}}},
       "no more than 8 sources can be recorded at once"},
      {{{"source", 3}}, "source must be a string"},
      {{{"source", "Main"}, {"gap", "10"}}, "gap must be a number"},
      {{{"performance", 1}}, "performance must be true or false"},
      {{{"codec", nullptr}}, "codec must be a string"},
      {{{"sources", {"main", "tape", "nope"}}},
       "There is no source called \u201ctape\u201d. Available: Main Camera, "
       "Screen, STUDIO (Stage). Nothing was changed."},
  };
  for (const auto& [arguments, expected] : cases) {
    auto [isError, text] = call("recorder_configure", arguments);
    EXPECT_TRUE(isError);
    EXPECT_EQ(text, expected);
  }
  EXPECT_EQ(oscLog(sim_->process()), std::vector<std::string>{});
}

TEST_F(Operations, aWholeRecordingWithItsRefusals) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "zindle-XXXXXX").string();
  std::filesystem::path folder = mkdtemp(pattern.data());
  start();
  auto [startError, started] = call(
      "recorder_start",
      {{"source", "studio"}, {"folder", folder.string()}, {"name", "take"}});
  ASSERT_FALSE(startError) << started;
  Json recording = Json::parse(started);
  EXPECT_EQ(recording["state"], "recording");
  EXPECT_EQ(recording["sources"][0]["kind"], "ndi");

  auto [againError, again] = call("recorder_start");
  EXPECT_TRUE(againError);
  EXPECT_EQ(splitRefusal(again).first,
            "A recording is already in progress. Stop it first.\n");

  auto [stopError, stopped] = call("recorder_stop");
  ASSERT_FALSE(stopError) << stopped;
  Json done = Json::parse(stopped);
  EXPECT_EQ(done["state"], "idle");
  EXPECT_EQ(done["sources"][0]["file"],
            (folder / "take STUDIO (Stage).mov").string());
  EXPECT_EQ(done["assembled"]["file"], (folder / "take.mov").string());

  auto [idleError, idle] = call("recorder_stop");
  EXPECT_TRUE(idleError);
  EXPECT_EQ(splitRefusal(idle).first, "There is no recording in progress.\n");
  // The refusals sent nothing: one start, one stop.
  auto log = oscLog(sim_->process());
  EXPECT_EQ(std::count(log.begin(), log.end(), "/record ,i 1"), 1);
  EXPECT_EQ(std::count(log.begin(), log.end(), "/record ,i 0"), 1);
  std::filesystem::remove_all(folder);
}

TEST_F(Operations, aStartTheAppRefusesEndsWithItsNewError) {
  start({"--fail-start", "The disk is full."});
  auto [isError, text] = call("recorder_start", {{"source", "main"}});
  EXPECT_TRUE(isError);
  EXPECT_EQ(text, "The recording did not start: The disk is full.");
}

TEST_F(Operations, aRecordingThatEndsInFailureIsReported) {
  start({"--fail-recording", "The encoder stopped."});
  ASSERT_FALSE(call("recorder_start", {{"source", "main"}}).first);
  auto [isError, text] = call("recorder_stop");
  EXPECT_TRUE(isError);
  auto [message, status] = splitRefusal(text);
  EXPECT_EQ(message,
            "The recording stopped with an error: The encoder stopped.\n");
  EXPECT_EQ(status["failure"], "The encoder stopped.");
}

TEST_F(Operations, aStopWhileFinishingSendsTheStopAgainAndWaits) {
  start({"--finish-seconds", "100"});
  ASSERT_FALSE(call("recorder_start", {{"source", "main"}}).first);
  sim_->osc("/record", 0);
  ASSERT_TRUE(sim_->waitFor([](const Simulator& app) {
    return app.value("/status/state") == "finishing";
  }));
  sim_->osc("/sim/finish_seconds", 0.5f);
  auto [isError, text] = call("recorder_stop");
  ASSERT_FALSE(isError) << text;
  EXPECT_EQ(Json::parse(text)["state"], "idle");
  auto log = oscLog(sim_->process());
  EXPECT_EQ(log.back(), "/record ,i 0");
}

// The one check of the real clock, outside the default run (make
// test-slow): a stop gives up after thirty seconds. The fake clock's tests
// check the same wait to the tick.
using Slow = Operations;
TEST_F(Slow, aStopThatNeverFinishesGivesUpAfterThirtySeconds) {
  start({"--finish-seconds", "100"});
  ASSERT_FALSE(call("recorder_start", {{"source", "main"}}).first);
  auto begun = Clock::now();
  auto [isError, text] = call("recorder_stop");
  auto elapsed = Clock::now() - begun;
  EXPECT_TRUE(isError);
  auto [message, status] = splitRefusal(text);
  EXPECT_EQ(message, "The movie is still being finished.\n");
  EXPECT_EQ(status["state"], "finishing");
  EXPECT_GE(elapsed, std::chrono::seconds(30));
  EXPECT_LT(elapsed, std::chrono::seconds(35));
}

}  // namespace
}  // namespace zindle::testing
