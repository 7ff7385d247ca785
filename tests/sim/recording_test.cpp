// A recording run in real time over OSC and HTTP, as the server runs one.

#include <gtest/gtest.h>

#include "sim_harness.hpp"
#include "temporary_folder.hpp"

namespace zindle::sim::testing {
namespace {

using namespace std::chrono_literals;

TEST(SimRecording, advancesInRealTimeAndFreezesAfterTheFinish) {
  TemporaryFolder folder;
  RunningSim sim({"--finish-seconds", "0.2"});
  sim.send("/source/1", {std::string("cam")});
  sim.send("/folder", {folder.string()});
  sim.send("/name", {std::string("Live")});
  sim.send("/output", {std::string("separate")});
  ASSERT_TRUE(sim.waitForValue("/output", "separate"));

  sim.send("/record", {std::int32_t{1}});
  ASSERT_TRUE(sim.waitForValue("/status/state", "recording"));
  EXPECT_EQ(sim.value("/status/source/1/file"), folder.file("Live.mov"));
  EXPECT_EQ(sim.value("/status/assembled/file"), "");
  ASSERT_TRUE(eventually(
      [&] { return sim.value("/status/source/1/frames").get<int>() >= 3; }));
  const auto first = sim.value("/status/elapsed").get<double>();
  ASSERT_TRUE(eventually(
      [&] { return sim.value("/status/elapsed").get<double>() > first; }));

  sim.send("/record", {std::int32_t{0}});
  const auto stopped = std::chrono::steady_clock::now();
  ASSERT_TRUE(sim.waitForValue("/status/state", "finishing"));
  ASSERT_TRUE(sim.waitForValue("/status/state", "idle"));
  const auto finished = std::chrono::steady_clock::now() - stopped;
  EXPECT_GE(finished, 190ms);
  EXPECT_LT(finished, 1s);

  const auto elapsed = sim.value("/status/elapsed").get<double>();
  const auto frames = sim.value("/status/source/1/frames").get<int>();
  EXPECT_EQ(frames, static_cast<int>(elapsed * 30 + 1e-6));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(sim.value("/status/elapsed"), elapsed);
  EXPECT_EQ(sim.value("/status/source/1/frames"), frames);
  EXPECT_EQ(sim.value("/status/failure"), "");
}

TEST(SimRecording, takesNumbersInEveryOscNumericType) {
  RunningSim sim;
  sim.send("/fps", {std::int32_t{24}});
  sim.send("/bitrate", {2.5});
  sim.send("/gap", {std::int64_t{6}});
  sim.send("/width", {1280.0f});
  sim.send("/performance", {1.0});
  ASSERT_TRUE(sim.waitForValue("/performance", 1));
  EXPECT_EQ(sim.value("/fps"), 24.0);
  EXPECT_EQ(sim.value("/bitrate"), 2.5);
  EXPECT_EQ(sim.value("/gap"), 6);
  EXPECT_EQ(sim.value("/width"), 1280);
  EXPECT_EQ(sim.value("/status/error"), "");
  ASSERT_TRUE(sim.sendExpectingError("/gap", {std::string("10")},
                                     "gap takes a number."));
  EXPECT_EQ(sim.value("/gap"), 6);
}

}  // namespace
}  // namespace zindle::sim::testing
