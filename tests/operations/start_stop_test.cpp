#include <chrono>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "link/recorder.hpp"
#include "operations/fake_app.hpp"

namespace zindle::testing {
namespace {

using namespace std::chrono_literals;

// An app that, on "/record", sets `path` to `value` (and takes the rest).
FakeApp::Rule onRecord(std::string path, Json value) {
  return [path, value](FakeApp& app, const FakeApp::Message& message) {
    if (message.first == "/record") {
      app.values[path] = value;
    } else {
      FakeApp::takeSetting(app, message);
    }
  };
}

class StartStop : public ::testing::Test {
 protected:
  std::optional<Failure> start(const Json& arguments = Json::object()) {
    return failureOf([&] { app.recorder.start(arguments); });
  }
  std::optional<Failure> stop() {
    return failureOf([&] { app.recorder.stop(); });
  }
  FakeApp app;
};

TEST_F(StartStop, startRefusesUnlessIdleAndSendsNothing) {
  for (const char* state : {"recording", "finishing", ""}) {
    app.values["/status/state"] = state;
    if (*state == '\0') app.values.erase("/status/state");
    EXPECT_EQ(start({{"fps", 24}}),
              failed("A recording is already in progress. Stop it first.\n",
                     app.recorder.status()));
  }
  EXPECT_TRUE(app.received.empty());
}

TEST_F(StartStop, startRefusesWhenASettingWasNotTaken) {
  app.values["/fps"] = 25;
  app.onMessage = FakeApp::refusing("/fps");
  const auto failure = start({{"fps", 24}});
  Json expected = app.recorder.status();
  expected["notApplied"] = {{"fps", 25}};
  EXPECT_EQ(failure,
            failed("Not started: some settings were not taken as given.\n",
                   expected));
  EXPECT_EQ(app.received, (Messages{{"/fps", 24.0f}}));
}

TEST_F(StartStop, startEndsAtTheFirstPollShowingRecordingDespiteANewError) {
  app.onMessage = [](FakeApp& fake, const FakeApp::Message&) {
    fake.values["/status/state"] = "recording";
    fake.values["/status/error"] = "dropped a frame";
  };
  EXPECT_EQ(start(), std::nullopt);
  EXPECT_EQ(app.received, (Messages{{"/record", 1}}));
  EXPECT_TRUE(app.clock.sleeps.empty());
}

TEST_F(StartStop, startFailsWithTheAppsNewErrorOrAfterThreeSeconds) {
  app.values["/status/error"] = "Old.";
  app.onMessage = onRecord("/status/error", "The disk is full.");
  EXPECT_EQ(start(), (Failure{RecorderError::Kind::failed,
                              "The recording did not start: The disk is "
                              "full."}));
  EXPECT_TRUE(app.clock.sleeps.empty());
  // An error left from before is not this start's.
  app.values["/status/error"] = "Old.";
  app.onMessage = FakeApp::ignore;
  EXPECT_EQ(start(),
            failed("The recording did not start.\n", app.recorder.status()));
  EXPECT_EQ(app.clock.sleeps, Durations(60, 50ms));
}

TEST_F(StartStop, stopRefusesWhenIdleAndReportsHowTheRecordingEnded) {
  EXPECT_EQ(stop(), failed("There is no recording in progress.\n",
                           app.recorder.status()));
  EXPECT_TRUE(app.received.empty());

  app.values["/status/state"] = "finishing";  // sent again, and waited for
  app.onMessage = onRecord("/status/state", "idle");
  EXPECT_EQ(stop(), std::nullopt);
  app.values["/status/state"] = "recording";
  app.values["/status/failure"] = "The encoder stopped.";
  const auto failure = stop();  // before the status it is compared with
  EXPECT_EQ(failure, failed("The recording stopped with an error: The "
                            "encoder stopped.\n",
                            app.recorder.status()));
  EXPECT_EQ(app.received, (Messages(2, {"/record", 0})));
}

TEST_F(StartStop, stopWaitsHalfAMinuteFromSendingForTheMovieToFinish) {
  app.values["/status/state"] = "finishing";
  // Sending takes a second; the limit counts from after it.
  app.onMessage = [](FakeApp& fake, const FakeApp::Message&) {
    fake.clock.advance(1s);
  };
  EXPECT_EQ(stop(), failed("The movie is still being finished.\n",
                           app.recorder.status()));
  EXPECT_EQ(app.clock.sleeps, Durations(600, 50ms));
}

TEST_F(StartStop, stopEndsWhenTheAppStopsAnsweringDuringTheWait) {
  app.values["/status/state"] = "recording";
  app.onMessage = [](FakeApp& fake, const FakeApp::Message&) {
    fake.answering = false;
  };
  EXPECT_EQ(stop(), (Failure{RecorderError::Kind::unreachable,
                             app.recorder.unreachable().description()}));
  EXPECT_EQ(app.received, (Messages{{"/record", 0}}));
  EXPECT_TRUE(app.clock.sleeps.empty());
}

}  // namespace
}  // namespace zindle::testing
