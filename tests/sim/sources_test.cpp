// Choosing the sources over OSC, as the server's configure does.

#include <gtest/gtest.h>

#include "sim_harness.hpp"

namespace zindle::sim::testing {
namespace {

using nlohmann::json;

std::vector<json> slotTitles(const RunningSim& sim) {
  std::vector<json> titles;
  for (int slot = 1; slot <= 8; ++slot) {
    titles.push_back(sim.value("/source/" + std::to_string(slot)));
  }
  return titles;
}

json slotStatus(const RunningSim& sim, int slot) {
  const auto base = "/status/source/" + std::to_string(slot) + "/";
  json status;
  for (const auto* name :
       {"kind", "online", "width", "height", "fps", "sound"}) {
    status[name] = sim.value(base + name);
  }
  return status;
}

TEST(SimSources, choosesByPartOfTheTitleAndKeepsTheSlotsCompact) {
  RunningSim sim;
  sim.send("/source/1", {std::string("CAMERA")});
  sim.send("/source/5", {std::string("scr")});  // beyond the last: appended
  sim.send("/source/3", {std::string("(stage")});
  ASSERT_TRUE(sim.waitForValue("/source/3", "STUDIO (Stage)"));
  EXPECT_EQ(slotTitles(sim),
            (std::vector<json>{"Main Camera", "Screen", "STUDIO (Stage)", "",
                               "", "", "", ""}));
  EXPECT_EQ(slotStatus(sim, 2), json({{"kind", "syphon"},
                                      {"online", 1},
                                      {"width", 2560},
                                      {"height", 1440},
                                      {"fps", 60.0},
                                      {"sound", 0}}));
  EXPECT_EQ(slotStatus(sim, 3), json({{"kind", "ndi"},
                                      {"online", 1},
                                      {"width", 1280},
                                      {"height", 720},
                                      {"fps", 25.0},
                                      {"sound", 1}}));
  EXPECT_EQ(sim.value("/status/assembled/width"), 1920 + 2560 + 1280);
  EXPECT_EQ(sim.value("/status/assembled/height"), 1440);

  sim.send("/source/1", {std::string("")});
  ASSERT_TRUE(sim.waitForValue("/source/1", "Screen"));
  EXPECT_EQ(slotTitles(sim), (std::vector<json>{"Screen", "STUDIO (Stage)", "",
                                                "", "", "", "", ""}));
  EXPECT_EQ(slotStatus(sim, 1)["width"], 2560);
  EXPECT_EQ(slotStatus(sim, 3)["kind"], "");

  sim.send("/source/2", {std::string("main")});
  ASSERT_TRUE(sim.waitForValue("/source/2", "Main Camera"));
  for (int removal = 0; removal < 8; ++removal) {
    sim.send("/source/1", {std::string("")});
  }
  ASSERT_TRUE(sim.waitForValue("/source/1", ""));
  EXPECT_EQ(slotTitles(sim), std::vector<json>(8, ""));
  EXPECT_EQ(sim.value("/status/assembled/width"), 0);
  EXPECT_EQ(sim.value("/status/error"), "");
}

TEST(SimSources, refusesUnknownTitlesAndChangesWhileRecording) {
  RunningSim sim;
  sim.send("/source/1", {std::string("cam")});
  ASSERT_TRUE(sim.sendExpectingError("/source/2", {std::string("Nothing")},
                                     "There is no source called \"Nothing\"."));
  ASSERT_TRUE(sim.sendExpectingError(
      "/source/2", {std::int32_t{3}},
      "/source/2 takes one text: a source's title, or empty to remove it."));
  EXPECT_EQ(slotTitles(sim)[1], "");

  sim.send("/record", {std::int32_t{1}});
  ASSERT_TRUE(sim.waitForValue("/status/state", "recording"));
  ASSERT_TRUE(
      sim.sendExpectingError("/source/1", {std::string("")},
                             "The sources cannot be changed while recording."));
  EXPECT_EQ(sim.value("/source/1"), "Main Camera");
}

TEST(SimSources, leavesNdiSourcesOutWithoutNdi) {
  RunningSim sim({"--no-ndi"});
  EXPECT_EQ(sim.value("/status/ndi"), 0);
  EXPECT_EQ(sim.value("/status/ndi/sources"), "");
  EXPECT_EQ(sim.get("/source")["RANGE"][0]["VALS"],
            json::array({"Main Camera", "Screen"}));
  ASSERT_TRUE(sim.sendExpectingError("/source/1", {std::string("studio")},
                                     "There is no source called \"studio\"."));
  EXPECT_EQ(sim.value("/source/1"), "");
}

TEST(SimSources, offersTheSourcesGivenOnTheCommandLine) {
  RunningSim sim({"--source", "Desk: left:syphon:800x600@29.97", "--source",
                  "Hall:ndi:1024x768@50", "--source", "Aux:ndi:640x360@30"});
  EXPECT_EQ(sim.get("/source")["RANGE"][0]["VALS"],
            json::array({"Desk: left", "Hall", "Aux"}));
  EXPECT_EQ(sim.value("/status/ndi/sources"), "Hall\nAux");
  sim.send("/source/1", {std::string("desk")});
  ASSERT_TRUE(sim.waitForValue("/source/1", "Desk: left"));
  EXPECT_EQ(sim.value("/status/source/1/fps"), 29.97);
  EXPECT_EQ(sim.value("/status/source/1/width"), 800);
}

}  // namespace
}  // namespace zindle::sim::testing
