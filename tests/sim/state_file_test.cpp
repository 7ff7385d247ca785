// Settings and chosen sources kept in the --state file between runs.

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "sim/simulator.hpp"
#include "sim_harness.hpp"
#include "temporary_folder.hpp"

namespace zindle::sim::testing {
namespace {

TEST(SimStateFile, keepsSettingsAndSourcesAcrossRuns) {
  TemporaryFolder folder;
  const auto state = folder.file("state.json");
  const auto movies = folder.file("movies");
  std::filesystem::create_directory(movies);
  {
    RunningSim sim({"--state", state});
    sim.send("/source/1", {std::string("cam")});
    sim.send("/source/2", {std::string("studio")});
    sim.send("/sound", {std::string("stud")});
    sim.send("/codec", {std::string("HEVC")});
    sim.send("/fps", {29.97f});
    sim.send("/gap", {std::int32_t{12}});
    sim.send("/folder", {movies});
    ASSERT_TRUE(sim.waitForValue("/folder", movies));
  }
  ASSERT_TRUE(std::filesystem::exists(state));
  {
    RunningSim sim({"--state", state});
    EXPECT_EQ(sim.value("/source/1"), "Main Camera");
    EXPECT_EQ(sim.value("/source/2"), "STUDIO (Stage)");
    EXPECT_EQ(sim.value("/sound"), "STUDIO (Stage)");
    EXPECT_EQ(sim.value("/codec"), "hevc");
    EXPECT_EQ(sim.value("/fps"), static_cast<double>(29.97f));
    EXPECT_EQ(sim.value("/gap"), 12);
    EXPECT_EQ(sim.value("/folder"), movies);
    EXPECT_EQ(sim.value("/layout"), "row");
  }
  // A kept folder that is gone by the next run gives way to the default.
  std::filesystem::remove(movies);
  RunningSim sim({"--state", state});
  EXPECT_EQ(sim.value("/folder"), RunningSim().value("/folder"));
  EXPECT_EQ(sim.value("/gap"), 12);
}

TEST(SimStateFile, refusesToStartFromAFileThatIsNotItsState) {
  TemporaryFolder folder;
  const auto state = folder.file("state.json");
  std::ofstream(state) << R"({"settings": [1, 2]})";
  std::ostringstream log;
  try {
    Simulator simulator(parseOptions({"--state", state}), log);
    FAIL() << "started from a broken state file";
  } catch (const std::runtime_error& failed) {
    EXPECT_EQ(
        std::string(failed.what()),
        "the state file " + state + " does not hold the simulator's state");
  }
}

}  // namespace
}  // namespace zindle::sim::testing
