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

// What counts as the app's answer is the JSON reader's test; here, that the
// first port answering as the app is taken and no later one is asked.
TEST(Discovery, takesTheFirstPortThatAnswersAsTheApp) {
  RecordingSender sender;
  FakeClock clock;
  ScriptedReader reader([](std::int64_t port, const std::string&) {
    if (port == 9231) return std::optional(Json{{"NAME", "Other"}});
    return std::optional(hostInfo(7000));
  });
  const Recorder found = Recorder::find({reader, sender, clock, 9231, 16});
  EXPECT_EQ(Ports({found.queryPort, found.oscPort}), Ports({9232, 7000}));
  EXPECT_EQ(probed(reader), (Ports{9231, 9232}));
}

TEST(Discovery, probesOnlyTheTcpPortsOfTheRangeBeforeGivingUp) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  struct Case {
    std::int64_t first, count, lowestProbed, highestProbed;
    std::string range;  // as the error text gives it
  };
  const std::vector<Case> cases = {
      {9231, 16, 9231, 9246, "9231\u20139246"},
      {9231, 1, 9231, 9231, ""},
      {65535, 1, 65535, 65535, ""},
      {-5, 16, 1, 10, "-5\u201310"},
      {65530, 16, 65530, 65535, "65530\u201365545"},
      {65521, 16, 65521, 65535, ""},
      {65519, 16, 65519, 65534, ""},
      {65520, 16, 65520, 65535, ""},
      {65000, kMax, 65000, 65535, ""},
      {9231, 0, 1, 0, ""},
      {65536, 16, 1, 0, ""},
      {kMax, 16, 1, 0, "9223372036854775807\u20139223372036854775822"},
      {kMin, kMax, 1, 0, ""},
      {0, kMin, 1, 0, ""},
  };
  RecordingSender sender;
  FakeClock clock;
  for (const Case& c : cases) {
    ScriptedReader reader;  // nothing answers
    try {
      Recorder::find({reader, sender, clock, c.first, c.count});
      ADD_FAILURE() << "found an app";
    } catch (const RecorderError& error) {
      EXPECT_EQ(error.kind(), RecorderError::Kind::unreachable);
      if (!c.range.empty()) {
        EXPECT_EQ(error.description(),
                  "ZindleRecorder is not running, or its OSCQuery server is "
                  "not on ports " +
                      c.range +
                      ". Launch the app and retry (set ZINDLE_OSCQUERY_PORT "
                      "if it uses another port).");
      }
    }
    Ports expected;
    for (auto port = c.lowestProbed; port <= c.highestProbed; ++port) {
      expected.push_back(port);
    }
    EXPECT_EQ(probed(reader), expected) << c.first << " " << c.count;
  }
}

}  // namespace
}  // namespace zindle::testing
