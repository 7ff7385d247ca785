#include "sim/options.hpp"

#include <gtest/gtest.h>

namespace zindle::sim {
namespace {

std::string refusalOf(const std::vector<std::string>& arguments) {
  try {
    parseOptions(arguments);
  } catch (const OptionsError& wrong) {
    return wrong.what();
  }
  return "(taken)";
}

TEST(SimOptions, startsFromTheDefaults) {
  const auto options = parseOptions({});
  EXPECT_EQ(options.queryPort, 9231);
  EXPECT_EQ(options.oscPort, 0);
  EXPECT_EQ(options.name, "ZindleRecorder");
  EXPECT_EQ(options.appVersion, "0.9");
  ASSERT_EQ(options.sources.size(), 3u);
  EXPECT_EQ(options.sources[2].title, "STUDIO (Stage)");
  EXPECT_TRUE(options.sources[2].sound);
  EXPECT_TRUE(options.ndiUsable);
  EXPECT_EQ(options.stateFile, "");
  EXPECT_DOUBLE_EQ(options.faults.finishSeconds, 0.3);
  EXPECT_TRUE(options.faults.refused.empty());
  EXPECT_EQ(options.faults.httpFault, HttpFault::none);
  EXPECT_FALSE(options.verbose);
}

TEST(SimOptions, readsEveryOptionInBothForms) {
  const auto options = parseOptions({"--port=0",
                                     "--osc-port",
                                     "9300",
                                     "--name",
                                     "Other",
                                     "--app-version=dev",
                                     "--source",
                                     "Cam: left:syphon:640x480@29.97",
                                     "--source=Hall:ndi:1280x720@50:sound",
                                     "--no-ndi",
                                     "--state",
                                     "/tmp/state.json",
                                     "--finish-seconds",
                                     "2.5",
                                     "--refuse",
                                     "gap",
                                     "--refuse=source",
                                     "--fail-start",
                                     "Busy.",
                                     "--never-record",
                                     "--fail-recording=Disk full.",
                                     "--http-fault",
                                     "hang",
                                     "--verbose"});
  EXPECT_EQ(options.queryPort, 0);
  EXPECT_EQ(options.oscPort, 9300);
  EXPECT_EQ(options.name, "Other");
  EXPECT_EQ(options.appVersion, "dev");
  ASSERT_EQ(options.sources.size(), 2u);
  EXPECT_EQ(options.sources[0].title, "Cam: left");
  EXPECT_EQ(options.sources[0].kind, "syphon");
  EXPECT_EQ(options.sources[0].width, 640);
  EXPECT_EQ(options.sources[0].height, 480);
  EXPECT_DOUBLE_EQ(options.sources[0].fps, 29.97);
  EXPECT_FALSE(options.sources[0].sound);
  EXPECT_EQ(options.sources[1].title, "Hall");
  EXPECT_TRUE(options.sources[1].isNdi());
  EXPECT_TRUE(options.sources[1].sound);
  EXPECT_FALSE(options.ndiUsable);
  EXPECT_EQ(options.stateFile, "/tmp/state.json");
  EXPECT_DOUBLE_EQ(options.faults.finishSeconds, 2.5);
  EXPECT_EQ(options.faults.refused, (std::set<std::string>{"gap", "source"}));
  EXPECT_EQ(options.faults.failStart, "Busy.");
  EXPECT_TRUE(options.faults.neverRecord);
  EXPECT_EQ(options.faults.failRecording, "Disk full.");
  EXPECT_EQ(options.faults.httpFault, HttpFault::hang);
  EXPECT_TRUE(options.verbose);
}

TEST(SimOptions, refusesWhatItCannotUseWithTheReason) {
  EXPECT_EQ(refusalOf({"--bogus"}), "unknown option \"--bogus\"");
  EXPECT_EQ(refusalOf({"--port"}), "--port needs a value");
  EXPECT_EQ(refusalOf({"--port", "65536"}),
            "--port takes a port from 0 to 65535, not \"65536\"");
  EXPECT_EQ(refusalOf({"--osc-port=12x"}),
            "--osc-port takes a port from 0 to 65535, not \"12x\"");
  EXPECT_EQ(refusalOf({"--verbose=1"}), "--verbose takes no value");
  EXPECT_EQ(refusalOf({"--finish-seconds", "-1"}),
            "--finish-seconds takes seconds, 0 or more, not \"-1\"");
  EXPECT_EQ(refusalOf({"--refuse", "colour"}),
            "--refuse takes a setting's name or source, not \"colour\"");
  EXPECT_EQ(refusalOf({"--http-fault", "500"}),
            "--http-fault takes none, 404, garbage or hang, not \"500\"");
  EXPECT_EQ(refusalOf({"--state="}), "--state takes a file's path");
  EXPECT_EQ(refusalOf({"--source", "Cam"}),
            "source \"Cam\" is not Title:kind:WIDTHxHEIGHT@FPS");
  EXPECT_EQ(refusalOf({"--source", "Cam:vhs:640x480@30"}),
            "source \"Cam:vhs:640x480@30\" has the kind \"vhs\"; it must be "
            "syphon or ndi");
  EXPECT_EQ(refusalOf({"--source", "Cam:syphon:640x480@30:sound"}),
            "source \"Cam:syphon:640x480@30:sound\": only NDI sources send "
            "sound");
  EXPECT_EQ(refusalOf({"--source", ":ndi:640x480@30"}),
            "source \":ndi:640x480@30\" has no title");
  const std::string badPicture =
      "\" needs a picture such as 1920x1080@30 (sides 1 to 16384, a frame "
      "rate above 0)";
  for (const std::string picture :
       {"640x480", "640x@30", "0x480@30", "640x16385@30", "640x480@0",
        "640x480@fast", "x480@30"}) {
    const auto spec = "Cam:syphon:" + picture;
    EXPECT_EQ(refusalOf({"--source", spec}), "source \"" + spec + badPicture);
  }
}

TEST(SimOptions, stopsReadingAtHelp) {
  EXPECT_TRUE(parseOptions({"--verbose", "--help", "--bogus"}).help);
  EXPECT_TRUE(parseOptions({"-h"}).help);
}

}  // namespace
}  // namespace zindle::sim
