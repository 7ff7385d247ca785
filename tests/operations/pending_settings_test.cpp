#include "operations/pending_settings.hpp"

#include <pwd.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "operations/fake_app.hpp"

namespace zindle::operations {
namespace {

using testing::FakeApp;
using testing::sent;
using Titles = std::vector<std::string>;

std::vector<FakeApp::Message> messagesOf(
    const std::vector<PendingSetting>& pending) {
  std::vector<FakeApp::Message> messages;
  for (const PendingSetting& setting : pending) {
    messages.push_back(sent(setting.address, setting.argument));
  }
  return messages;
}

// The one pending setting that `arguments` give.
PendingSetting onlySetting(const Json& arguments) {
  std::vector<PendingSetting> pending = otherSettings(arguments);
  EXPECT_EQ(pending.size(), 1u);
  return pending.empty() ? PendingSetting{} : std::move(pending.front());
}

bool takes(const PendingSetting& setting, const Json& readBack) {
  return setting.matches(&readBack);
}

bool takesAbsent(const PendingSetting& setting) {
  return setting.matches(nullptr);
}

// The message of the badArguments error `run` throws, or "" when it throws
// no such error.
template <typename Run>
std::string badArgumentsOf(const Run& run) {
  const std::optional<testing::Failure> failure = testing::failureOf(run);
  if (!failure || failure->kind != RecorderError::Kind::badArguments) return "";
  return failure->text;
}

std::string refusalOf(const Titles& titles, const Titles& available) {
  const std::optional<testing::Failure> failure =
      testing::failureOf([&] { checkSources(titles, available); });
  if (!failure || failure->kind != RecorderError::Kind::failed) return "";
  return failure->text;
}

TEST(PendingSettings, sourcesAreTheListOrTheOneSource) {
  EXPECT_EQ(givenSources({{"sources", {"Cam", "Screen"}}}),
            (Titles{"Cam", "Screen"}));
  EXPECT_EQ(givenSources({{"sources", Json::array()}}), Titles{});
  EXPECT_EQ(givenSources({{"source", "Cam"}}), Titles{"Cam"});
  EXPECT_EQ(givenSources({{"sources", {"A"}}, {"source", 5}}), Titles{"A"});
  EXPECT_EQ(givenSources({{"fps", 30}}), std::nullopt);
  EXPECT_EQ(givenSources(Json::object()), std::nullopt);
  EXPECT_EQ(givenSources(Json::array({"sources"})), std::nullopt);
  EXPECT_EQ(givenSources(nullptr), std::nullopt);
}

TEST(PendingSettings, refusesSourcesThatAreNotAListOfTitles) {
  for (const Json& sources :
       {Json("Cam"), Json(nullptr), Json::array({"Cam", 3}), Json(true),
        Json({{"title", "Cam"}}), Json::array({1, 2, 3, 4, 5, 6, 7, 8, 9})}) {
    EXPECT_EQ(badArgumentsOf([&] {
                givenSources({{"sources", sources}});
              }),
              "sources must be a list of titles")
        << sources.dump();
  }
}

TEST(PendingSettings, refusesMoreThanEightSources) {
  Titles eight(8, "Cam");
  EXPECT_EQ(givenSources({{"sources", eight}}), eight);
  Titles nine(9, "Cam");
  EXPECT_EQ(badArgumentsOf([&] {
              givenSources({{"sources", nine}});
            }),
            "no more than 8 sources can be recorded at once");
}

TEST(PendingSettings, refusesASourceThatIsNotText) {
  EXPECT_EQ(badArgumentsOf([] {
              givenSources({{"source", nullptr}});
            }),
            "source must be a string");
  EXPECT_EQ(badArgumentsOf([] {
              givenSources({{"source", {"Cam"}}});
            }),
            "source must be a string");
}

TEST(PendingSettings, aTitleIsFoundInAnyAvailableTitleThatContainsIt) {
  EXPECT_EQ(refusalOf({"cam", "SCREEN", "Main"}, {"Main Camera", "Screen"}),
            "");
  EXPECT_EQ(refusalOf({}, {}), "");
}

TEST(PendingSettings, namesTheFirstTitleNotFoundAndTheAvailableOnes) {
  EXPECT_EQ(refusalOf({"Cam", "Deck", "Tape"}, {"Main Camera", "Screen"}),
            "There is no source called \u201cDeck\u201d. Available: "
            "Main Camera, Screen. Nothing was changed.");
  EXPECT_EQ(refusalOf({"Cam"}, {}),
            "There is no source called \u201cCam\u201d. Available: . "
            "Nothing was changed.");
  EXPECT_EQ(refusalOf({""}, {"Screen"}),
            "There is no source called \u201c\u201d. Available: Screen. "
            "Nothing was changed.");
}

TEST(PendingSettings, sourcesFillTheirSlotsAndEmptyTheNext) {
  EXPECT_EQ(messagesOf(sourceSettings(Titles{"Cam", "Screen"})),
            (std::vector<FakeApp::Message>{sent("/source/1", "Cam"),
                                           sent("/source/2", "Screen"),
                                           sent("/source/3", "")}));
  EXPECT_EQ(messagesOf(sourceSettings(Titles{})),
            std::vector<FakeApp::Message>{sent("/source/1", "")});
  const Titles eight = {"1", "2", "3", "4", "5", "6", "7", "8"};
  std::vector<FakeApp::Message> expected;
  for (const std::string& title : eight) {
    expected.push_back(sent("/source/" + title, title));
  }
  EXPECT_EQ(messagesOf(sourceSettings(eight)), expected);
}

TEST(PendingSettings, aSlotIsTakenWhenItHoldsATitleContainingTheGivenOne) {
  const std::vector<PendingSetting> pending = sourceSettings(Titles{"cam"});
  EXPECT_TRUE(takes(pending[0], "Main Camera"));
  EXPECT_FALSE(takes(pending[0], "Screen"));
  EXPECT_FALSE(takes(pending[0], ""));
  EXPECT_FALSE(takesAbsent(pending[0]));
  EXPECT_TRUE(takes(pending[1], ""));
  EXPECT_FALSE(takes(pending[1], " "));
  EXPECT_FALSE(takes(pending[1], 0));
  EXPECT_FALSE(takesAbsent(pending[1]));
}

TEST(PendingSettings, settingsComeInTheirOwnOrderWhateverTheArguments) {
  const Json arguments = {
      {"name", "take"},      {"folder", "/movies"}, {"performance", false},
      {"sound", "computer"}, {"height", 720},       {"width", 1280.4},
      {"gap", -1.5},         {"layout", "Grid"},    {"output", "both"},
      {"bitrate", true},     {"fps", 29.97},        {"codec", "H264"},
      {"unknown", nullptr},  {"sources", 3},
  };
  EXPECT_EQ(
      messagesOf(otherSettings(arguments)),
      (std::vector<FakeApp::Message>{
          sent("/codec", "H264"), sent("/fps", 29.97f), sent("/bitrate", 1.0f),
          sent("/output", "both"), sent("/layout", "Grid"), sent("/gap", -2),
          sent("/width", 1280), sent("/height", 720),
          sent("/sound", "computer"), sent("/performance", 0),
          sent("/folder", "/movies"), sent("/name", "take")}));
}

TEST(PendingSettings, noKnownKeyGivesNoSetting) {
  EXPECT_TRUE(otherSettings(Json::object()).empty());
  EXPECT_TRUE(otherSettings({{"Fps", "x"}, {"source", 1}}).empty());
  EXPECT_TRUE(otherSettings(Json::array({1})).empty());
}

TEST(PendingSettings, refusesEachSettingOfTheWrongType) {
  const std::vector<std::pair<Json, std::string>> cases = {
      {{{"codec", 264}}, "codec must be a string"},
      {{{"fps", "30"}}, "fps must be a number"},
      {{{"bitrate", nullptr}}, "bitrate must be a number"},
      {{{"output", true}}, "output must be a string"},
      {{{"layout", {"row"}}}, "layout must be a string"},
      {{{"gap", "10"}}, "gap must be a number"},
      {{{"width", Json::object()}}, "width must be a number"},
      {{{"height", nullptr}}, "height must be a number"},
      {{{"sound", false}}, "sound must be a string"},
      {{{"performance", 1}}, "performance must be true or false"},
      {{{"performance", "true"}}, "performance must be true or false"},
      {{{"folder", nullptr}}, "folder must be a string"},
      {{{"name", 7}}, "name must be a string"},
  };
  for (const auto& [arguments, message] : cases) {
    const Json& given = arguments;
    EXPECT_EQ(badArgumentsOf([&given] { otherSettings(given); }), message)
        << arguments.dump();
  }
}

TEST(PendingSettings, reportsTheFirstWrongTypeInTheSettingsOrder) {
  EXPECT_EQ(badArgumentsOf([] {
              otherSettings({{"bitrate", "x"}, {"codec", 1}, {"name", 2}});
            }),
            "codec must be a string");
  EXPECT_EQ(badArgumentsOf([] {
              otherSettings({{"name", 2}, {"performance", 0}, {"fps", 30}});
            }),
            "performance must be true or false");
}

TEST(PendingSettings, ratesAreTakenWithinAThousandth) {
  const PendingSetting fps = onlySetting({{"fps", 29.97}});
  EXPECT_TRUE(takes(fps, 29.969999313354492));
  EXPECT_TRUE(takes(fps, 29.9705));
  EXPECT_FALSE(takes(fps, 29.968));
  EXPECT_FALSE(takes(fps, 30));
  EXPECT_FALSE(takes(fps, "29.97"));
  EXPECT_FALSE(takesAbsent(fps));
  EXPECT_TRUE(takes(onlySetting({{"bitrate", true}}), true));
  EXPECT_TRUE(takes(onlySetting({{"bitrate", 0}}), false));
}

TEST(PendingSettings, anAbsentOrNonNumericReadBackCountsAsMinusOne) {
  EXPECT_TRUE(takesAbsent(onlySetting({{"fps", -1}})));
  EXPECT_TRUE(takes(onlySetting({{"fps", -1}}), "x"));
  EXPECT_TRUE(takesAbsent(onlySetting({{"gap", -1}})));
  EXPECT_TRUE(takes(onlySetting({{"height", -1.2}}), nullptr));
  EXPECT_FALSE(takesAbsent(onlySetting({{"gap", 0}})));
}

TEST(PendingSettings, wholeNumbersAreSentAndTestedRoundedHalfAwayFromZero) {
  const PendingSetting gap = onlySetting({{"gap", 2.5}});
  EXPECT_EQ(messagesOf({gap}), std::vector{sent("/gap", 3)});
  EXPECT_TRUE(takes(gap, 3));
  EXPECT_TRUE(takes(gap, 3.0));
  EXPECT_FALSE(takes(gap, 2));
  const PendingSetting below = onlySetting({{"gap", -1.5}});
  EXPECT_EQ(messagesOf({below}), std::vector{sent("/gap", -2)});
  EXPECT_TRUE(takes(below, -2));
  const PendingSetting under = onlySetting({{"gap", 2.4}});
  EXPECT_EQ(messagesOf({under}), std::vector{sent("/gap", 2)});
  EXPECT_TRUE(takes(under, 2));
  const PendingSetting one = onlySetting({{"width", true}});
  EXPECT_EQ(messagesOf({one}), std::vector{sent("/width", 1)});
  EXPECT_TRUE(takes(one, true));
}

TEST(PendingSettings, wholeNumbersAreSentWithinAMillionButTestedUnlimited) {
  const PendingSetting wide = onlySetting({{"width", 5000000}});
  EXPECT_EQ(messagesOf({wide}), std::vector{sent("/width", 1000000)});
  EXPECT_FALSE(takes(wide, 1000000));
  EXPECT_TRUE(takes(wide, 5000000));
  EXPECT_EQ(messagesOf({onlySetting({{"height", -1e300}})}),
            std::vector{sent("/height", -1000000)});
  EXPECT_EQ(messagesOf({onlySetting(
                {{"gap", std::numeric_limits<std::uint64_t>::max()}})}),
            std::vector{sent("/gap", 1000000)});
}

TEST(PendingSettings, ratesBeyondFloatRangeAreSentAsTheLargestFloat) {
  EXPECT_EQ(messagesOf({onlySetting({{"fps", 1e300}})}),
            std::vector{sent("/fps", std::numeric_limits<float>::max())});
  EXPECT_EQ(messagesOf({onlySetting({{"bitrate", -1e39}})}),
            std::vector{sent("/bitrate", -std::numeric_limits<float>::max())});
}

TEST(PendingSettings, performanceIsTakenWhenTheWholePartOfTheNumberMatches) {
  const PendingSetting on = onlySetting({{"performance", true}});
  EXPECT_EQ(messagesOf({on}), std::vector{sent("/performance", 1)});
  EXPECT_TRUE(takes(on, 1));
  EXPECT_TRUE(takes(on, 1.9));
  EXPECT_TRUE(takes(on, true));
  EXPECT_FALSE(takes(on, 2));
  EXPECT_FALSE(takes(on, "1"));
  EXPECT_FALSE(takesAbsent(on));
  const PendingSetting off = onlySetting({{"performance", false}});
  EXPECT_TRUE(takes(off, 0));
  EXPECT_TRUE(takes(off, -0.5));
  EXPECT_TRUE(takes(off, false));
  EXPECT_FALSE(takesAbsent(off));
}

TEST(PendingSettings, choicesAreTakenAsTheGivenTextLowercased) {
  const PendingSetting codec = onlySetting({{"codec", "H264"}});
  EXPECT_TRUE(takes(codec, "h264"));
  EXPECT_FALSE(takes(codec, "H264"));
  EXPECT_FALSE(takesAbsent(codec));
  const PendingSetting layout = onlySetting({{"layout", "\u00c9CRAN"}});
  EXPECT_EQ(messagesOf({layout}), std::vector{sent("/layout", "\u00c9CRAN")});
  EXPECT_TRUE(takes(layout, "e\u0301cran"));
  EXPECT_FALSE(takes(layout, "ecran"));
  EXPECT_TRUE(takes(onlySetting({{"output", "Both"}}), "both"));
}

TEST(PendingSettings, aNameIsTakenAsACanonicalEquivalent) {
  const PendingSetting name = onlySetting({{"name", "Caf\u00e9"}});
  EXPECT_TRUE(takes(name, "Cafe\u0301"));
  EXPECT_FALSE(takes(name, "caf\u00e9"));
  EXPECT_FALSE(takes(name, 1));
  EXPECT_TRUE(takes(onlySetting({{"name", ""}}), ""));
}

TEST(PendingSettings, soundIsTakenWhenItContainsTheTextOrIsEmptyAsGiven) {
  const PendingSetting computer = onlySetting({{"sound", "computer"}});
  EXPECT_TRUE(takes(computer, "Computer"));
  EXPECT_TRUE(takes(computer, "the COMPUTER sound"));
  EXPECT_FALSE(takes(computer, "comp"));
  const PendingSetting none = onlySetting({{"sound", ""}});
  EXPECT_TRUE(takes(none, ""));
  EXPECT_FALSE(takes(none, "computer"));
  EXPECT_FALSE(takesAbsent(none));
}

TEST(PendingSettings, aFolderIsSentAndTestedExpanded) {
  const passwd* root = getpwnam("root");
  ASSERT_NE(root, nullptr);
  const std::string expanded = std::string(root->pw_dir) + "/Movies";
  const PendingSetting folder = onlySetting({{"folder", "~root/Movies"}});
  EXPECT_EQ(messagesOf({folder}), std::vector{sent("/folder", expanded)});
  EXPECT_TRUE(takes(folder, expanded));
  EXPECT_FALSE(takes(folder, "~root/Movies"));
}

TEST(PendingSettings, notAppliedHoldsTheAppsValueOfEachSettingNotTaken) {
  const std::vector<PendingSetting> pending = otherSettings(
      {{"codec", "hevc"}, {"fps", 30}, {"gap", 4}, {"name", "a"}});
  const std::unordered_map<std::string, Json> values = {
      {"/codec", "hevc"}, {"/fps", 25}, {"/name", false}};
  EXPECT_FALSE(allTaken(pending, values));
  EXPECT_EQ(notApplied(pending, values),
            (Json{{"fps", 25}, {"gap", nullptr}, {"name", false}}));
}

TEST(PendingSettings, notAppliedIsEmptyWhenEverySettingWasTaken) {
  std::vector<PendingSetting> pending = sourceSettings(Titles{"cam"});
  for (PendingSetting& setting : otherSettings({{"fps", 30}})) {
    pending.push_back(std::move(setting));
  }
  const std::unordered_map<std::string, Json> values = {
      {"/source/1", "Camera"}, {"/source/2", ""}, {"/fps", 30.0004}};
  EXPECT_TRUE(allTaken(pending, values));
  EXPECT_EQ(notApplied(pending, values), Json::object());
  EXPECT_TRUE(allTaken({}, {}));
}

}  // namespace
}  // namespace zindle::operations
