// The scripted HTTP and recording faults, set on the command line or by OSC.

#include <future>

#include <gtest/gtest.h>
#include <httplib.h>

#include "sim_harness.hpp"

namespace zindle::sim::testing {
namespace {

using namespace std::chrono_literals;

httplib::Result getWithin(int port, const std::string& target,
                          std::chrono::milliseconds limit) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(limit);
  return client.Get(target);
}

bool answersJson(int port, const std::string& target) {
  const auto answer = getWithin(port, target, 1s);
  return answer && answer->status == 200 &&
         !nlohmann::json::parse(answer->body, nullptr, false).is_discarded();
}

TEST(SimFaults, answersEveryGetWith404OrGarbageWhenToldTo) {
  RunningSim sim({"--http-fault", "404"});
  for (const auto* target : {"/?HOST_INFO", "/", "/status/state"}) {
    const auto answer = getWithin(sim.queryPort(), target, 1s);
    ASSERT_TRUE(answer) << target;
    EXPECT_EQ(answer->status, 404) << target;
  }

  sim.send("/sim/http_fault", {std::string("garbage")});
  ASSERT_TRUE(eventually([&] {
    const auto answer = getWithin(sim.queryPort(), "/", 1s);
    return answer && answer->status == 200;
  }));
  for (const auto* target : {"/?HOST_INFO", "/", "/status/state"}) {
    const auto answer = getWithin(sim.queryPort(), target, 1s);
    ASSERT_TRUE(answer) << target;
    EXPECT_EQ(answer->status, 200) << target;
    EXPECT_TRUE(
        nlohmann::json::parse(answer->body, nullptr, false).is_discarded())
        << target;
  }

  sim.send("/sim/http_fault", {std::string("none")});
  EXPECT_TRUE(eventually([&] { return answersJson(sim.queryPort(), "/"); }));
  EXPECT_TRUE(answersJson(sim.queryPort(), "/?HOST_INFO"));
}

TEST(SimFaults, holdsRequestsWhileHangingAndAnswersOnceCleared) {
  RunningSim sim;
  sim.send("/sim/http_fault", {std::string("hang")});
  ASSERT_TRUE(eventually(
      [&] { return !getWithin(sim.queryPort(), "/?HOST_INFO", 100ms); }));

  auto held = std::async(std::launch::async, [&] {
    return getWithin(sim.queryPort(), "/status/state", 5s);
  });
  EXPECT_EQ(held.wait_for(150ms), std::future_status::timeout);
  sim.send("/sim/http_fault", {std::string("none")});
  ASSERT_EQ(held.wait_for(1s), std::future_status::ready);
  const auto answer = held.get();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
}

TEST(SimFaults, stopsPromptlyWhileRequestsAreHeld) {
  auto sim = std::make_unique<RunningSim>(
      std::vector<std::string>{"--http-fault", "hang"});
  const auto port = sim->queryPort();
  std::vector<std::future<httplib::Result>> held;
  for (int request = 0; request < 3; ++request) {
    held.push_back(std::async(std::launch::async,
                              [port] { return getWithin(port, "/", 10s); }));
  }
  std::this_thread::sleep_for(100ms);  // let the requests arrive
  const auto before = std::chrono::steady_clock::now();
  sim.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
  for (auto& request : held) {
    ASSERT_EQ(request.wait_for(1s), std::future_status::ready);
    const auto answer = request.get();
    EXPECT_TRUE(!answer || answer->status == 503);
  }
}

TEST(SimFaults, scriptsTheRecordingOverOsc) {
  RunningSim sim({"--finish-seconds", "0"});
  sim.send("/source/1", {std::string("cam")});
  sim.send("/sim/fail_start", {std::string("The camera is busy.")});
  ASSERT_TRUE(sim.waitForValue("/sim/fail_start", "The camera is busy."));
  ASSERT_TRUE(sim.sendExpectingError("/record", {std::int32_t{1}},
                                     "The camera is busy."));
  EXPECT_EQ(sim.value("/status/state"), "idle");

  sim.send("/sim/never_record", {1.0f});
  ASSERT_TRUE(sim.waitForValue("/sim/never_record", 1));
  sim.send("/record", {std::int32_t{1}});
  sim.send("/sim/never_record", {std::int32_t{0}});
  ASSERT_TRUE(sim.waitForValue("/sim/never_record", 0));
  EXPECT_EQ(sim.value("/status/state"), "idle");
  EXPECT_EQ(sim.value("/status/error"), "The camera is busy.");

  sim.send("/sim/fail_recording", {std::string("The disk is full.")});
  sim.send("/record", {std::int32_t{1}});
  ASSERT_TRUE(sim.waitForValue("/status/state", "recording"));
  EXPECT_EQ(sim.value("/status/error"), "");
  sim.send("/record", {std::int32_t{0}});
  ASSERT_TRUE(sim.waitForValue("/status/state", "idle"));
  EXPECT_EQ(sim.value("/status/failure"), "The disk is full.");

  ASSERT_TRUE(sim.sendExpectingError(
      "/sim/http_fault", {std::string("500")},
      "/sim/http_fault takes none, 404, garbage or hang."));
  ASSERT_TRUE(sim.sendExpectingError("/sim/finish_seconds",
                                     {std::string("long")},
                                     "/sim/finish_seconds takes one number."));
  ASSERT_TRUE(
      sim.sendExpectingError("/sim/bogus", {}, "Unknown address /sim/bogus."));
}

}  // namespace
}  // namespace zindle::sim::testing
