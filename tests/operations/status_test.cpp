#include "operations/status.hpp"

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace zindle::operations {
namespace {

// A reading of a namespace holding `values`, an object from path to value.
link::Reading readingOf(const Json& values,
                        std::vector<std::string> sources = {}) {
  return {values.get<std::unordered_map<std::string, Json>>(),
          std::move(sources)};
}

// What a namespace without a single node gives.
Json emptyStatus() {
  return Json::parse(R"({
    "version": null, "ndi": false, "soundLeftOut": null, "state": null,
    "elapsed": null, "dropped": null, "error": null, "failure": null,
    "sources": [], "sourcesAvailable": [],
    "settings": {"codec": null, "fps": null, "bitrate": null, "folder": null,
      "name": null, "output": null, "layout": null, "gap": null, "width": null,
      "height": null, "sound": null, "performance": false},
    "assembled": {"width": null, "height": null, "file": null, "frames": null,
      "dropped": null, "soundWritten": null}})");
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
  EXPECT_EQ(statusFrom(link::Reading{}), emptyStatus());
}

TEST(Status, readsEachMemberFromItsPath) {
  // Each path holds its own name, so a member read from the wrong path
  // shows which one; the flags hold true, the settings' sound a choice.
  const Json expected = Json::parse(R"({
    "version": "/status/version", "ndi": true, "state": "/status/state",
    "soundLeftOut": "/status/sound/leftout", "elapsed": "/status/elapsed",
    "dropped": "/status/dropped", "error": "/status/error",
    "failure": "/status/failure", "sourcesAvailable": [],
    "settings": {"codec": "/codec", "fps": "/fps", "bitrate": "/bitrate",
      "folder": "/folder", "name": "/name", "output": "/output",
      "layout": "/layout", "gap": "/gap", "width": "/width",
      "height": "/height", "sound": "computer", "performance": true},
    "assembled": {"width": "/status/assembled/width",
      "height": "/status/assembled/height", "file": "/status/assembled/file",
      "frames": "/status/assembled/frames",
      "dropped": "/status/assembled/dropped",
      "soundWritten": "/status/sound/written"},
    "sources": [{"place": 2, "title": "Studio", "online": true,
      "kind": "/status/source/2/kind", "width": "/status/source/2/width",
      "height": "/status/source/2/height", "fps": "/status/source/2/fps",
      "file": "/status/source/2/file", "frames": "/status/source/2/frames",
      "dropped": "/status/source/2/dropped", "sound": true,
      "soundWritten": "/status/source/2/soundwritten"}]})");
  Json values = Json::parse(R"({"/status/ndi": true, "/performance": true,
    "/sound": "computer", "/source/2": "Studio",
    "/status/source/2/online": true, "/status/source/2/sound": true})");
  addPathsOf(expected, values);
  EXPECT_EQ(statusFrom(readingOf(values)), expected);
}

TEST(Status, aFlagIsSetByTrueAndWholeNonZeroNumbersOnly) {
  const std::vector<std::pair<Json, bool>> cases = {
      {"true", false}, {1, true}, {true, true}, {0, false}, {1.5, false}};
  for (const auto& [value, flag] : cases) {
    EXPECT_EQ(statusFrom(readingOf({{"/status/ndi", value}}))["ndi"], flag)
        << value;
  }
}

TEST(Status, listsTheSlotsHoldingATitleAndTheNdiTitlesApart) {
  // A slot's kind and soundWritten come from its own lower-case paths only.
  Json expected = emptyStatus();
  expected["sources"] = {bareEntry(1, "A"), bareEntry(3, "C"),
                         bareEntry(5, "E")};
  expected["sourcesAvailable"] = Json::parse(R"([{"title": "A", "kind": "ndi"},
    {"title": "A ", "kind": "syphon"}, {"title": "B", "kind": "syphon"}])");
  const Json values = Json::parse(R"({"/source/1": "A", "/source/2": "",
    "/source/3": "C", "/source/4": 4, "/source/5": "E", "/source/9": "I",
    "/status/source/1/soundWritten": 3, "/status/assembled/soundWritten": 8,
    "/status/ndi/sources": "A\n\nB \n"})");
  EXPECT_EQ(statusFrom(readingOf(values, {"A", "A ", "B"})), expected);
}

}  // namespace
}  // namespace zindle::operations
