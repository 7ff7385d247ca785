#include "link/recorder.hpp"

#include <chrono>
#include <optional>

#include <gtest/gtest.h>

#include "operations/fake_app.hpp"

namespace zindle::testing {
namespace {

using namespace std::chrono_literals;

class StartStop : public ::testing::Test {
 protected:
  FakeApp app;
};

TEST_F(StartStop, startRefusesAnAppWithoutAState) {
  app.values.erase("/status/state");
  EXPECT_EQ(failureOf([&] { app.recorder.start(Json::object()); }),
            failed("A recording is already in progress. Stop it first.\n",
                   app.recorder.status()));
  EXPECT_TRUE(app.received.empty());
}

TEST_F(StartStop, startRefusesWhenASettingWasNotTaken) {
  app.values["/fps"] = 25;
  app.onMessage = FakeApp::refusing("/fps");
  const auto failure = failureOf([&] { app.recorder.start({{"fps", 24}}); });
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
  const Json report = app.recorder.start(Json::object());
  EXPECT_EQ(report, app.recorder.status());
  EXPECT_TRUE(app.clock.sleeps.empty());
}

TEST_F(StartStop, startGivesUpAfterThreeSecondsWithoutRecording) {
  app.onMessage = FakeApp::ignore;
  EXPECT_EQ(failureOf([&] { app.recorder.start(Json::object()); }),
            failed("The recording did not start.\n", app.recorder.status()));
  EXPECT_EQ(app.clock.sleeps, Durations(60, 50ms));
}

TEST_F(StartStop, stopWaitsThirtySecondsFromSendingForTheMovieToFinish) {
  app.values["/status/state"] = "finishing";
  // Sending takes a second; the limit counts from after it.
  app.onMessage = [](FakeApp& fake, const FakeApp::Message&) {
    fake.clock.advance(1s);
  };
  EXPECT_EQ(
      failureOf([&] { app.recorder.stop(); }),
      failed("The movie is still being finished.\n", app.recorder.status()));
  EXPECT_EQ(app.clock.sleeps, Durations(600, 50ms));
}

TEST_F(StartStop, stopEndsWhenTheAppStopsAnsweringDuringTheWait) {
  app.values["/status/state"] = "recording";
  app.onMessage = [](FakeApp& fake, const FakeApp::Message&) {
    fake.answering = false;
  };
  EXPECT_EQ(failureOf([&] { app.recorder.stop(); }),
            (Failure{RecorderError::Kind::unreachable,
                     app.recorder.unreachable().description()}));
  EXPECT_EQ(app.received, (Messages{{"/record", 0}}));
  EXPECT_TRUE(app.clock.sleeps.empty());
}

}  // namespace
}  // namespace zindle::testing
