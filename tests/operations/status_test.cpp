#include "operations/status.hpp"

#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "operations/fake_app.hpp"

namespace zindle::operations {
namespace {

using link::Reading;

Reading readingOf(std::vector<std::pair<std::string, Json>> values,
                  std::vector<std::string> sources = {}) {
  Reading reading;
  for (auto& [path, value] : values) reading.values[path] = std::move(value);
  reading.sources = std::move(sources);
  return reading;
}

// What a namespace without a single node gives.
Json emptyStatus() {
  return {
      {"version", nullptr},
      {"sources", Json::array()},
      {"ndi", false},
      {"sourcesAvailable", Json::array()},
      {"settings",
       {{"codec", nullptr},
        {"fps", nullptr},
        {"bitrate", nullptr},
        {"folder", nullptr},
        {"name", nullptr},
        {"output", nullptr},
        {"layout", nullptr},
        {"gap", nullptr},
        {"width", nullptr},
        {"height", nullptr},
        {"sound", nullptr},
        {"performance", false}}},
      {"assembled",
       {{"width", nullptr},
        {"height", nullptr},
        {"file", nullptr},
        {"frames", nullptr},
        {"dropped", nullptr},
        {"soundWritten", nullptr}}},
      {"soundLeftOut", nullptr},
      {"state", nullptr},
      {"elapsed", nullptr},
      {"dropped", nullptr},
      {"error", nullptr},
      {"failure", nullptr},
  };
}

// A source entry whose status paths are all absent.
Json bareEntry(int place, std::string title) {
  return {{"place", place},    {"title", std::move(title)},
          {"kind", nullptr},   {"online", false},
          {"width", nullptr},  {"height", nullptr},
          {"fps", nullptr},    {"file", nullptr},
          {"frames", nullptr}, {"dropped", nullptr},
          {"sound", false},    {"soundWritten", nullptr}};
}

TEST(Status, emptyNamespaceGivesNullsFalseFlagsAndEmptyLists) {
  EXPECT_EQ(statusFrom(Reading{}), emptyStatus());
}

TEST(Status, mapsEveryPathOfTheAppToItsMember) {
  const Reading reading =
      readingOf({{"/status/version", 0.9},
                 {"/status/ndi", true},
                 {"/status/ndi/sources", "Studio\n"},
                 {"/status/sound/leftout", 0.5},
                 {"/status/state", "recording"},
                 {"/status/elapsed", 12.5},
                 {"/status/dropped", 3},
                 {"/status/error", ""},
                 {"/status/failure", "disk full"},
                 {"/codec", "hevc"},
                 {"/fps", 30},
                 {"/bitrate", 0},
                 {"/folder", "/movies"},
                 {"/name", "take"},
                 {"/output", "both"},
                 {"/layout", "grid"},
                 {"/gap", 4},
                 {"/width", 1920},
                 {"/height", 1080},
                 {"/sound", "computer"},
                 {"/performance", 1},
                 {"/status/assembled/width", 3840},
                 {"/status/assembled/height", 1080},
                 {"/status/assembled/file", "/movies/take.mov"},
                 {"/status/assembled/frames", 360},
                 {"/status/assembled/dropped", 2},
                 {"/status/sound/written", 11.9},
                 {"/source/2", "Studio"},
                 {"/status/source/2/kind", "ndi"},
                 {"/status/source/2/online", 1},
                 {"/status/source/2/width", 1280},
                 {"/status/source/2/height", 720},
                 {"/status/source/2/fps", 59.94},
                 {"/status/source/2/file", "/movies/take Studio.mov"},
                 {"/status/source/2/frames", 700},
                 {"/status/source/2/dropped", 1},
                 {"/status/source/2/sound", true},
                 {"/status/source/2/soundwritten", 11.8}},
                {"Screen", "Studio"});
  Json expected = emptyStatus();
  expected["version"] = 0.9;
  expected["ndi"] = true;
  expected["soundLeftOut"] = 0.5;
  expected["state"] = "recording";
  expected["elapsed"] = 12.5;
  expected["dropped"] = 3;
  expected["error"] = "";
  expected["failure"] = "disk full";
  expected["settings"] = {{"codec", "hevc"},     {"fps", 30},
                          {"bitrate", 0},        {"folder", "/movies"},
                          {"name", "take"},      {"output", "both"},
                          {"layout", "grid"},    {"gap", 4},
                          {"width", 1920},       {"height", 1080},
                          {"sound", "computer"}, {"performance", true}};
  expected["assembled"] = {
      {"width", 3840}, {"height", 1080}, {"file", "/movies/take.mov"},
      {"frames", 360}, {"dropped", 2},   {"soundWritten", 11.9}};
  expected["sources"] = {{{"place", 2},
                          {"title", "Studio"},
                          {"kind", "ndi"},
                          {"online", true},
                          {"width", 1280},
                          {"height", 720},
                          {"fps", 59.94},
                          {"file", "/movies/take Studio.mov"},
                          {"frames", 700},
                          {"dropped", 1},
                          {"sound", true},
                          {"soundWritten", 11.8}}};
  expected["sourcesAvailable"] = {{{"title", "Screen"}, {"kind", "syphon"}},
                                  {{"title", "Studio"}, {"kind", "ndi"}}};
  EXPECT_EQ(statusFrom(reading), expected);
}

TEST(Status, asIsMembersKeepWhateverTypeTheAppPublished) {
  Json expected = emptyStatus();
  expected["state"] = 7;
  expected["version"] = {{"major", 1}};
  expected["error"] = Json::array({"a"});
  expected["settings"]["sound"] = false;
  expected["settings"]["fps"] = "thirty";
  EXPECT_EQ(statusFrom(readingOf({{"/status/state", 7},
                                  {"/status/version", {{"major", 1}}},
                                  {"/status/error", Json::array({"a"})},
                                  {"/sound", false},
                                  {"/fps", "thirty"}})),
            expected);
}

TEST(Status, flagIsTrueOnlyForTrueAndWholeNonZeroNumbers) {
  const std::vector<std::pair<Json, bool>> cases = {
      {true, true},
      {false, false},
      {1, true},
      {-2, true},
      {0, false},
      {std::numeric_limits<std::uint64_t>::max(), true},
      {2.0, true},
      {1e300, true},
      {0.0, false},
      {-0.0, false},
      {1.5, false},
      {0.5, false},
      {"true", false},
      {"1", false},
      {nullptr, false},
      {Json::array({1}), false},
      {Json::object(), false},
  };
  for (const auto& [value, flag] : cases) {
    Json expected = emptyStatus();
    expected["ndi"] = flag;
    EXPECT_EQ(statusFrom(readingOf({{"/status/ndi", value}})), expected)
        << value.dump();
  }
}

TEST(Status, emptyAndNonTextSlotsAreSkippedWithoutEndingTheList) {
  Json expected = emptyStatus();
  expected["sources"] = {bareEntry(1, "A"), bareEntry(3, "C"),
                         bareEntry(5, "E"), bareEntry(8, "H")};
  EXPECT_EQ(statusFrom(readingOf({{"/source/1", "A"},
                                  {"/source/2", ""},
                                  {"/source/3", "C"},
                                  {"/source/4", 4},
                                  {"/source/5", "E"},
                                  {"/source/6", nullptr},
                                  {"/source/8", "H"},
                                  {"/source/9", "I"},
                                  {"/source/10", "J"}})),
            expected);
}

TEST(Status, sourceEntriesAreReadByTheirSlotNumber) {
  Json expected = emptyStatus();
  Json second = bareEntry(2, "Cam");
  second["frames"] = 20;
  second["sound"] = false;
  expected["sources"] = Json::array({second});
  EXPECT_EQ(statusFrom(readingOf({{"/source/2", "Cam"},
                                  {"/status/source/1/frames", 10},
                                  {"/status/source/2/frames", 20},
                                  {"/status/source/2/sound", 0}})),
            expected);
}

TEST(Status, soundWrittenIsReadFromItsLowerCaseAndAssembledPaths) {
  Json expected = emptyStatus();
  expected["sources"] = {bareEntry(1, "A"), bareEntry(2, "B")};
  expected["sources"][1]["soundWritten"] = 4.5;
  expected["assembled"]["soundWritten"] = 9;
  EXPECT_EQ(statusFrom(readingOf({{"/source/1", "A"},
                                  {"/status/source/1/soundWritten", 3},
                                  {"/source/2", "B"},
                                  {"/status/source/2/soundwritten", 4.5},
                                  {"/status/assembled/soundwritten", 8},
                                  {"/status/assembled/soundWritten", 8},
                                  {"/status/sound/written", 9}})),
            expected);
}

TEST(Status, ndiTitlesAreTheNonEmptyLinesExactlyAsWritten) {
  Json expected = emptyStatus();
  expected["sourcesAvailable"] = {{{"title", "A"}, {"kind", "ndi"}},
                                  {{"title", "B"}, {"kind", "ndi"}},
                                  {{"title", "C"}, {"kind", "syphon"}},
                                  {{"title", "D"}, {"kind", "syphon"}},
                                  {{"title", " E"}, {"kind", "ndi"}},
                                  {{"title", "A"}, {"kind", "ndi"}}};
  EXPECT_EQ(
      statusFrom(readingOf({{"/status/ndi/sources", "\nA\n\nB\nD \n E\n"}},
                           {"A", "B", "C", "D", " E", "A"})),
      expected);
}

TEST(Status, everyAvailableSourceIsSyphonWhenTheNdiTitlesAreNoText) {
  Json expected = emptyStatus();
  expected["sourcesAvailable"] = {{{"title", "A"}, {"kind", "syphon"}}};
  EXPECT_EQ(statusFrom(readingOf({{"/status/ndi/sources", Json::array({"A"})}},
                                 {"A"})),
            expected);
}

TEST(Status, chosenSourceKindIsTheSlotsOwnValueNotTheNdiTitles) {
  Json expected = emptyStatus();
  expected["sources"] = Json::array({bareEntry(1, "A")});
  expected["sourcesAvailable"] = {{{"title", "A"}, {"kind", "ndi"}}};
  EXPECT_EQ(statusFrom(readingOf(
                {{"/status/ndi/sources", "A"}, {"/source/1", "A"}}, {"A"})),
            expected);
}

TEST(Status, isBuiltFromOneReadOfTheApp) {
  testing::FakeApp app;
  app.values = {{"/status/state", "idle"}, {"/source/1", "Cam"}};
  app.sources = {{"Cam"}};
  Json expected = emptyStatus();
  expected["state"] = "idle";
  expected["sources"] = Json::array({bareEntry(1, "Cam")});
  expected["sourcesAvailable"] = {{{"title", "Cam"}, {"kind", "syphon"}}};
  EXPECT_EQ(app.recorder().status(), expected);
  EXPECT_EQ(app.readTimes.size(), 1u);
  EXPECT_TRUE(app.received.empty());
}

TEST(Status, passesOnThatTheAppIsUnreachable) {
  testing::FakeApp app;
  app.answering = false;
  try {
    app.recorder().status();
    FAIL() << "no error";
  } catch (const RecorderError& error) {
    EXPECT_EQ(error.kind(), RecorderError::Kind::unreachable);
    EXPECT_EQ(error.description(), app.recorder().unreachable().description());
  }
}

TEST(Status, textMemberIsTheStringAtTheKeyOrEmpty) {
  const Json status = {{"error", "late"}, {"failure", 1}};
  EXPECT_EQ(textMember(status, "error"), "late");
  EXPECT_EQ(textMember(status, "failure"), "");
  EXPECT_EQ(textMember(status, "state"), "");
  EXPECT_EQ(textMember(Json::array({"error"}), "error"), "");
}

}  // namespace
}  // namespace zindle::operations
