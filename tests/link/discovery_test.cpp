#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "link/recorder.hpp"
#include "support/fakes.hpp"

namespace {

using namespace std::chrono_literals;
using zindle::Json;
using zindle::RecorderError;
using zindle::link::Recorder;
using zindle::link::Services;
using zindle::testing::FakeClock;
using zindle::testing::RecordingSender;
using zindle::testing::ScriptedReader;

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

const Json kApp = {{"NAME", "ZindleRecorder"}, {"OSC_PORT", 9000}};

// A world in which `hostInfo` answers, by port, whatever the path.
struct World {
  explicit World(std::function<std::optional<Json>(std::int64_t)> hostInfo)
      : reader([hostInfo](std::int64_t port, const std::string&) {
          return hostInfo(port);
        }) {}

  Services services(std::int64_t preferredPort = 9231,
                    std::int64_t portsToTry = 16) {
    return Services{reader, sender, clock, preferredPort, portsToTry};
  }

  std::vector<std::int64_t> probedPorts() const {
    std::vector<std::int64_t> ports;
    for (const auto& request : reader.requests) ports.push_back(request.port);
    return ports;
  }

  ScriptedReader reader;
  RecordingSender sender;
  FakeClock clock;
};

std::vector<std::int64_t> portsFrom(std::int64_t first, std::int64_t last) {
  std::vector<std::int64_t> ports;
  for (std::int64_t port = first; port <= last; ++port) ports.push_back(port);
  return ports;
}

// The error find() throws, or a failure when it throws none.
RecorderError findError(const Services& services) {
  try {
    Recorder::find(services);
  } catch (const RecorderError& error) {
    return error;
  }
  ADD_FAILURE() << "find() found an app";
  return RecorderError::failed("");
}

TEST(Discovery, takesTheAppOnThePreferredPortAndAsksNothingMore) {
  World world([](std::int64_t port) {
    return port == 9231 ? std::optional<Json>(kApp) : std::nullopt;
  });
  const Services services = world.services();

  const Recorder recorder = Recorder::find(services);

  EXPECT_EQ(recorder.queryPort, 9231);
  EXPECT_EQ(recorder.oscPort, 9000);
  EXPECT_EQ(recorder.services, &services);
  ASSERT_EQ(world.reader.requests.size(), 1u);
  EXPECT_EQ(world.reader.requests[0].port, 9231);
  EXPECT_EQ(world.reader.requests[0].path, "/?HOST_INFO");
  EXPECT_EQ(world.reader.requests[0].timeout, 500ms);
}

TEST(Discovery, passesOverAnotherServerAndASilentPortToTheAppTwoPortsUp) {
  World world([](std::int64_t port) -> std::optional<Json> {
    if (port == 9231) return Json{{"NAME", "zindlerecorder"}, {"OSC_PORT", 1}};
    if (port == 9233) return kApp;
    return std::nullopt;
  });
  const Services services = world.services();

  const Recorder recorder = Recorder::find(services);

  EXPECT_EQ(recorder.queryPort, 9233);
  EXPECT_EQ(recorder.oscPort, 9000);
  EXPECT_EQ(world.probedPorts(), (std::vector<std::int64_t>{9231, 9232, 9233}));
  for (const auto& request : world.reader.requests) {
    EXPECT_EQ(request.path, "/?HOST_INFO");
    EXPECT_EQ(request.timeout, 500ms);
  }
}

TEST(Discovery, passesOverEveryHostInformationThatFailsATest) {
  // In the order the tests run; each document fails at its own test and
  // would make a careless lookup throw at an earlier one.
  const std::vector<std::optional<Json>> failing = {
      std::nullopt,
      Json::array({kApp}),
      Json("ZindleRecorder"),
      Json(9000),
      Json::object(),
      Json{{"OSC_PORT", 9000}},
      Json{{"NAME", nullptr}, {"OSC_PORT", 9000}},
      Json{{"NAME", Json::array({"ZindleRecorder"})}, {"OSC_PORT", 9000}},
      Json{{"NAME", "zindlerecorder"}, {"OSC_PORT", 9000}},
      Json{{"NAME", "ZindleRecorder "}, {"OSC_PORT", 9000}},
      Json{{"NAME", ""}, {"OSC_PORT", 9000}},
      Json{{"NAME", "ZindleRecorder"}},
      Json{{"NAME", "ZindleRecorder"}, {"OSC_PORT", "9000"}},
      Json{{"NAME", "ZindleRecorder"}, {"OSC_PORT", 9000.5}},
      Json{{"NAME", "ZindleRecorder"}, {"OSC_PORT", nullptr}},
      Json{{"NAME", "ZindleRecorder"}, {"OSC_PORT", true}},
      Json{{"NAME", "ZindleRecorder"}, {"OSC_PORT", {9000}}},
  };
  for (const std::optional<Json>& hostInfo : failing) {
    SCOPED_TRACE(hostInfo ? hostInfo->dump() : "nothing");
    World world([&](std::int64_t port) {
      return port == 9231 ? hostInfo : std::optional<Json>(kApp);
    });
    const Services services = world.services();

    EXPECT_EQ(Recorder::find(services).queryPort, 9232);
    EXPECT_EQ(world.probedPorts(), (std::vector<std::int64_t>{9231, 9232}));
  }
}

TEST(Discovery, passesOverAnOscPortThatCannotAddressAUdpPort) {
  for (const Json& oscPort :
       {Json(70000), Json(0), Json(-1), Json(65536), Json(0.0), Json(-0.0),
        Json(1e300), Json(std::numeric_limits<std::uint64_t>::max()),
        Json(kMin), Json(std::numeric_limits<double>::infinity())}) {
    SCOPED_TRACE(oscPort.dump());
    World world([&](std::int64_t port) -> std::optional<Json> {
      if (port == 9231)
        return Json{{"NAME", "ZindleRecorder"}, {"OSC_PORT", oscPort}};
      return kApp;
    });
    const Services services = world.services();

    EXPECT_EQ(Recorder::find(services).queryPort, 9232);
  }
}

TEST(Discovery, takesAnIntegralOscPortWrittenAsARealAndTheEndsOfTheRange) {
  for (const auto& [oscPort, expected] :
       std::vector<std::pair<Json, std::int64_t>>{
           {Json(9000.0), 9000},
           {Json(1), 1},
           {Json(65535), 65535},
           {Json(65535.0), 65535},
           {Json(std::uint64_t{9001}), 9001}}) {
    SCOPED_TRACE(oscPort.dump());
    const Json hostInfo = {{"NAME", "ZindleRecorder"}, {"OSC_PORT", oscPort}};
    World world([&](std::int64_t) { return std::optional<Json>(hostInfo); });
    const Services services = world.services();

    EXPECT_EQ(Recorder::find(services).oscPort, expected);
  }
}

TEST(Discovery, readsNoOtherAttributeOfTheHostInformation) {
  World world([](std::int64_t) {
    return std::optional<Json>({{"NAME", "ZindleRecorder"},
                                {"OSC_PORT", 9000},
                                {"OSC_IP", "10.0.0.1"},
                                {"OSC_TRANSPORT", "TCP"}});
  });
  const Services services = world.services();

  const Recorder recorder = Recorder::find(services);
  EXPECT_EQ(recorder.queryPort, 9231);
  EXPECT_EQ(recorder.oscPort, 9000);
}

TEST(Discovery, probesAllSixteenPortsInOrderThenNamesThemInTheError) {
  World world([](std::int64_t) { return std::nullopt; });

  const RecorderError error = findError(world.services());

  EXPECT_EQ(error.kind(), RecorderError::Kind::unreachable);
  EXPECT_EQ(error.description(),
            "ZindleRecorder is not running, or its OSCQuery server is not on "
            "ports 9231\xE2\x80\x93"
            "9246. Launch the app and retry (set ZINDLE_OSCQUERY_PORT if it "
            "uses another port).");
  EXPECT_EQ(world.probedPorts(), portsFrom(9231, 9246));
  for (const auto& request : world.reader.requests) {
    EXPECT_EQ(request.path, "/?HOST_INFO");
    EXPECT_EQ(request.timeout, 500ms);
  }
}

TEST(Discovery, namesThePortsFromTheEnvironmentInTheError) {
  World world([](std::int64_t) { return std::nullopt; });

  const RecorderError error = findError(world.services(9300));

  EXPECT_EQ(error.kind(), RecorderError::Kind::unreachable);
  EXPECT_EQ(error.description(),
            "ZindleRecorder is not running, or its OSCQuery server is not on "
            "ports 9300\xE2\x80\x93"
            "9315. Launch the app and retry (set ZINDLE_OSCQUERY_PORT if it "
            "uses another port).");
  EXPECT_EQ(world.probedPorts(), portsFrom(9300, 9315));
}

TEST(Discovery, probesNothingWhenThereAreNoPortsToTry) {
  World world([](std::int64_t) { return std::optional<Json>(kApp); });

  EXPECT_EQ(findError(world.services(9231, 0)).kind(),
            RecorderError::Kind::unreachable);
  EXPECT_EQ(findError(world.services(9231, -3)).kind(),
            RecorderError::Kind::unreachable);
  EXPECT_EQ(world.probedPorts(), std::vector<std::int64_t>{});
}

TEST(Discovery, neverProbesAPortOutsideTheTcpRange) {
  World world([](std::int64_t) { return std::nullopt; });

  findError(world.services(-5));
  EXPECT_EQ(world.probedPorts(), portsFrom(1, 10));

  world.reader.requests.clear();
  findError(world.services(0));
  EXPECT_EQ(world.probedPorts(), portsFrom(1, 15));

  world.reader.requests.clear();
  findError(world.services(65530));
  EXPECT_EQ(world.probedPorts(), portsFrom(65530, 65535));

  world.reader.requests.clear();
  findError(world.services(65536));
  findError(world.services(-16));
  EXPECT_EQ(world.probedPorts(), std::vector<std::int64_t>{});
}

TEST(Discovery, staysInRangeForPortsAtTheEndsOfTheSigned64BitRange) {
  World world([](std::int64_t) { return std::nullopt; });

  const RecorderError error = findError(world.services(kMax));
  EXPECT_EQ(error.description(),
            "ZindleRecorder is not running, or its OSCQuery server is not on "
            "ports 9223372036854775807\xE2\x80\x93"
            "9223372036854775822. Launch the app and retry (set "
            "ZINDLE_OSCQUERY_PORT if it uses another port).");
  findError(world.services(kMax - 3));
  findError(world.services(kMin));
  findError(world.services(kMin, kMax));
  EXPECT_EQ(world.probedPorts(), std::vector<std::int64_t>{});

  findError(world.services(65000, kMax));
  EXPECT_EQ(world.probedPorts(), portsFrom(65000, 65535));
}

}  // namespace
