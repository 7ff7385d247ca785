#include "operations/status.hpp"

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/golden.hpp"

namespace zindle::operations {
namespace {

// A snapshot of a namespace holding `values`, an object from path to value.
link::NamespaceSnapshot snapshotOf(const Json& values,
                                   std::vector<std::string> sources = {}) {
  return {values.get<decltype(link::NamespaceSnapshot::values)>(),
          std::move(sources)};
}

// The status of a namespace without a single node ("empty"), and of one
// where each path holds its own name ("paths"), so that a member read from
// the wrong path shows which one; there the flags hold true, and the
// settings' sound a choice.
Json golden(const std::string& which) {
  return Json::parse(testing::golden("status.json"))[which];
}

// The source entry of `slot` when the app shows nothing of it but `title`.
Json bareEntry(int slot, const std::string& title) {
  Json entry = Json::parse(R"({"kind": null, "online": false, "width": null,
    "height": null, "fps": null, "file": null, "frames": null, "dropped": null,
    "sound": false, "soundWritten": null})");
  entry["place"] = slot;
  entry["title"] = title;
  return entry;
}

// Adds to `values` every text of `status` that is a path, holding itself.
void addPathsOf(const Json& status, Json& values) {
  for (const Json& member : status) {
    if (member.is_structured()) addPathsOf(member, values);
    if (member.is_string() && member.get<std::string>().starts_with('/')) {
      values[member.get<std::string>()] = member;
    }
  }
}

TEST(Status, emptyNamespaceGivesNullsFalseFlagsAndEmptyLists) {
  EXPECT_EQ(statusFrom(link::NamespaceSnapshot{}), golden("empty"));
}

TEST(Status, readsEachMemberFromItsPath) {
  const Json expected = golden("paths");
  Json values = Json::parse(R"({"/status/ndi": true, "/performance": true,
    "/sound": "computer", "/source/2": "Studio",
    "/status/source/2/online": true, "/status/source/2/sound": true})");
  addPathsOf(expected, values);
  EXPECT_EQ(statusFrom(snapshotOf(values)), expected);
}

TEST(Status, aFlagIsSetByTrueAndWholeNonZeroNumbersOnly) {
  const std::vector<std::pair<Json, bool>> cases = {
      {"true", false},
      {1, true},
      {1u, true},
      {true, true},
      {0, false},
      {0.0, false},
      {-0.0, false},
      {1.0, true},
      {2.0, true},
      {-3.0, true},
      {1.5, false},
      {false, false},
      {std::numeric_limits<double>::infinity(), false}};
  for (const auto& [value, flag] : cases) {
    EXPECT_EQ(statusFrom(snapshotOf({{"/status/ndi", value}}))["ndi"], flag)
        << value;
  }
}

TEST(Status, listsTheSlotsHoldingATitleAndTheNdiTitlesApart) {
  // A slot's kind and soundWritten come from its own lower-case paths only.
  Json expected = golden("empty");
  expected["sources"] = {bareEntry(1, "A"), bareEntry(3, "C"),
                         bareEntry(5, "E"), bareEntry(8, "H")};
  // The NDI text's empty lines name no source; its last needs no newline.
  expected["sourcesAvailable"] = Json::parse(R"([{"title": "A", "kind": "ndi"},
    {"title": "A ", "kind": "ndi"}, {"title": "B", "kind": "syphon"},
    {"title": "", "kind": "syphon"}])");
  const Json values = Json::parse(R"({"/source/1": "A", "/source/2": "",
    "/source/3": "C", "/source/4": 4, "/source/5": "E", "/source/8": "H",
    "/source/9": "I", "/status/source/1/soundWritten": 3,
    "/status/assembled/soundWritten": 8, "/status/ndi/sources": "A\n\nB \nA "})");
  EXPECT_EQ(statusFrom(snapshotOf(values, {"A", "A ", "B", ""})), expected);
}

}  // namespace
}  // namespace zindle::operations
