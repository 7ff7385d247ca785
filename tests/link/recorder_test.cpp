#include "link/recorder.hpp"

#include <chrono>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/fakes.hpp"

namespace {

using namespace std::chrono_literals;
using zindle::Json;
using zindle::RecorderError;
using zindle::link::Reading;
using zindle::link::Recorder;
using zindle::link::Services;
using zindle::testing::FakeClock;
using zindle::testing::RecordingSender;
using zindle::testing::ScriptedReader;
using Datagrams = std::vector<std::pair<std::int64_t, std::string>>;

const std::string kUnreachableText =
    "ZindleRecorder is not running, or its OSCQuery server is not on ports "
    "9231\xE2\x80\x93"
    "9246. Launch the app and retry (set ZINDLE_OSCQUERY_PORT if it uses "
    "another port).";

// An app found on 9235 with its OSC input on 9000; `namespaceAnswer` is
// what a read of "/" gets.
struct App {
  explicit App(std::function<std::optional<Json>()> namespaceAnswer)
      : reader([namespaceAnswer](std::int64_t, const std::string&) {
          return namespaceAnswer();
        }),
        services{reader, sender, clock},
        recorder{9235, 9000, &services} {}

  ScriptedReader reader;
  RecordingSender sender;
  FakeClock clock;
  Services services;
  Recorder recorder;
};

// The error `read()` throws, or a failure when it throws none.
RecorderError readError(const Recorder& recorder) {
  try {
    recorder.read();
  } catch (const RecorderError& error) {
    return error;
  }
  ADD_FAILURE() << "read() gave a reading";
  return RecorderError::failed("");
}

TEST(Recorder, readsTheWholeNamespaceFromTheQueryPort) {
  App app([] {
    return Json::parse(R"({
      "FULL_PATH": "/",
      "CONTENTS": {
        "status": {"FULL_PATH": "/status", "CONTENTS": {
          "state": {"FULL_PATH": "/status/state", "VALUE": ["idle"]},
          "error": {"FULL_PATH": "/status/error", "VALUE": [""]}}},
        "source": {"FULL_PATH": "/source", "VALUE": ["Camera"],
                   "RANGE": [{"VALS": ["Camera", "Screen"]}]}}})");
  });

  const Reading reading = app.recorder.read();

  EXPECT_EQ(reading.values,
            (std::unordered_map<std::string, Json>{{"/status/state", "idle"},
                                                   {"/status/error", ""},
                                                   {"/source", "Camera"}}));
  EXPECT_EQ(reading.sources, (std::vector<std::string>{"Camera", "Screen"}));
  ASSERT_EQ(app.reader.requests.size(), 1u);
  EXPECT_EQ(app.reader.requests[0].port, 9235);
  EXPECT_EQ(app.reader.requests[0].path, "/");
  EXPECT_EQ(app.reader.requests[0].timeout, 2000ms);
}

TEST(Recorder, readsTheAppAfreshEachTime) {
  int reads = 0;
  App app([&] { return Json{{"FULL_PATH", "/count"}, {"VALUE", {++reads}}}; });

  EXPECT_EQ(app.recorder.read().values.at("/count"), 1);
  EXPECT_EQ(app.recorder.read().values.at("/count"), 2);
  EXPECT_EQ(app.reader.requests.size(), 2u);
}

TEST(Recorder, readThrowsUnreachableWhenTheAppGivesNoAnswer) {
  App app([] { return std::nullopt; });  // a 404, a time-out, a refusal

  const RecorderError error = readError(app.recorder);

  EXPECT_EQ(error.kind(), RecorderError::Kind::unreachable);
  EXPECT_EQ(error.description(), kUnreachableText);
}

TEST(Recorder, readThrowsUnreachableForADocumentThatIsNotAnObject) {
  for (const Json& document :
       {Json::array(), Json::array({Json::object()}), Json("text")}) {
    SCOPED_TRACE(document.dump());
    App app([&] { return document; });

    const RecorderError error = readError(app.recorder);

    EXPECT_EQ(error.kind(), RecorderError::Kind::unreachable);
    EXPECT_EQ(error.description(), kUnreachableText);
  }
}

TEST(Recorder, readGivesAnEmptyReadingForAnEmptyNamespace) {
  App app([] { return Json::object(); });

  const Reading reading = app.recorder.read();

  EXPECT_TRUE(reading.values.empty());
  EXPECT_TRUE(reading.sources.empty());
}

TEST(Recorder, sendsOneEncodedMessageToTheOscPort) {
  App app([] { return std::nullopt; });

  app.recorder.send("/record", {1});
  app.recorder.send("/source/1", {std::string("Camera")});
  app.recorder.send("/ping", {});

  EXPECT_EQ(app.sender.datagrams,
            (Datagrams{
                {9000, std::string("/record\0,i\0\0\0\0\0\1", 16)},
                {9000, std::string("/source/1\0\0\0,s\0\0Camera\0\0", 24)},
                {9000, std::string("/ping\0\0\0,\0\0\0", 12)},
            }));
  EXPECT_TRUE(app.reader.requests.empty());  // nothing waits for an answer
}

TEST(Recorder, namesThePortRangeOfItsServicesWhenUnreachable) {
  App app([] { return std::nullopt; });
  app.services.preferredPort = 9300;

  const RecorderError error = app.recorder.unreachable();

  EXPECT_EQ(error.kind(), RecorderError::Kind::unreachable);
  EXPECT_EQ(error.description(),
            "ZindleRecorder is not running, or its OSCQuery server is not on "
            "ports 9300\xE2\x80\x93"
            "9315. Launch the app and retry (set ZINDLE_OSCQUERY_PORT if it "
            "uses another port).");
}

}  // namespace
