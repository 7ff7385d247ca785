#include <pthread.h>

#include <string>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "link/recorder.hpp"

namespace {

using zindle::Json;
using zindle::link::Reading;
using zindle::link::walk;
using Values = std::unordered_map<std::string, Json>;
using Sources = std::vector<std::string>;

Json node(std::string_view path, Json value) {
  return {{"FULL_PATH", path}, {"VALUE", std::move(value)}};
}

// A root whose "CONTENTS" holds `children` under the names a, b, c, ...
Json rootOf(std::vector<Json> children) {
  Json contents = Json::object();
  std::string name = "a";
  for (Json& child : children) {
    contents[name] = std::move(child);
    ++name[0];
  }
  return {{"CONTENTS", std::move(contents)}};
}

Reading walked(const Json& root, Sources sources = {}) {
  Reading reading;
  reading.sources = std::move(sources);
  walk(root, reading);
  return reading;
}

Json sourceNode(Json value, Json range) {
  Json source = node("/source", std::move(value));
  source["RANGE"] = std::move(range);
  return source;
}

TEST(NamespaceWalk, entersTheFirstValueOfEachNodeUnderItsFullPath) {
  const Reading reading = walked(rootOf({
      node("/status/state", {"idle"}),
      node("/size", {1920, 1080}),
      node("/flag", {true}),
      node("/rate", {29.97}),
      node("/nothing", {nullptr}),
      node("/list", Json::array({Json::array({1, 2})})),
  }));
  EXPECT_EQ(reading.values, (Values{{"/status/state", "idle"},
                                    {"/size", 1920},
                                    {"/flag", true},
                                    {"/rate", 29.97},
                                    {"/nothing", nullptr},
                                    {"/list", Json::array({1, 2})}}));
  EXPECT_EQ(reading.sources, Sources{});
}

TEST(NamespaceWalk, entersNoNodeWithoutAPathAndANonEmptyValueArray) {
  Json noPath = {{"VALUE", {1}}};
  Json numericPath = {{"FULL_PATH", 5}, {"VALUE", {1}}};
  Json noValue = {{"FULL_PATH", "/container"}};
  const Reading reading = walked(rootOf({
      node("/empty", Json::array()),
      node("/scalar", "idle"),
      node("/object", {{"0", "idle"}}),
      std::move(noPath),
      std::move(numericPath),
      std::move(noValue),
  }));
  EXPECT_EQ(reading.values, Values{});
}

TEST(NamespaceWalk, readsTheRootAndEveryDepthBelowIt) {
  Json root = node("/", {"root"});
  Json middle = node("/a", {1});
  middle["CONTENTS"] = {{"leaf", node("/a/b", {2})}};
  root["CONTENTS"] = {{"a", std::move(middle)}};

  EXPECT_EQ(walked(root).values,
            (Values{{"/", "root"}, {"/a", 1}, {"/a/b", 2}}));
}

TEST(NamespaceWalk, skipsContentsMembersAndContentsThatAreNotObjects) {
  Json withArrayContents = node("/list", {1});
  withArrayContents["CONTENTS"] = Json::array({node("/hidden", {1})});
  Json root = {{"CONTENTS",
                {{"a", "not a node"},
                 {"b", node("/kept", {1})},
                 {"c", 7},
                 {"d", std::move(withArrayContents)},
                 {"e", Json::array({node("/hidden/too", {1})})}}}};

  EXPECT_EQ(walked(root).values, (Values{{"/kept", 1}, {"/list", 1}}));
}

TEST(NamespaceWalk, letsTheNodeVisitedLastWinAPath) {
  // Children in the order of their names, each after its parent.
  Json parent = node("/same", {"parent"});
  parent["CONTENTS"] = {{"child", node("/same", {"child"})}};
  EXPECT_EQ(walked(rootOf({std::move(parent)})).values,
            (Values{{"/same", "child"}}));

  Json nested = node("/other", {0});
  nested["CONTENTS"] = {{"deep", node("/twice", {"first"})}};
  EXPECT_EQ(walked(rootOf({std::move(nested), node("/twice", {"second"})}))
                .values.at("/twice"),
            "second");
}

TEST(NamespaceWalk, addsToTheReadingItIsGiven) {
  Reading reading;
  reading.values = {{"/earlier", 1}, {"/x", "old"}};
  walk(rootOf({node("/x", {"new"})}), reading);
  EXPECT_EQ(reading.values, (Values{{"/earlier", 1}, {"/x", "new"}}));
}

TEST(NamespaceWalk, takesTheSourcesFromTheFirstRangeObjectOfSource) {
  const Reading reading = walked(rootOf(
      {sourceNode({"Camera"}, Json::array({{{"VALS", {"Camera", "Screen"}}},
                                           {{"VALS", {"Other"}}}}))}));
  EXPECT_EQ(reading.sources, (Sources{"Camera", "Screen"}));
  EXPECT_EQ(reading.values, (Values{{"/source", "Camera"}}));
}

TEST(NamespaceWalk, emptiesTheSourcesWhenTheFirstRangeObjectIsMalformed) {
  for (const Json& first :
       {Json::object(), Json{{"VALS", {"Camera", 3}}}, Json{{"VALS", "Camera"}},
        Json{{"VALS", nullptr}}, Json{{"vals", {"Camera"}}}}) {
    SCOPED_TRACE(first.dump());
    const Reading reading =
        walked(rootOf({sourceNode({"Camera"}, Json::array({first}))}), {"Old"});
    EXPECT_EQ(reading.sources, Sources{});
    EXPECT_EQ(reading.values, (Values{{"/source", "Camera"}}));
  }
  EXPECT_EQ(
      walked(rootOf({sourceNode({""}, {{{"VALS", Json::array()}}})}), {"Old"})
          .sources,
      Sources{});
}

TEST(NamespaceWalk, leavesTheSourcesWhenTheRangeIsMissingEmptyOrNotObjects) {
  for (const Json& range :
       {Json::array(), Json::array({{{"VALS", {"New"}}}, 5}), Json("New"),
        Json{{"VALS", {"New"}}}, Json::array({Json::array({"New"})})}) {
    SCOPED_TRACE(range.dump());
    EXPECT_EQ(walked(rootOf({sourceNode({"Camera"}, range)}), {"Old"}).sources,
              Sources{"Old"});
  }
  EXPECT_EQ(walked(rootOf({node("/source", {"Camera"})}), {"Old"}).sources,
            Sources{"Old"});
}

TEST(NamespaceWalk, leavesTheSourcesOfASourceNodeWithoutAValue) {
  Json noValue = {{"FULL_PATH", "/source"}, {"RANGE", {{{"VALS", {"New"}}}}}};
  const Reading reading = walked(
      rootOf({sourceNode(Json::array(), {{{"VALS", {"New"}}}}),
              sourceNode("Camera", {{{"VALS", {"New"}}}}), std::move(noValue)}),
      {"Old"});
  EXPECT_EQ(reading.sources, Sources{"Old"});
  EXPECT_EQ(reading.values, Values{});
}

TEST(NamespaceWalk, takesSourcesFromNoPathButExactlySource) {
  Json lookalikes = rootOf({});
  for (const char* path : {"/Source", "/source/1", "/sources", "source"}) {
    Json range = Json::array({{{"VALS", {"New"}}}});
    Json lookalike = node(path, {"x"});
    lookalike["RANGE"] = range;
    lookalikes["CONTENTS"][path] = std::move(lookalike);
  }
  EXPECT_EQ(walked(lookalikes).sources, Sources{});
  EXPECT_EQ(walked(lookalikes, {"Old"}).sources, Sources{"Old"});
}

TEST(NamespaceWalk, findsNothingInARootThatIsNotAnObject) {
  for (const Json& root :
       {Json::array({node("/x", {1})}), Json("text"), Json(nullptr)}) {
    const Reading reading = walked(root, {"Old"});
    EXPECT_EQ(reading.values, Values{});
    EXPECT_EQ(reading.sources, Sources{"Old"});
  }
}

// Runs `job` on a thread whose stack is far too small for one call frame a
// level of a deep tree.
template <typename Job>
void runOnSmallStack(Job& job) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  const int created = pthread_create(
      &thread, &attributes,
      [](void* context) -> void* {
        (*static_cast<Job*>(context))();
        return nullptr;
      },
      &job);
  pthread_attr_destroy(&attributes);
  ASSERT_EQ(created, 0);
  pthread_join(thread, nullptr);
}

TEST(NamespaceWalk, walksANamespaceTenThousandLevelsDeepWithoutRecursing) {
  constexpr int kDepth = 10'000;
  // Built from the leaf up, by moves, so that the test itself never
  // recurses over the depth either.
  Json tree = node("/deep", {"bottom"});
  for (int level = 0; level < kDepth; ++level) {
    Json parent = node("/level", {level});
    parent["CONTENTS"]["child"] = std::move(tree);
    tree = std::move(parent);
  }

  Reading reading;
  auto job = [&] { walk(tree, reading); };
  runOnSmallStack(job);

  EXPECT_EQ(reading.values, (Values{{"/deep", "bottom"}, {"/level", 0}}));
}

}  // namespace
