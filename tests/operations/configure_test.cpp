#include "link/recorder.hpp"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/fake_app.hpp"

namespace zindle::testing {
namespace {

using std::chrono::milliseconds;
using Kind = RecorderError::Kind;
using Messages = std::vector<FakeApp::Message>;

// Eight removals of the first source leave the app with none chosen.
Messages removals() { return Messages(8, sent("/source/1", "")); }

Messages operator+(Messages front, const Messages& back) {
  front.insert(front.end(), back.begin(), back.end());
  return front;
}

std::vector<link::Clock::Duration> everyFiftyMsUpTo(milliseconds last) {
  std::vector<link::Clock::Duration> times;
  for (milliseconds t{0}; t <= last; t += milliseconds(50)) times.push_back(t);
  return times;
}

// The app keeps its own value of `address`, whatever it is sent.
FakeApp::Rule refusing(std::string address) {
  return [address](FakeApp& app, const FakeApp::Message& message) {
    if (message.address != address) FakeApp::takeSetting(app, message);
  };
}

class Configure : public ::testing::Test {
 protected:
  Configure() { app.sources = {{"Main Camera", "Screen"}}; }

  Json configure(const Json& arguments) {
    return app.recorder().configure(arguments);
  }
  std::optional<Failure> configureFailure(const Json& arguments) {
    return failureOf([&] { app.recorder().configure(arguments); });
  }

  FakeApp app;
};

TEST_F(Configure, sendsTheSourcesThenEachSettingInOrder) {
  EXPECT_EQ(
      configure(
          {{"sources", {"Cam", "Screen"}}, {"fps", 30}, {"performance", true}}),
      Json::object());
  EXPECT_EQ(
      app.received,
      (removals() + Messages{sent("/source/1", "Cam"),
                             sent("/source/2", "Screen"), sent("/source/3", ""),
                             sent("/fps", 30.0f), sent("/performance", 1)}));
  EXPECT_EQ(app.readTimes, (std::vector<link::Clock::Duration>(2)));
}

TEST_F(Configure, sendsAndReadsNothingWithoutAKnownKey) {
  EXPECT_EQ(configure(Json::object()), Json::object());
  EXPECT_EQ(configure({{"Sources", 1}, {"volume", "x"}}), Json::object());
  EXPECT_TRUE(app.received.empty());
  EXPECT_TRUE(app.readTimes.empty());
}

TEST_F(Configure, oneSourceIsAListOfOneTitle) {
  EXPECT_EQ(configure({{"source", "screen"}}), Json::object());
  EXPECT_EQ(app.received, (removals() + Messages{sent("/source/1", "screen"),
                                                 sent("/source/2", "")}));
}

TEST_F(Configure, anEmptyListOfSourcesRemovesThemAll) {
  app.values["/source/1"] = "Screen";
  EXPECT_EQ(configure({{"sources", Json::array()}}), Json::object());
  EXPECT_EQ(app.received, removals() + Messages{sent("/source/1", "")});
  EXPECT_EQ(app.readTimes.size(), 2u);
}

TEST_F(Configure, aWrongTypeAnywhereSendsNothingAtAll) {
  const std::vector<std::pair<Json, std::string>> cases = {
      {{{"sources", "Cam"}, {"fps", 30}}, "sources must be a list of titles"},
      {{{"source", 1}, {"gap", "x"}}, "source must be a string"},
      {{{"sources", {"Cam"}}, {"gap", "10"}}, "gap must be a number"},
      {{{"sources", Json::array()}, {"performance", 1}},
       "performance must be true or false"},
      {{{"fps", 30}, {"name", nullptr}}, "name must be a string"},
  };
  for (const auto& [arguments, text] : cases) {
    EXPECT_EQ(configureFailure(arguments), (Failure{Kind::badArguments, text}))
        << arguments.dump();
  }
  EXPECT_TRUE(app.received.empty());
}

TEST_F(Configure, anUnknownTitleIsRefusedBeforeAnyTypeOfTheSettings) {
  EXPECT_EQ(configureFailure({{"sources", {"cam", "Deck"}}, {"gap", "10"}}),
            (Failure{Kind::failed,
                     "There is no source called \u201cDeck\u201d. Available: "
                     "Main Camera, Screen. Nothing was changed."}));
  EXPECT_TRUE(app.received.empty());
}

TEST_F(Configure, anUnknownTitleIsRefusedWhenTheAppOffersNone) {
  app.sources.reset();
  EXPECT_EQ(configureFailure({{"source", "Cam"}}),
            (Failure{Kind::failed,
                     "There is no source called \u201cCam\u201d. Available: . "
                     "Nothing was changed."}));
  EXPECT_TRUE(app.received.empty());
}

TEST_F(Configure, theSourceTestPassesOnAnAppThatDoesNotAnswer) {
  app.answering = false;
  EXPECT_EQ(
      configureFailure({{"sources", {"Cam"}}, {"gap", "x"}}),
      (Failure{Kind::unreachable, app.recorder().unreachable().description()}));
  EXPECT_TRUE(app.received.empty());
}

TEST_F(Configure, aRefusedSettingIsReportedWithTheAppsValueAfterASecond) {
  app.values["/codec"] = "h264";
  app.onMessage = refusing("/codec");
  EXPECT_EQ(configure({{"codec", "hevc"}, {"fps", 25}}),
            (Json{{"codec", "h264"}}));
  EXPECT_EQ(app.received,
            (Messages{sent("/codec", "hevc"), sent("/fps", 25.0f)}));
  EXPECT_EQ(app.readTimes, everyFiftyMsUpTo(milliseconds(1000)));
  EXPECT_EQ(app.clock.sleeps,
            std::vector<link::Clock::Duration>(20, milliseconds(50)));
}

TEST_F(Configure, aSettingTheAppDoesNotPublishIsReportedAsNull) {
  app.onMessage = FakeApp::ignore;
  EXPECT_EQ(configure({{"folder", "/movies"}, {"fps", 30}}),
            (Json{{"fps", nullptr}, {"folder", nullptr}}));
}

TEST_F(Configure, readsBackUntilThePassThatShowsEverySetting) {
  app.onMessage = FakeApp::ignore;
  app.beforeRead = [](FakeApp& fake, int read) {
    if (read == 3) fake.values["/gap"] = 4;
  };
  EXPECT_EQ(configure({{"gap", 4}}), Json::object());
  EXPECT_EQ(app.readTimes, everyFiftyMsUpTo(milliseconds(150)));
}

TEST_F(Configure, theDeadlineIsComparedOnlyAfterAFailedPass) {
  app.onMessage = FakeApp::ignore;
  app.beforeRead = [](FakeApp& fake, int) {
    fake.clock.advance(milliseconds(400));
  };
  EXPECT_EQ(configure({{"gap", 4}}), (Json{{"gap", nullptr}}));
  EXPECT_EQ(app.readTimes,
            (std::vector<link::Clock::Duration>{
                milliseconds(400), milliseconds(850), milliseconds(1300)}));
}

TEST_F(Configure, anAppThatStopsAnsweringEndsTheReadBack) {
  app.beforeRead = [](FakeApp& fake, int read) { fake.answering = read < 2; };
  app.onMessage = FakeApp::ignore;
  EXPECT_EQ(
      configureFailure({{"sources", {"Screen"}}}),
      (Failure{Kind::unreachable, app.recorder().unreachable().description()}));
  EXPECT_EQ(app.received.size(), 10u);
}

TEST_F(Configure, aHalfIsSentRoundedAwayFromZeroAndTakenSo) {
  EXPECT_EQ(configure({{"gap", 2.5}, {"height", -1.5}}), Json::object());
  EXPECT_EQ(app.received, (Messages{sent("/gap", 3), sent("/height", -2)}));
}

TEST_F(Configure, aSizeBeyondAMillionIsSentLimitedAndReported) {
  EXPECT_EQ(configure({{"width", 5000000}}), (Json{{"width", 1000000}}));
  EXPECT_EQ(app.received, Messages{sent("/width", 1000000)});
}

TEST_F(Configure, toolReturnsTheStatusWhenEverySettingWasTaken) {
  app.values["/status/state"] = "idle";
  const Json report = app.recorder().configureTool({{"name", "take"}});
  EXPECT_EQ(report, app.status());
  EXPECT_EQ(report["settings"]["name"], "take");
  EXPECT_FALSE(report.contains("notApplied"));
}

TEST_F(Configure, toolWarnsWithTheStatusAndNotAppliedWhenOneWasNotTaken) {
  app.values["/layout"] = "row";
  app.values["/status/error"] = "";
  app.onMessage = refusing("/layout");
  Json expected = app.status();
  expected["notApplied"] = {{"layout", "row"}};
  EXPECT_EQ(failureOf([&] {
              app.recorder().configureTool({{"layout", "grid"}});
            }),
            (Failure{Kind::failed,
                     "Some settings were not taken as given (the recorder's "
                     "values are in notApplied)\n" +
                         json(expected)}));
}

TEST_F(Configure, toolWarningCarriesTheAppsLastError) {
  app.values["/layout"] = "row";
  app.values["/status/error"] = "unknown layout: grid";
  app.onMessage = refusing("/layout");
  Json expected = app.status();
  expected["notApplied"] = {{"layout", "row"}};
  EXPECT_EQ(failureOf([&] {
              app.recorder().configureTool({{"layout", "grid"}});
            }),
            (Failure{Kind::failed,
                     "Some settings were not taken as given (the recorder's "
                     "values are in notApplied): unknown layout: grid\n" +
                         json(expected)}));
}

TEST_F(Configure, toolWarningLeavesOutAnErrorThatIsNoText) {
  app.values["/status/error"] = 3;
  app.onMessage = FakeApp::ignore;
  Json expected = app.status();
  expected["notApplied"] = {{"name", nullptr}};
  EXPECT_EQ(failureOf([&] {
              app.recorder().configureTool({{"name", "a"}});
            }),
            (Failure{Kind::failed,
                     "Some settings were not taken as given (the recorder's "
                     "values are in notApplied)\n" +
                         json(expected)}));
}

TEST_F(Configure, toolPassesOnTheRefusalOfTheArguments) {
  EXPECT_EQ(failureOf([&] {
              app.recorder().configureTool({{"fps", "x"}});
            }),
            (Failure{Kind::badArguments, "fps must be a number"}));
  EXPECT_TRUE(app.readTimes.empty());
}

}  // namespace
}  // namespace zindle::testing
