#include "sim/settings.hpp"

#include <gtest/gtest.h>

#include "model_fixture.hpp"
#include "temporary_folder.hpp"

namespace zindle::sim::testing {
namespace {

struct Refusal {
  std::string address;
  std::vector<OscArgument> arguments;
  std::string error;
};

TEST(SimSettings, takesValuesInTheFormTheAppStoresThem) {
  TemporaryFolder folder;
  ModelFixture app;
  app.sendText("/source/1", "stage");
  app.sendText("/codec", "ProRes4444");
  app.sendText("/output", "Separate");
  app.sendText("/layout", "GRID");
  app.send("/fps", {OscArgument::integer(25)});
  app.send("/bitrate", {{'d', 12.5}});
  app.send("/gap", {{'h', std::int64_t{4}}});
  app.send("/width", {OscArgument::real(1280)});
  app.send("/height", {OscArgument::integer(720)});
  app.sendInt("/performance", 1);
  app.sendText("/sound", "(stage");
  app.sendText("/folder", folder.string());
  app.sendText("/name", "Take: one");

  const auto now = app.read();
  EXPECT_EQ(now.error, "");
  EXPECT_EQ(now.settings.codec, "prores4444");
  EXPECT_EQ(now.settings.output, "separate");
  EXPECT_EQ(now.settings.layout, "grid");
  EXPECT_DOUBLE_EQ(now.settings.fps, 25);
  EXPECT_DOUBLE_EQ(now.settings.bitrate, 12.5);
  EXPECT_EQ(now.settings.gap, 4);
  EXPECT_EQ(now.settings.width, 1280);
  EXPECT_EQ(now.settings.height, 720);
  EXPECT_EQ(now.settings.performance, 1);
  EXPECT_EQ(now.settings.sound, "STUDIO (Stage)");
  EXPECT_EQ(now.settings.folder, folder.string());
  EXPECT_EQ(now.settings.name, "Take: one");

  app.sendText("/sound", "COMPUTER");
  EXPECT_EQ(app.read().settings.sound, "computer");
  app.sendText("/sound", "");
  EXPECT_EQ(app.read().settings.sound, "");
}

TEST(SimSettings, refusesWhatTheAppWouldNotTakeAndKeepsTheOldValue) {
  const std::vector<Refusal> refusals = {
      {"/codec", {OscArgument::integer(1)}, "codec takes a text."},
      {"/codec",
       {OscArgument::text("mpeg2")},
       "codec must be h264, hevc, prores422 or prores4444."},
      {"/output",
       {OscArgument::text("all")},
       "output must be separate, assembled or both."},
      {"/layout",
       {OscArgument::text("circle")},
       "layout must be row, column, grid or focus."},
      {"/fps", {OscArgument::text("30")}, "fps takes a number."},
      {"/fps", {}, "fps takes one value."},
      {"/fps",
       {OscArgument::real(30), OscArgument::real(30)},
       "fps takes one value."},
      {"/fps", {OscArgument::real(-1)}, "fps must be a number of 0 or more."},
      {"/bitrate",
       {OscArgument::real(-0.5)},
       "bitrate must be a number of 0 or more."},
      {"/gap",
       {OscArgument::integer(-1)},
       "gap must be a whole number of 0 or more."},
      {"/gap",
       {OscArgument::real(2.5)},
       "gap must be a whole number of 0 or more."},
      {"/width",
       {OscArgument::integer(16385)},
       "width must be a whole number from 0 to 16384."},
      {"/height",
       {OscArgument::integer(-1)},
       "height must be a whole number from 0 to 16384."},
      {"/folder",
       {OscArgument::text("/no/such/folder")},
       "folder must be an existing folder; \"/no/such/folder\" is not one."},
      {"/folder",
       {OscArgument::text("")},
       "folder must be an existing folder; \"\" is not one."},
      {"/name", {OscArgument::text("a/b")}, "name must not contain a slash."},
      {"/sound",
       {OscArgument::text("screen")},  // offered, not chosen
       "sound must be computer, empty, or part of a chosen source's title."},
      {"/performance",
       {OscArgument::integer(2)},
       "performance must be 0 or 1."},
      {"/performance",
       {{'T', std::monostate{}}},
       "performance takes a number."},
      {"/frames", {OscArgument::integer(1)}, "Unknown address /frames."},
      {"/source/9", {OscArgument::text("cam")}, "Unknown address /source/9."},
  };
  ModelFixture app;
  app.sendText("/source/1", "cam");
  const auto before = app.read().settings;
  for (const auto& refusal : refusals) {
    app.send(refusal.address, refusal.arguments);
    const auto now = app.read();
    EXPECT_EQ(now.error, refusal.error) << refusal.address;
    for (const auto& setting : kSettings) {
      EXPECT_EQ(settingValue(now.settings, setting.key),
                settingValue(before, setting.key))
          << refusal.address << " changed " << setting.key;
    }
  }
}

TEST(SimSettings, refusesEveryValueOfASettingItIsToldToRefuse) {
  auto config = offering(defaultSources());
  config.faults.refused = {"gap"};
  ModelFixture app(config);
  app.sendInt("/gap", 10);
  EXPECT_EQ(app.read().error, "The recorder refused the new gap.");
  EXPECT_EQ(app.read().settings.gap, 0);

  app.sendText("/sim/refuse", "source");
  app.sendText("/source/1", "cam");
  EXPECT_EQ(app.read().error, "The recorder refused the new source.");
  EXPECT_TRUE(app.read().slots.empty());

  app.sendText("/sim/refuse", "");
  app.sendInt("/gap", 10);
  app.sendText("/source/1", "cam");
  EXPECT_EQ(app.read().settings.gap, 10);
  EXPECT_EQ(app.read().slots.size(), 1u);

  app.sendText("/sim/refuse", "colour");
  EXPECT_EQ(app.read().error,
            "/sim/refuse takes a setting's name or source, not \"colour\".");
}

}  // namespace
}  // namespace zindle::sim::testing
