#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/recorder.hpp"
#include "support/fakes.hpp"

namespace zindle::testing {
namespace {

using namespace std::chrono_literals;
using link::Recorder;
using Ports = std::vector<std::int64_t>;

Json hostInfo(Json oscPort) {
  return {{"NAME", "ZindleRecorder"}, {"OSC_PORT", std::move(oscPort)}};
}

// The ports `reader` was asked for the host information, each within half a
// second.
Ports probed(const ScriptedReader& reader) {
  Ports ports;
  for (const ScriptedReader::Request& request : reader.requests) {
    EXPECT_EQ(request.path, "/?HOST_INFO");
    EXPECT_EQ(request.timeout, 500ms);
    ports.push_back(request.port);
  }
  return ports;
}

TEST(Discovery, takesTheFirstPortWhoseHostInformationPassesEveryTest) {
  struct Case {
    std::optional<Json> onFirstPort;  // the app answers on the next one
    std::int64_t queryPort;
    std::int64_t oscPort;
  };
  // The failing ones in the order the tests run, each failing at its own.
  const std::vector<Case> cases = {
      {std::nullopt, 9232, 9000},
      {Json::array({hostInfo(1)}), 9232, 9000},
      {Json::object(), 9232, 9000},
      {Json{{"OSC_PORT", 1}}, 9232, 9000},
      {Json{{"NAME", nullptr}, {"OSC_PORT", 1}}, 9232, 9000},
      {Json{{"NAME", "zindlerecorder"}, {"OSC_PORT", 1}}, 9232, 9000},
      {Json{{"NAME", "ZindleRecorder"}}, 9232, 9000},
      {hostInfo("9000"), 9232, 9000},
      {hostInfo(9000.5), 9232, 9000},
      {hostInfo(70000), 9232, 9000},
      {hostInfo(0), 9232, 9000},
      // An integral real, and the ends of the range, are taken.
      {hostInfo(1.0), 9231, 1},
      {hostInfo(65535), 9231, 65535},
  };
  RecordingSender sender;
  FakeClock clock;
  for (const Case& c : cases) {
    ScriptedReader reader([&](std::int64_t port, const std::string&) {
      return port == 9231 ? c.onFirstPort : std::optional(hostInfo(9000));
    });
    const link::Services services{reader, sender, clock, 9231, 16};
    const Recorder found = Recorder::find(services);
    EXPECT_EQ(Ports({found.queryPort, found.oscPort}),
              Ports({c.queryPort, c.oscPort}))
        << (c.onFirstPort ? c.onFirstPort->dump() : "no answer");
    EXPECT_EQ(probed(reader),
              (c.queryPort == 9231 ? Ports{9231} : Ports{9231, 9232}));
  }
}

TEST(Discovery, probesOnlyTheTcpPortsOfTheRangeBeforeGivingUp) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  struct Case {
    std::int64_t first, count, lowestProbed, highestProbed;
  };
  const std::vector<Case> cases = {
      {9231, 16, 9231, 9246},    {-5, 16, 1, 10},
      {65530, 16, 65530, 65535}, {65000, kMax, 65000, 65535},
      {9231, 0, 1, 0},           {65536, 16, 1, 0},
      {kMax, 16, 1, 0},          {kMin, kMax, 1, 0},
  };
  RecordingSender sender;
  FakeClock clock;
  std::vector<std::string> texts;
  for (const Case& c : cases) {
    ScriptedReader reader;  // nothing answers
    try {
      Recorder::find({reader, sender, clock, c.first, c.count});
      ADD_FAILURE() << "found an app";
    } catch (const RecorderError& error) {
      EXPECT_EQ(error.kind(), RecorderError::Kind::unreachable);
      texts.push_back(error.description());
    }
    Ports expected;
    for (auto port = c.lowestProbed; port <= c.highestProbed; ++port) {
      expected.push_back(port);
    }
    EXPECT_EQ(probed(reader), expected) << c.first << " " << c.count;
  }
  EXPECT_EQ(texts.front(),
            "ZindleRecorder is not running, or its OSCQuery server is not on "
            "ports 9231\u2013"
            "9246. Launch the app and retry (set ZINDLE_OSCQUERY_PORT if it "
            "uses another port).");
}

}  // namespace
}  // namespace zindle::testing
