#include "link/recorder.hpp"

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/fake_app.hpp"

namespace zindle::testing {
namespace {

using std::chrono::milliseconds;
using Durations = std::vector<link::Clock::Duration>;
using Kind = RecorderError::Kind;
using Messages = std::vector<FakeApp::Message>;

// The app takes every setting and answers "/record" through `react`.
FakeApp::Rule onRecord(std::function<void(FakeApp&, std::int32_t)> react) {
  return [react](FakeApp& app, const FakeApp::Message& message) {
    if (message.address != "/record") return FakeApp::takeSetting(app, message);
    react(app, std::get<std::int32_t>(message.arguments.at(0)));
  };
}

class StartStop : public ::testing::Test {
 protected:
  StartStop() {
    app.values = {{"/status/state", "idle"}, {"/status/error", ""}};
  }

  Json start(const Json& arguments = Json::object()) {
    return app.recorder().start(arguments);
  }
  std::optional<Failure> startFailure(const Json& arguments = Json::object()) {
    return failureOf([&] { app.recorder().start(arguments); });
  }
  std::optional<Failure> stopFailure() {
    return failureOf([&] { app.recorder().stop(); });
  }
  Failure unreachable() const {
    return {Kind::unreachable, app.recorder().unreachable().description()};
  }

  FakeApp app;
};

TEST_F(StartStop, currentStateReadsStateAndErrorTexts) {
  app.values = {{"/status/state", "recording"}, {"/status/error", "late"}};
  const link::CurrentState state = app.recorder().currentState();
  EXPECT_EQ(state.state, "recording");
  EXPECT_EQ(state.error, "late");
}

TEST_F(StartStop, currentStateIsEmptyForValuesThatAreNoText) {
  app.values = {{"/status/state", 1}, {"/status/error", nullptr}};
  const link::CurrentState state = app.recorder().currentState();
  EXPECT_EQ(state.state, "");
  EXPECT_EQ(state.error, "");
}

TEST_F(StartStop, waitTriesAtOnceThenEveryFiftyMsUntilTheLimit) {
  int tries = 0;
  EXPECT_FALSE(app.recorder().wait(milliseconds(200), [&] {
    ++tries;
    return false;
  }));
  EXPECT_EQ(tries, 5);
  EXPECT_EQ(app.clock.sleeps, Durations(4, milliseconds(50)));
}

TEST_F(StartStop, waitEndsAsSoonAsTheConditionHolds) {
  int tries = 0;
  EXPECT_TRUE(
      app.recorder().wait(milliseconds(200), [&] { return ++tries == 1; }));
  EXPECT_TRUE(app.clock.sleeps.empty());
}

TEST_F(StartStop, waitPassesOnWhatTheConditionThrows) {
  EXPECT_EQ(failureOf([&] {
              app.recorder().wait(milliseconds(200), []() -> bool {
                throw RecorderError::failed("gone");
              });
            }),
            (Failure{Kind::failed, "gone"}));
  EXPECT_TRUE(app.clock.sleeps.empty());
}

TEST_F(StartStop, startRefusesWhileARecordingMayBeInProgress) {
  for (const Json& state : {Json("recording"), Json("finishing"), Json(""),
                            Json(nullptr), Json("Idle")}) {
    app.values["/status/state"] = state;
    EXPECT_EQ(startFailure({{"fps", 30}}),
              (Failure{Kind::failed,
                       "A recording is already in progress. Stop it first.\n" +
                           json(app.status())}))
        << state.dump();
  }
  app.values.erase("/status/state");
  const std::optional<Failure> failure = startFailure();
  EXPECT_EQ(failure,
            (Failure{Kind::failed,
                     "A recording is already in progress. Stop it first.\n" +
                         json(app.status())}));
  EXPECT_TRUE(app.received.empty());
}

TEST_F(StartStop, startRefusesWhenASettingWasNotTaken) {
  app.values["/codec"] = "h264";
  app.onMessage = [](FakeApp& fake, const FakeApp::Message& message) {
    if (message.address != "/codec") FakeApp::takeSetting(fake, message);
  };
  Json expected = app.status();
  expected["settings"]["fps"] = 24.0;
  expected["notApplied"] = {{"codec", "h264"}};
  EXPECT_EQ(startFailure({{"codec", "hevc"}, {"fps", 24}}),
            (Failure{Kind::failed,
                     "Not started: some settings were not taken as given.\n" +
                         json(expected)}));
  EXPECT_EQ(app.received,
            (Messages{sent("/codec", "hevc"), sent("/fps", 24.0f)}));
}

TEST_F(StartStop, startPassesOnTheRefusalOfTheArguments) {
  EXPECT_EQ(startFailure({{"gap", "1"}}),
            (Failure{Kind::badArguments, "gap must be a number"}));
  EXPECT_TRUE(app.received.empty());
}

TEST_F(StartStop, startReturnsTheStatusOnceRecordingWithoutSleeping) {
  app.onMessage = onRecord([](FakeApp& fake, std::int32_t on) {
    if (on == 1) fake.values["/status/state"] = "recording";
  });
  const Json report = start({{"name", "take"}});
  EXPECT_EQ(report, app.status());
  EXPECT_EQ(report["state"], "recording");
  EXPECT_EQ(app.received,
            (Messages{sent("/name", "take"), sent("/record", 1)}));
  EXPECT_TRUE(app.clock.sleeps.empty());
}

TEST_F(StartStop, startWaitsForRecordingPollingEveryFiftyMs) {
  app.onMessage = FakeApp::ignore;
  app.beforeRead = [](FakeApp& fake, int read) {
    if (read == 5) fake.values["/status/state"] = "recording";
  };
  EXPECT_EQ(start()["state"], "recording");
  EXPECT_EQ(app.received, Messages{sent("/record", 1)});
  EXPECT_EQ(app.clock.sleeps, Durations(3, milliseconds(50)));
}

TEST_F(StartStop, startReportsANewErrorOfTheApp) {
  app.values["/status/error"] = "old trouble";
  app.onMessage = onRecord([](FakeApp& fake, std::int32_t) {
    fake.values["/status/error"] = "no source chosen";
  });
  EXPECT_EQ(
      startFailure(),
      (Failure{Kind::failed, "The recording did not start: no source chosen"}));
  EXPECT_EQ(app.received, Messages{sent("/record", 1)});
}

TEST_F(StartStop, startCountsRecordingAboveAnErrorSeenInTheSameReading) {
  app.onMessage = onRecord([](FakeApp& fake, std::int32_t) {
    fake.values["/status/state"] = "recording";
    fake.values["/status/error"] = "dropped a frame";
  });
  const Json report = start();
  EXPECT_EQ(report, app.status());
}

TEST_F(StartStop, startGivesUpAfterThreeSecondsWithoutRecording) {
  app.values["/status/error"] = "old trouble";
  app.onMessage = FakeApp::ignore;
  const std::optional<Failure> failure = startFailure();
  EXPECT_EQ(failure, (Failure{Kind::failed, "The recording did not start.\n" +
                                                json(app.status())}));
  EXPECT_EQ(app.received, Messages{sent("/record", 1)});
  EXPECT_EQ(app.clock.sleeps, Durations(60, milliseconds(50)));
  EXPECT_EQ(app.readTimes.back(), milliseconds(3000));
}

TEST_F(StartStop, startEndsWhenTheAppStopsAnswering) {
  app.onMessage = FakeApp::ignore;
  app.beforeRead = [](FakeApp& fake, int read) { fake.answering = read < 4; };
  EXPECT_EQ(startFailure(), unreachable());
  EXPECT_EQ(app.received, Messages{sent("/record", 1)});
}

TEST_F(StartStop, stopRefusesWhenIdle) {
  const std::optional<Failure> failure = stopFailure();
  EXPECT_EQ(failure,
            (Failure{Kind::failed, "There is no recording in progress.\n" +
                                       json(app.status())}));
  EXPECT_TRUE(app.received.empty());
}

TEST_F(StartStop, stopSendsRecordZeroAndWaitsForIdle) {
  app.values["/status/state"] = "recording";
  app.values["/status/failure"] = "";
  app.onMessage = onRecord([](FakeApp& fake, std::int32_t) {
    fake.values["/status/state"] = "finishing";
  });
  app.beforeRead = [](FakeApp& fake, int read) {
    if (read == 4) fake.values["/status/state"] = "idle";
  };
  const Json report = app.recorder().stop();
  EXPECT_EQ(report, app.status());
  EXPECT_EQ(report["state"], "idle");
  EXPECT_EQ(app.received, Messages{sent("/record", 0)});
  EXPECT_EQ(app.readTimes, (Durations{milliseconds(0), milliseconds(0),
                                      milliseconds(50), milliseconds(100),
                                      milliseconds(150), milliseconds(150)}));
}

TEST_F(StartStop, stopWhileFinishingSendsRecordZeroAgain) {
  app.values["/status/state"] = "finishing";
  app.onMessage = onRecord([](FakeApp& fake, std::int32_t) {
    fake.values["/status/state"] = "idle";
  });
  const Json report = app.recorder().stop();
  EXPECT_EQ(report, app.status());
  EXPECT_EQ(app.received, Messages{sent("/record", 0)});
  EXPECT_TRUE(app.clock.sleeps.empty());
}

TEST_F(StartStop, stopGivesUpAfterThirtySeconds) {
  app.values["/status/state"] = "finishing";
  app.onMessage = FakeApp::ignore;
  const std::optional<Failure> failure = stopFailure();
  EXPECT_EQ(failure,
            (Failure{Kind::failed, "The movie is still being finished.\n" +
                                       json(app.status())}));
  EXPECT_EQ(app.received, Messages{sent("/record", 0)});
  EXPECT_EQ(app.clock.sleeps, Durations(600, milliseconds(50)));
}

TEST_F(StartStop, stopReportsTheFailureOfTheRecording) {
  app.values["/status/state"] = "recording";
  app.onMessage = onRecord([](FakeApp& fake, std::int32_t) {
    fake.values["/status/state"] = "idle";
    fake.values["/status/failure"] = "the disk is full";
  });
  const std::optional<Failure> failure = stopFailure();
  EXPECT_EQ(failure,
            (Failure{Kind::failed,
                     "The recording stopped with an error: the disk is full\n" +
                         json(app.status())}));
}

TEST_F(StartStop, stopIgnoresAFailureThatIsNoText) {
  app.values["/status/state"] = "recording";
  app.values["/status/failure"] = 1;
  app.onMessage = onRecord([](FakeApp& fake, std::int32_t) {
    fake.values["/status/state"] = "idle";
  });
  const Json report = app.recorder().stop();
  EXPECT_EQ(report, app.status());
}

TEST_F(StartStop, stopEndsWhenTheAppStopsAnswering) {
  app.values["/status/state"] = "recording";
  app.onMessage = FakeApp::ignore;
  app.beforeRead = [](FakeApp& fake, int read) { fake.answering = read < 3; };
  EXPECT_EQ(stopFailure(), unreachable());
  EXPECT_EQ(app.received, Messages{sent("/record", 0)});
  EXPECT_EQ(app.clock.sleeps, Durations(2, milliseconds(50)));
}

TEST_F(StartStop, bothFailAtOnceWhenTheAppIsUnreachable) {
  app.answering = false;
  EXPECT_EQ(startFailure(), unreachable());
  EXPECT_EQ(stopFailure(), unreachable());
  EXPECT_TRUE(app.received.empty());
}

}  // namespace
}  // namespace zindle::testing
