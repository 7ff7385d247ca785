#include "link/recorder.hpp"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/fake_app.hpp"

namespace zindle::testing {
namespace {

using namespace std::chrono_literals;

// Eight removals of the first source leave the app with none chosen.
Messages removals() { return Messages(8, {"/source/1", ""}); }

class Configure : public ::testing::Test {
 protected:
  FakeApp app;
};

TEST_F(Configure, sendsAndReadsNothingForNoArguments) {
  EXPECT_EQ(app.recorder.configure(Json::object()), Json::object());
  EXPECT_TRUE(app.received.empty());
  EXPECT_TRUE(app.readTimes.empty());
}

TEST_F(Configure, anEmptyListOfSourcesRemovesThemAll) {
  EXPECT_EQ(app.recorder.configure({{"sources", Json::array()}}),
            Json::object());
  Messages expected = removals();
  expected.push_back({"/source/1", ""});
  EXPECT_EQ(app.received, expected);
}

TEST_F(Configure, eightTitlesLeaveNoSlotToEmpty) {
  app.sources = {"1", "2", "3", "4", "5", "6", "7", "8"};
  Messages expected = removals();
  for (const std::string& title : app.sources) {
    expected.push_back({"/source/" + title, title});
  }
  EXPECT_EQ(app.recorder.configure({{"sources", app.sources}}), Json::object());
  EXPECT_EQ(app.received, expected);
}

TEST_F(Configure, readsBackEveryFiftyMsForASecondThenReportsTheAppsValue) {
  app.values["/codec"] = "h264";
  app.onMessage = FakeApp::refusing("/codec");
  EXPECT_EQ(app.recorder.configure({{"codec", "hevc"}, {"fps", 25}}),
            (Json{{"codec", "h264"}}));
  Durations times;
  for (auto t = 0ms; t <= 1s; t += 50ms) times.push_back(t);
  EXPECT_EQ(app.readTimes, times);
}

TEST_F(Configure, refusesATitleWhenTheAppOffersNone) {
  EXPECT_EQ(failureOf([&] {
              app.recorder.configure({{"source", "Cam"}});
            }),
            (Failure{RecorderError::Kind::failed,
                     "There is no source called \u201cCam\u201d. Available: . "
                     "Nothing was changed."}));
  EXPECT_TRUE(app.received.empty());
}

TEST_F(Configure, toolWarnsWithTheStatusAndNotAppliedWithoutAnError) {
  app.onMessage = FakeApp::ignore;
  Json expected = app.recorder.status();
  expected["notApplied"] = {{"name", nullptr}};
  EXPECT_EQ(failureOf([&] {
              app.recorder.configureTool({{"name", "a"}});
            }),
            failed("Some settings were not taken as given (the recorder's "
                   "values are in notApplied)\n",
                   expected));
}

}  // namespace
}  // namespace zindle::testing
