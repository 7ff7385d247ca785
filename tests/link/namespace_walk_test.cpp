#include <pthread.h>

#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "link/recorder.hpp"

namespace zindle::link {
namespace {

// The values and sources of a walk that starts with the sources ["Old"].
Json walked(const Json& root) {
  Reading reading{{}, {"Old"}};
  walk(root, reading);
  return {{"values", reading.values}, {"sources", reading.sources}};
}

TEST(NamespaceWalk, takesTheFirstValuesAndTheSourcesOfSource) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      // Every depth, the root too; a member of CONTENTS that is no object
      // is skipped.
      {R"({"FULL_PATH": "/", "VALUE": ["root"], "CONTENTS": {"a": "text",
           "b": {"FULL_PATH": "/size", "VALUE": [1920, 1080], "CONTENTS": {
             "c": {"FULL_PATH": "/size/none", "VALUE": [null]}}}}})",
       R"({"values": {"/": "root", "/size": 1920, "/size/none": null},
           "sources": ["Old"]})"},
      // No value without a VALUE array that has an element.
      {R"({"CONTENTS": {"a": {"FULL_PATH": "/a", "VALUE": []},
                        "b": {"FULL_PATH": "/b", "VALUE": "idle"}}})",
       R"({"values": {}, "sources": ["Old"]})"},
      {R"([{"FULL_PATH": "/a", "VALUE": [1]}])",
       R"({"values": {}, "sources": ["Old"]})"},
      // The titles come from the first RANGE object; when that is malformed
      // there are none.
      {R"({"FULL_PATH": "/source", "VALUE": ["Camera"],
           "RANGE": [{"VALS": ["Camera", "Screen"]}, {"VALS": ["Other"]}]})",
       R"({"values": {"/source": "Camera"}, "sources": ["Camera", "Screen"]})"},
      {R"({"FULL_PATH": "/source", "VALUE": [""], "RANGE": [{}]})",
       R"({"values": {"/source": ""}, "sources": []})"},
      {R"({"FULL_PATH": "/source", "VALUE": [""],
           "RANGE": [{"VALS": ["Camera", 3]}]})",
       R"({"values": {"/source": ""}, "sources": []})"},
      // No RANGE object, or no value, leaves the titles as they were.
      {R"({"FULL_PATH": "/source", "VALUE": [""], "RANGE": []})",
       R"({"values": {"/source": ""}, "sources": ["Old"]})"},
      {R"({"FULL_PATH": "/source", "VALUE": [], "RANGE": [{"VALS": ["A"]}]})",
       R"({"values": {}, "sources": ["Old"]})"},
  };
  for (const auto& [root, expected] : cases) {
    EXPECT_EQ(walked(Json::parse(root)), Json::parse(expected)) << root;
  }
}

TEST(NamespaceWalk, walksTenThousandLevelsOnAStackTooSmallToRecurse) {
  // Built from the leaf up, by moves, so the test never recurses either.
  Json tree = {{"FULL_PATH", "/deep"}, {"VALUE", {"bottom"}}};
  for (int level = 0; level < 10'000; ++level) {
    Json parent = {{"FULL_PATH", "/level"}, {"VALUE", {level}}};
    parent["CONTENTS"]["child"] = std::move(tree);
    tree = std::move(parent);
  }
  std::pair<const Json&, Json> job{tree, nullptr};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  const auto run = [](void* context) -> void* {
    auto& [root, result] = *static_cast<decltype(job)*>(context);
    result = walked(root);
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, &job), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);

  EXPECT_EQ(job.second, Json::parse(R"({"values": {"/deep": "bottom",
      "/level": 0}, "sources": ["Old"]})"));
}

}  // namespace
}  // namespace zindle::link
