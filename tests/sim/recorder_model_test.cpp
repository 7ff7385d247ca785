#include "sim/recorder_model.hpp"

#include <filesystem>

#include <gtest/gtest.h>

#include "model_fixture.hpp"
#include "temporary_folder.hpp"

namespace zindle::sim::testing {
namespace {

// Main Camera (Syphon, 30 fps) and STUDIO (Stage) (NDI, 25 fps, sound)
// chosen, movies going to `folder` under the name "Take".
void prepareTake(ModelFixture& app, const TemporaryFolder& folder) {
  app.sendText("/source/1", "cam");
  app.sendText("/source/2", "studio");
  app.sendText("/folder", folder.string());
  app.sendText("/name", "Take");
}

TEST(SimRecord, runsARecordingThroughFinishingToIdleWithExactFigures) {
  TemporaryFolder folder;
  ModelFixture app;
  prepareTake(app, folder);
  app.sendInt("/record", 1);

  auto now = app.read();
  EXPECT_EQ(now.state, "recording");
  EXPECT_EQ(now.error, "");
  ASSERT_EQ(now.slots.size(), 2u);
  EXPECT_EQ(now.slots[0].file, folder.file("Take Main Camera.mov"));
  EXPECT_EQ(now.slots[1].file, folder.file("Take STUDIO (Stage).mov"));
  EXPECT_EQ(now.assembledFile, folder.file("Take.mov"));

  app.advance(2.0);
  now = app.read();
  EXPECT_DOUBLE_EQ(now.elapsed, 2.0);
  EXPECT_EQ(now.slots[0].frames, 60);
  EXPECT_EQ(now.slots[1].frames, 50);
  EXPECT_EQ(now.assembledFrames, 60);  // as fast as the fastest source
  EXPECT_DOUBLE_EQ(now.slots[0].soundWritten, 0.0);
  EXPECT_DOUBLE_EQ(now.slots[1].soundWritten, 2.0);
  EXPECT_DOUBLE_EQ(now.soundWritten, 0.0);  // the sound setting is empty

  app.sendInt("/record", 0);
  app.advance(0.29);
  now = app.read();
  EXPECT_EQ(now.state, "finishing");
  EXPECT_DOUBLE_EQ(now.elapsed, 2.0);

  app.advance(0.02);
  EXPECT_EQ(app.read().state, "idle");
  app.advance(10);  // the figures stay those of the recording
  now = app.read();
  EXPECT_EQ(now.failure, "");
  EXPECT_DOUBLE_EQ(now.elapsed, 2.0);
  EXPECT_EQ(now.slots[0].frames, 60);
  EXPECT_EQ(now.assembledFile, folder.file("Take.mov"));
}

TEST(SimRecord, refusesStartWithoutSourceFolderOrRoomForThePicture) {
  TemporaryFolder folder;
  ModelFixture app(offering({parseSource("Wide:syphon:16000x1080@30"),
                             parseSource("Wider:syphon:16000x1080@30")}));
  app.sendInt("/record", 1);
  EXPECT_EQ(app.read().error, "No source is chosen.");
  EXPECT_EQ(app.read().state, "idle");

  const auto gone = folder.file("gone");
  std::filesystem::create_directory(gone);
  app.sendText("/folder", gone);
  std::filesystem::remove(gone);
  app.sendText("/source/1", "wide");
  app.sendInt("/record", 1);
  EXPECT_EQ(app.read().error, "The folder " + gone + " does not exist.");

  app.sendText("/folder", folder.string());
  app.sendText("/source/2", "wider");
  app.sendInt("/record", 1);
  EXPECT_EQ(app.read().error,
            "The assembled picture would be 32000 x 1080, larger than "
            "16384 x 16384.");
  EXPECT_EQ(app.read().state, "idle");

  // Without an assembled movie the size does not matter.
  app.sendText("/output", "separate");
  app.sendInt("/record", 1);
  EXPECT_EQ(app.read().state, "recording");
  EXPECT_EQ(app.read().error, "");
}

TEST(SimRecord, limitsFramesByTheFpsSettingAsItWasAtTheStart) {
  TemporaryFolder folder;
  ModelFixture app;
  app.sendText("/source/1", "camera");
  app.sendText("/source/2", "screen");
  app.sendText("/folder", folder.string());
  app.sendReal("/fps", 24);
  app.sendInt("/record", 1);
  app.sendReal("/fps", 10);  // taken, but for the next recording
  app.advance(1.5);
  const auto now = app.read();
  EXPECT_EQ(now.slots[0].frames, 36);
  EXPECT_EQ(now.slots[1].frames, 36);
  EXPECT_EQ(now.assembledFrames, 36);
  EXPECT_DOUBLE_EQ(now.settings.fps, 10);
}

TEST(SimRecord, failsTheNextStartOnlyWhenToldTo) {
  TemporaryFolder folder;
  ModelFixture app;
  prepareTake(app, folder);
  app.sendText("/sim/fail_start", "The camera is busy.");
  app.sendInt("/record", 1);
  EXPECT_EQ(app.read().state, "idle");
  EXPECT_EQ(app.read().error, "The camera is busy.");
  EXPECT_EQ(app.read().faults.failStart, "");

  app.sendInt("/record", 1);
  EXPECT_EQ(app.read().state, "recording");
}

TEST(SimRecord, neverRecordingLeavesNoTraceOfTheStart) {
  TemporaryFolder folder;
  ModelFixture app;
  prepareTake(app, folder);
  app.sendText("/codec", "mpeg2");  // leaves an error behind
  app.sendInt("/sim/never_record", 1);
  app.sendInt("/record", 1);
  app.advance(1);
  const auto now = app.read();
  EXPECT_EQ(now.state, "idle");
  EXPECT_EQ(now.error, "codec must be h264, hevc, prores422 or prores4444.");
  EXPECT_EQ(now.assembledFile, "");
}

TEST(SimRecord, endsWithTheScriptedFailureClearedByTheNextStart) {
  TemporaryFolder folder;
  ModelFixture app;
  prepareTake(app, folder);
  app.sendText("/sim/fail_recording", "The disk is full.");
  app.sendInt("/record", 1);
  app.sendInt("/record", 0);
  EXPECT_EQ(app.read().failure, "");  // not before the movies are finished
  app.advance(0.5);
  EXPECT_EQ(app.read().state, "idle");
  EXPECT_EQ(app.read().failure, "The disk is full.");

  app.sendInt("/record", 1);
  EXPECT_EQ(app.read().failure, "");
  app.sendInt("/record", 0);
  app.advance(0.5);
  EXPECT_EQ(app.read().failure, "");
}

TEST(SimRecord, ignoresStopWhenNotRecordingAndRefusesASecondStart) {
  TemporaryFolder folder;
  ModelFixture app;
  prepareTake(app, folder);
  app.sendInt("/record", 0);
  EXPECT_EQ(app.read().state, "idle");
  EXPECT_EQ(app.read().error, "");

  app.sendInt("/record", 1);
  const auto file = app.read().assembledFile;
  app.advance(1);
  app.sendInt("/record", 1);
  EXPECT_EQ(app.read().state, "recording");
  EXPECT_EQ(app.read().error, "A recording is already in progress.");
  EXPECT_EQ(app.read().assembledFile, file);
  EXPECT_DOUBLE_EQ(app.read().elapsed, 1.0);

  app.sendInt("/record", 2);
  EXPECT_EQ(app.read().error, "/record takes 1 to start or 0 to stop.");
  app.sendInt("/record", 0);
  app.sendInt("/record", 0);  // while finishing: nothing more
  EXPECT_EQ(app.read().state, "finishing");
}

TEST(SimRecord, putsSoundWhereTheSoundAndOutputSettingsSay) {
  TemporaryFolder folder;
  ModelFixture app;
  prepareTake(app, folder);
  app.sendText("/output", "separate");
  app.sendText("/sound", "Computer");
  app.sendInt("/record", 1);
  app.advance(1.5);
  auto now = app.read();
  EXPECT_DOUBLE_EQ(now.slots[0].soundWritten, 1.5);  // Syphon: the Mac's
  EXPECT_DOUBLE_EQ(now.slots[1].soundWritten, 1.5);  // NDI: its own
  EXPECT_EQ(now.assembledFile, "");
  EXPECT_EQ(now.assembledFrames, 0);
  EXPECT_DOUBLE_EQ(now.soundWritten, 0);
  app.sendInt("/record", 0);
  app.advance(1);

  app.sendText("/output", "assembled");
  app.sendText("/sound", "stud");
  EXPECT_EQ(app.read().settings.sound, "STUDIO (Stage)");
  app.sendInt("/record", 1);
  app.advance(0.5);
  now = app.read();
  EXPECT_EQ(now.slots[0].file, "");
  EXPECT_EQ(now.slots[0].frames, 0);
  EXPECT_DOUBLE_EQ(now.slots[1].soundWritten, 0);  // it has no movie
  EXPECT_EQ(now.assembledFile, folder.file("Take.mov"));
  EXPECT_DOUBLE_EQ(now.soundWritten, 0.5);
}

TEST(SimRecord, cutsALongFinishShortWhenToldTo) {
  TemporaryFolder folder;
  ModelFixture app;
  prepareTake(app, folder);
  app.sendReal("/sim/finish_seconds", 60);
  app.sendInt("/record", 1);
  app.sendInt("/record", 0);
  app.advance(30);
  EXPECT_EQ(app.read().state, "finishing");
  app.sendReal("/sim/finish_seconds", 0);
  EXPECT_EQ(app.read().state, "idle");
}

TEST(SimRecord, resetRestoresTheStartingState) {
  TemporaryFolder folder;
  auto config = offering(defaultSources());
  config.faults.refused = {"gap"};
  ModelFixture app(config);
  prepareTake(app, folder);
  app.sendText("/codec", "hevc");
  app.sendText("/sim/refuse", "");
  app.sendText("/sim/http_fault", "hang");
  app.sendInt("/record", 1);
  app.sendText("/layout", "nonsense");

  app.sendInt("/sim/reset", 1);
  const auto now = app.read();
  EXPECT_EQ(now.state, "idle");
  EXPECT_EQ(now.error, "");
  EXPECT_TRUE(now.slots.empty());
  EXPECT_EQ(now.settings.codec, "h264");
  EXPECT_EQ(now.settings.name, "");
  EXPECT_EQ(now.settings.folder, defaultSettings().folder);
  EXPECT_EQ(now.faults.refused, std::set<std::string>{"gap"});
  EXPECT_EQ(now.faults.httpFault, HttpFault::none);
  EXPECT_DOUBLE_EQ(now.elapsed, 0);
  EXPECT_EQ(now.assembledFile, "");
}

}  // namespace
}  // namespace zindle::sim::testing
