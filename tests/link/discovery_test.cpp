// Finding the app: the port the environment names, what counts as the app's
// host information, and which ports are probed in which order.

#include <chrono>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/json_reader.hpp"
#include "link/recorder.hpp"
#include "server/startup.hpp"
#include "support/fakes.hpp"

namespace zindle::testing {
namespace {

using namespace std::chrono_literals;
using link::Recorder;

// Each port and the values of ZINDLE_OSCQUERY_PORT that give it: an optional
// sign and ASCII digits within 64 bits, with no range test; anything else
// gives 9231. The NUL value is "93", NUL, "00"; the last value is in
// Arabic-Indic digits.
TEST(Discovery, readsThePortVariableAsASignedDecimalOrFallsBackTo9231) {
  const std::pair<std::int64_t, std::vector<std::optional<std::string_view>>>
      kRows[] = {
          // Only the view is read, whatever follows it in memory.
          {9300, {"9300", "+9300", "09300", std::string_view("930099", 4)}},
          {0, {"0", "-0"}},
          {-1, {"-1"}},
          {INT64_MAX, {"9223372036854775807"}},
          {INT64_MIN, {"-9223372036854775808"}},
          {9231,
           {std::nullopt, "", " 9300", "9300 ", "9300\n", "93a0", "abc", "+",
            "-", "+-9300", "9300-", "0x2400", "9300.0", "1e4",
            "9223372036854775808", "-9223372036854775809",
            std::string_view("93\00000", 5), "\xd9\xa9\xd9\xa3"}},
      };
  for (const auto& [port, values] : kRows) {
    for (const std::optional<std::string_view>& value : values)
      EXPECT_EQ(server::readPreferredPort(value), port)
          << value.value_or("none");
  }
}

// The host information of the app: a JSON object naming it exactly, with a
// whole OSC port from 1 to 65535, the last of each member counting.
TEST(Discovery, takesOnlyTheHostInformationOfTheAppWithAWholeOscPort) {
  const std::pair<std::string, std::optional<std::int64_t>> kRows[] = {
      {R"({"NAME": "ZindleRecorder", "OSC_PORT": 9000})", 9000},
      {R"({"NAME": "x", "NAME": "ZindleRecorder", "OSC_PORT": 1,
           "OSC_PORT": 9000, "X": 1e400})",
       9000},
      {R"({"OSC_PORT": 1.0, "NAME": "ZindleRecorder", "X": []})", 1},
      {R"({"NAME": "ZindleRecorder", "OSC_PORT": 65535})", 65535},
      {R"({"NAME": "ZindleRecorder", "OSC_PORT": 65536})", std::nullopt},
      {R"({"NAME": "ZindleRecorder", "OSC_PORT": 0})", std::nullopt},
      {R"({"NAME": "ZindleRecorder", "OSC_PORT": 9000.5})", std::nullopt},
      {R"({"NAME": "ZindleRecorder", "OSC_PORT": "9000"})", std::nullopt},
      {R"({"NAME": "ZindleRecorder"})", std::nullopt},
      {R"({"NAME": "zindlerecorder", "OSC_PORT": 9000})", std::nullopt},
      {R"({"NAME": null, "OSC_PORT": 9000})", std::nullopt},
      {R"([{"NAME": "ZindleRecorder", "OSC_PORT": 9000}])", std::nullopt},
      {"not json", std::nullopt},
  };
  for (const auto& [body, port] : kRows) {
    EXPECT_EQ(link::appOscPort(body), port) << body;
  }
}

// From the first port of the range and how many to try, with some ports
// answering: the ports probed (TCP ports only, in order, each with a GET of
// the host information within half a second) and the app found, or the
// error that names the range.
TEST(Discovery, probesTheRangeInOrderUntilTheFirstApp) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  const Json other = {{"NAME", "zindlerecorder"}, {"OSC_PORT", 9000}};
  const auto app = [](int oscPort) {
    return Json{{"NAME", "ZindleRecorder"}, {"OSC_PORT", oscPort}};
  };
  struct Row {
    std::int64_t first, count;
    std::map<std::int64_t, Json> answers;
    std::int64_t lowestProbed, highestProbed;
    std::string found;  // "query osc", or the range the error names
  };
  const Row kRows[] = {
      {9231, 16, {{9231, app(9000)}, {9232, app(1)}}, 9231, 9231, "9231 9000"},
      {9231, 16, {{9231, other}, {9233, app(7000)}}, 9231, 9233, "9233 7000"},
      {9300, 16, {{9300, app(0)}}, 9300, 9315, "9300\u20139315"},
      {9231, 1, {}, 9231, 9231, "9231\u20139231"},
      {65535, 1, {}, 65535, 65535, "65535\u201365535"},
      {-5, 16, {{0, app(9000)}}, 1, 10, "-5\u201310"},
      {65530, 16, {}, 65530, 65535, "65530\u201365545"},
      {65521, 16, {}, 65521, 65535, "65521\u201365536"},
      {65519, 16, {}, 65519, 65534, "65519\u201365534"},
      {65520, 16, {}, 65520, 65535, "65520\u201365535"},
      {65000, kMax, {}, 65000, 65535, "65000\u20139223372036854840806"},
      {9231, 0, {}, 1, 0, "9231\u20139230"},
      {65536, 16, {}, 1, 0, "65536\u201365551"},
      {kMax, 16, {}, 1, 0, "9223372036854775807\u20139223372036854775822"},
      {kMin, kMax, {}, 1, 0, "-9223372036854775808\u2013-2"},
      {0, kMin, {}, 1, 0, "0\u20139223372036854775807"},
      {0, 0, {}, 1, 0, "0\u2013-1"},
  };
  RecordingSender sender;
  FakeClock clock;
  for (const Row& row : kRows) {
    SCOPED_TRACE(std::to_string(row.first) + " " + std::to_string(row.count));
    ScriptedReader reader([&](std::int64_t port, const std::string&) {
      const auto answer = row.answers.find(port);
      return answer == row.answers.end() ? std::nullopt
                                         : std::optional(answer->second);
    });
    std::string found;
    try {
      const Recorder recorder =
          Recorder::find({reader, sender, clock, row.first, row.count});
      found = std::to_string(recorder.queryPort) + " " +
              std::to_string(recorder.oscPort);
    } catch (const RecorderError& error) {
      EXPECT_EQ(error.kind(), RecorderError::Kind::unreachable);
      EXPECT_EQ(error.description(),
                "ZindleRecorder is not running, or its OSCQuery server is "
                "not on ports " +
                    row.found +
                    ". Launch the app and retry (set ZINDLE_OSCQUERY_PORT "
                    "if it uses another port).");
      found = row.found;
    }
    EXPECT_EQ(found, row.found);
    std::vector<std::int64_t> expected, probed;
    for (auto port = row.lowestProbed; port <= row.highestProbed; ++port) {
      expected.push_back(port);
    }
    for (const ScriptedReader::Request& request : reader.requests) {
      EXPECT_EQ(request.path, "/?HOST_INFO");
      EXPECT_EQ(request.timeout, 500ms);
      probed.push_back(request.port);
    }
    EXPECT_EQ(probed, expected);
  }
  EXPECT_TRUE(sender.datagrams.empty());
}

}  // namespace
}  // namespace zindle::testing
