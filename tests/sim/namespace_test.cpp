// The OSCQuery namespace as the server reads it over HTTP.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <tuple>

#include <gtest/gtest.h>
#include <httplib.h>

#include "sim_harness.hpp"

namespace zindle::sim::testing {
namespace {

using nlohmann::json;

struct Published {
  std::string path;
  std::string type;
  int access;
  json value;
};

// Every value node of a fresh simulator with the default sources.
std::vector<Published> freshValues() {
  auto folder = std::filesystem::temp_directory_path().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  std::vector<Published> values = {
      {"/status/version", "s", 1, "0.9"},
      {"/status/state", "s", 1, "idle"},
      {"/status/elapsed", "f", 1, 0.0},
      {"/status/dropped", "i", 1, 0},
      {"/status/error", "s", 1, ""},
      {"/status/failure", "s", 1, ""},
      {"/status/ndi", "i", 1, 1},
      {"/status/ndi/sources", "s", 1, "STUDIO (Stage)"},
      {"/status/sound/leftout", "f", 1, 0.0},
      {"/status/sound/written", "f", 1, 0.0},
      {"/status/assembled/width", "i", 1, 0},
      {"/status/assembled/height", "i", 1, 0},
      {"/status/assembled/file", "s", 1, ""},
      {"/status/assembled/frames", "i", 1, 0},
      {"/status/assembled/dropped", "i", 1, 0},
      {"/codec", "s", 3, "h264"},
      {"/fps", "f", 3, 0.0},
      {"/bitrate", "f", 3, 0.0},
      {"/folder", "s", 3, folder},
      {"/name", "s", 3, ""},
      {"/output", "s", 3, "both"},
      {"/layout", "s", 3, "row"},
      {"/gap", "i", 3, 0},
      {"/width", "i", 3, 0},
      {"/height", "i", 3, 0},
      {"/sound", "s", 3, ""},
      {"/performance", "i", 3, 0},
      {"/source", "s", 3, ""},
      {"/sim/refuse", "s", 3, ""},
      {"/sim/fail_start", "s", 3, ""},
      {"/sim/never_record", "i", 3, 0},
      {"/sim/finish_seconds", "f", 3, 0.3},
      {"/sim/fail_recording", "s", 3, ""},
      {"/sim/http_fault", "s", 3, "none"},
  };
  for (int slot = 1; slot <= 8; ++slot) {
    const auto n = std::to_string(slot);
    values.push_back({"/source/" + n, "s", 3, ""});
    const auto status = "/status/source/" + n + "/";
    for (const auto& [name, type, value] :
         std::vector<std::tuple<std::string, std::string, json>>{
             {"kind", "s", ""},
             {"online", "i", 0},
             {"width", "i", 0},
             {"height", "i", 0},
             {"fps", "f", 0.0},
             {"file", "s", ""},
             {"frames", "i", 0},
             {"dropped", "i", 0},
             {"sound", "i", 0},
             {"soundwritten", "f", 0.0}}) {
      values.push_back({status + name, type, 1, value});
    }
  }
  return values;
}

// Walks the tree, checking that each child's FULL_PATH is its place, and
// collects the nodes by path.
void collect(const json& node, const std::string& path,
             std::map<std::string, json>& nodes) {
  EXPECT_EQ(node.value("FULL_PATH", ""), path.empty() ? "/" : path);
  nodes[path.empty() ? "/" : path] = node;
  if (!node.contains("CONTENTS")) return;
  for (const auto& [name, child] : node["CONTENTS"].items()) {
    collect(child, path + "/" + name, nodes);
  }
}

TEST(SimNamespace, publishesEveryPathWithOneValueOfItsType) {
  RunningSim sim;
  std::map<std::string, json> nodes;
  collect(sim.get("/"), "", nodes);
  for (const auto& expected : freshValues()) {
    SCOPED_TRACE(expected.path);
    ASSERT_TRUE(nodes.contains(expected.path));
    const auto& node = nodes[expected.path];
    EXPECT_EQ(node["TYPE"], expected.type);
    EXPECT_EQ(node["ACCESS"], expected.access);
    EXPECT_TRUE(node["DESCRIPTION"].is_string());
    ASSERT_EQ(node["VALUE"], json::array({expected.value}));
    const auto& value = node["VALUE"][0];
    EXPECT_EQ(value.is_number_integer(), expected.type == "i");
    EXPECT_EQ(value.is_number_float(), expected.type == "f");
    EXPECT_EQ(value.is_string(), expected.type == "s");
  }
  for (const auto* container :
       {"/", "/status", "/status/sound", "/status/assembled", "/status/source",
        "/status/source/8", "/sim"}) {
    EXPECT_TRUE(nodes[container]["CONTENTS"].is_object()) << container;
    EXPECT_FALSE(nodes[container].contains("VALUE")) << container;
  }
  // Commands without a value to read.
  EXPECT_EQ(nodes["/record"]["ACCESS"], 2);
  EXPECT_FALSE(nodes["/record"].contains("VALUE"));
  EXPECT_EQ(nodes["/sim/reset"]["ACCESS"], 2);
}

TEST(SimNamespace, offersTheSourcesAsTheRangeOfSlotOne) {
  RunningSim sim;
  const auto titles = json::array({"Main Camera", "Screen", "STUDIO (Stage)"});
  EXPECT_EQ(sim.get("/source")["RANGE"], json::array({{{"VALS", titles}}}));
  sim.send("/source/1", {std::string("scr")});
  ASSERT_TRUE(sim.waitForValue("/source/1", "Screen"));
  EXPECT_EQ(sim.value("/source"), "Screen");
  EXPECT_EQ(sim.get("/source")["RANGE"][0]["VALS"], titles);
}

TEST(SimNamespace, answersSubtreesAttributesAndUnknownPaths) {
  RunningSim sim;
  const auto assembled = sim.get("/status/assembled");
  EXPECT_EQ(assembled["FULL_PATH"], "/status/assembled");
  EXPECT_EQ(assembled["CONTENTS"].size(), 5u);
  EXPECT_EQ(sim.get("/status/state/")["VALUE"], json::array({"idle"}));
  EXPECT_EQ(sim.get("/status/state?VALUE"),
            json({{"VALUE", json::array({"idle"})}}));

  httplib::Client client("127.0.0.1", sim.queryPort());
  const auto state = client.Get("/status/state");
  ASSERT_TRUE(state);
  EXPECT_EQ(state->get_header_value("Content-Type"), "application/json");
  for (const auto* target : {"/nothing", "/status/nothing",
                             "/status/state/deeper", "/status/state?RANGE"}) {
    const auto missing = client.Get(target);
    ASSERT_TRUE(missing) << target;
    EXPECT_EQ(missing->status, 404) << target;
  }
}

TEST(SimNamespace, announcesItsNameAndOscPortInHostInfo) {
  RunningSim sim;
  EXPECT_EQ(sim.get("/?HOST_INFO"), json({{"NAME", "ZindleRecorder"},
                                          {"OSC_PORT", sim.oscPort()},
                                          {"OSC_IP", "127.0.0.1"},
                                          {"OSC_TRANSPORT", "UDP"},
                                          {"EXTENSIONS",
                                           {{"ACCESS", true},
                                            {"VALUE", true},
                                            {"RANGE", true},
                                            {"DESCRIPTION", true},
                                            {"TYPE", true},
                                            {"FULL_PATH", true},
                                            {"CONTENTS", true}}}}));
  RunningSim other({"--name", "Other"});
  EXPECT_EQ(other.get("/?HOST_INFO")["NAME"], "Other");
}

TEST(SimNamespace, keepsOneConnectionOpenForManyQuickReads) {
  RunningSim sim;
  httplib::Client client("127.0.0.1", sim.queryPort());
  client.set_keep_alive(true);
  // cpp-httplib's servers close a connection after 5 requests by default;
  // the server makes one read every 50 ms on one connection.
  std::vector<std::chrono::steady_clock::duration> times;
  for (int read = 1; read <= 40; ++read) {
    const auto before = std::chrono::steady_clock::now();
    const auto answer = client.Get("/");
    times.push_back(std::chrono::steady_clock::now() - before);
    ASSERT_TRUE(answer) << "read " << read;
    EXPECT_EQ(answer->status, 200);
    EXPECT_NE(answer->get_header_value("Connection"), "close")
        << "read " << read;
  }
  // With Nagle's delay on the server's socket, each answer's body waits for
  // the client's delayed acknowledgement: 40 ms or more per read.
  std::nth_element(times.begin(), times.begin() + 20, times.end());
  EXPECT_LT(times[20], std::chrono::milliseconds(30));
}

}  // namespace
}  // namespace zindle::sim::testing
