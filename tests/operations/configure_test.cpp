#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "link/recorder.hpp"
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

// The order of what is sent, against the simulator: the end-to-end tests.
TEST_F(Configure, sendsNothingUnknownAndNoNinthSlotToEmpty) {
  EXPECT_EQ(app.recorder.configure({{"unknown", 1}}), Json::object());
  EXPECT_TRUE(app.received.empty());
  EXPECT_TRUE(app.readTimes.empty());
  app.sources = {"1", "2", "3", "4", "5", "6", "7", "8"};
  EXPECT_EQ(app.recorder.configure({{"sources", app.sources}}), Json::object());
  Messages expected = removals();
  for (const std::string& title : app.sources) {
    expected.push_back({"/source/" + title, title});
  }
  EXPECT_EQ(app.received, expected);
}

// Every argument is tested, and every title found, before anything is sent.
TEST_F(Configure, refusesArgumentsItCannotUseAndSendsNothing) {
  app.sources = {"Main Camera", "Screen"};
  const std::pair<Json, Failure> kCases[] = {
      {{{"sources", "Main"}},
       {RecorderError::Kind::badArguments, "sources must be a list of titles"}},
      {{{"sources", {"a", 1}}},
       {RecorderError::Kind::badArguments, "sources must be a list of titles"}},
      {{{"sources", {"1", "2", "3", "4", "5", "6", "7", "8", "9"}}},
       {RecorderError::Kind::badArguments,
        "no more than 8 sources can be recorded at once"}},
      {{{"source", 3}},
       {RecorderError::Kind::badArguments, "source must be a string"}},
      {{{"source", "main"}, {"gap", "10"}},
       {RecorderError::Kind::badArguments, "gap must be a number"}},
      {{{"performance", 1}},
       {RecorderError::Kind::badArguments,
        "performance must be true or false"}},
      {{{"codec", nullptr}, {"fps", "x"}},
       {RecorderError::Kind::badArguments, "codec must be a string"}},
      {{{"sources", {"main", "tape", "nope"}}},
       {RecorderError::Kind::failed,
        "There is no source called \u201ctape\u201d. Available: Main Camera, "
        "Screen. Nothing was changed."}},
      {{{"sources", {""}}},
       {RecorderError::Kind::failed,
        "There is no source called \u201c\u201d. Available: Main Camera, "
        "Screen. Nothing was changed."}},
  };
  for (const auto& [arguments, failure] : kCases) {
    EXPECT_EQ(failureOf([&] { app.recorder.configure(arguments); }), failure)
        << arguments;
  }
  app.sources.clear();
  EXPECT_EQ(failureOf([&] {
              app.recorder.configure({{"source", "Cam"}});
            }),
            (Failure{RecorderError::Kind::failed,
                     "There is no source called \u201cCam\u201d. Available: . "
                     "Nothing was changed."}));
  EXPECT_TRUE(app.received.empty());
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

TEST_F(Configure, toolWarnsWithTheStatusNotAppliedAndTheAppsError) {
  app.onMessage = FakeApp::ignore;
  Json expected = app.recorder.status();
  expected["notApplied"] = {{"name", nullptr}};
  EXPECT_EQ(failureOf([&] {
              app.recorder.configureTool({{"name", "a"}});
            }),
            failed("Some settings were not taken as given (the recorder's "
                   "values are in notApplied)\n",
                   expected));
  app.values["/status/error"] = "No.";
  expected = app.recorder.status();
  expected["notApplied"] = {{"name", nullptr}};
  EXPECT_EQ(failureOf([&] {
              app.recorder.configureTool({{"name", "a"}});
            }),
            failed("Some settings were not taken as given (the recorder's "
                   "values are in notApplied): No.\n",
                   expected));
}

}  // namespace
}  // namespace zindle::testing
