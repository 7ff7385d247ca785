#include "operations/pending_settings.hpp"

#include <pwd.h>

#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "operations/fake_app.hpp"

namespace zindle::operations {
namespace {

using testing::Messages;
using Sent = testing::FakeApp::Message;

// The pending settings of the sources in `arguments`, or of the others.
std::vector<PendingSetting> pendingOf(const Json& arguments) {
  const std::optional<std::vector<std::string>> titles =
      givenSources(arguments);
  return titles ? sourceSettings(*titles) : otherSettings(arguments);
}

Messages messagesOf(const Json& arguments) {
  Messages messages;
  for (const PendingSetting& setting : pendingOf(arguments)) {
    messages.emplace_back(setting.address, setting.argument);
  }
  return messages;
}

// Where the user root's tilde expands to.
const std::string kRootHome = getpwnam("root")->pw_dir;

TEST(PendingSettings, sendsTheListOfSourcesAndEachSettingInItsOwnOrder) {
  const Json arguments = Json::parse(R"({"name": "take", "unknown": null,
      "folder": "~root/Movies", "performance": false, "sound": "computer",
      "height": -1.5, "width": 5000000, "gap": 2.5, "layout": "Grid",
      "output": "both", "bitrate": true, "fps": 29.97, "codec": "H264"})");
  EXPECT_EQ(
      messagesOf(arguments),
      (Messages{
          Sent("/codec", "H264"), Sent("/fps", 29.97f), Sent("/bitrate", 1.0f),
          Sent("/output", "both"), Sent("/layout", "Grid"), Sent("/gap", 3),
          Sent("/width", 1000000), Sent("/height", -2),
          Sent("/sound", "computer"), Sent("/performance", 0),
          Sent("/folder", kRootHome + "/Movies"), Sent("/name", "take")}));
  EXPECT_EQ(messagesOf({{"gap", 2.4}, {"performance", true}}),
            (Messages{{"/gap", 2}, {"/performance", 1}}));
  EXPECT_EQ(messagesOf({{"sources", {"Cam"}}, {"source", 5}}),
            (Messages{{"/source/1", "Cam"}, {"/source/2", ""}}));
}

TEST(PendingSettings, aSettingIsTakenWhenItsReadBackMatchesTheGivenValue) {
  const Json cam = {{"sources", {"cam"}}};
  // The arguments, the values read back, whether the settings were taken.
  const std::vector<std::tuple<Json, Json, bool>> cases = {
      // Rates within a thousandth; an absent number counts as -1.
      {{{"fps", 29.97}}, {{"/fps", 29.969999313354492}}, true},
      {{{"fps", 29.97}}, {{"/fps", 29.968}}, false},
      {{{"fps", 0}}, {{"/fps", 0.001}}, false},
      {{{"fps", -1}}, Json::object(), true},
      // ... or within a thousandth of the float sent, which may be further.
      {{{"bitrate", 100000.1}}, {{"/bitrate", 100000.1015625}}, true},
      {{{"bitrate", 16777217}}, {{"/bitrate", 16777216}}, true},
      {{{"bitrate", 100000.1}}, {{"/bitrate", 100000.103}}, false},
      {{{"gap", -1}}, Json::object(), true},
      // Whole numbers rounded half away from zero, limited only when sent.
      {{{"gap", 2.4}}, {{"/gap", 2}}, true},
      {{{"gap", 2.5}}, {{"/gap", 3}}, true},
      {{{"gap", 2.5}}, {{"/gap", 2}}, false},
      {{{"gap", -1.5}}, {{"/gap", -2}}, true},
      {{{"width", 5000000}}, {{"/width", 1000000}}, false},
      // true and false are 1 and 0 on either side; performance reads as the
      // status reads a flag: only a whole non-zero number is on.
      {{{"bitrate", true}}, {{"/bitrate", 1}}, true},
      {{{"bitrate", 1}}, {{"/bitrate", true}}, true},
      {{{"performance", true}}, {{"/performance", 2}}, true},
      {{{"performance", true}}, {{"/performance", 1.7}}, false},
      {{{"performance", false}}, {{"/performance", 1.7}}, true},
      {{{"performance", false}}, {{"/performance", 1}}, false},
      {{{"performance", false}}, Json::object(), false},
      {{{"performance", false}}, {{"/performance", "0"}}, false},
      // Choices lowercased, then texts compared as canonical equivalents.
      {{{"codec", "H264"}}, {{"/codec", "h264"}}, true},
      {{{"codec", "H264"}}, {{"/codec", "H264"}}, false},
      {{{"layout", "\u00c9CRAN"}}, {{"/layout", "e\u0301cran"}}, true},
      {{{"name", "Caf\u00e9"}}, {{"/name", "Cafe\u0301"}}, true},
      {{{"name", "Caf\u00e9"}}, {{"/name", "caf\u00e9"}}, false},
      {{{"folder", "~root/x"}}, {{"/folder", kRootHome + "/x"}}, true},
      // Sound and sources contain the text; the next slot must read "".
      {{{"sound", "computer"}}, {{"/sound", "the COMPUTER sound"}}, true},
      {{{"sound", "computer"}}, {{"/sound", "comp"}}, false},
      {{{"sound", ""}}, {{"/sound", ""}}, true},
      {{{"sound", ""}}, {{"/sound", "computer"}}, false},
      {cam, {{"/source/1", "Main Camera"}, {"/source/2", ""}}, true},
      {cam, {{"/source/1", "Screen"}, {"/source/2", ""}}, false},
      {cam, {{"/source/1", "Main Camera"}, {"/source/2", " "}}, false},
  };
  for (const auto& [arguments, values, taken] : cases) {
    const link::Reading reading{values, {}};
    EXPECT_EQ(allTaken(pendingOf(arguments), reading), taken)
        << arguments << " read back as " << values;
  }
}

}  // namespace
}  // namespace zindle::operations
