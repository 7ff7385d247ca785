#include "sim/movie_names.hpp"

#include <fstream>

#include <gtest/gtest.h>

#include "temporary_folder.hpp"

namespace zindle::sim::testing {
namespace {

Settings settingsFor(const TemporaryFolder& folder, std::string name,
                     std::string output) {
  Settings settings;
  settings.folder = folder.string();
  settings.name = std::move(name);
  settings.output = std::move(output);
  return settings;
}

TEST(SimMovieNames, namesSourceMoviesAfterTheirTitlesUnlessOnlyOne) {
  TemporaryFolder folder;
  MovieNamer namer;
  auto plan = planMovies(namer, settingsFor(folder, "Take", "both"),
                         {"Camera", "Screen"}, "2024-05-01 14.03.22");
  EXPECT_EQ(plan.assembledFile, folder.file("Take.mov"));
  EXPECT_EQ(plan.sourceFiles,
            (std::vector<std::string>{folder.file("Take Camera.mov"),
                                      folder.file("Take Screen.mov")}));

  plan = planMovies(namer, settingsFor(folder, "Solo", "separate"), {"Camera"},
                    "");
  EXPECT_EQ(plan.assembledFile, "");
  EXPECT_EQ(plan.sourceFiles,
            std::vector<std::string>{folder.file("Solo.mov")});

  plan = planMovies(namer, settingsFor(folder, "Both", "both"), {"Camera"}, "");
  EXPECT_EQ(plan.sourceFiles,
            std::vector<std::string>{folder.file("Both Camera.mov")});

  plan = planMovies(namer, settingsFor(folder, "Mix", "assembled"),
                    {"Camera", "Screen"}, "");
  EXPECT_EQ(plan.assembledFile, folder.file("Mix.mov"));
  EXPECT_EQ(plan.sourceFiles, (std::vector<std::string>{"", ""}));
}

TEST(SimMovieNames, neverHandsOutAnExistingFileOrTheSamePathTwice) {
  TemporaryFolder folder;
  std::ofstream(folder.file("Take.mov")) << "an earlier movie";
  MovieNamer namer;
  const auto settings = settingsFor(folder, "Take", "both");
  auto plan = planMovies(namer, settings, {"Camera"}, "");
  EXPECT_EQ(plan.assembledFile, folder.file("Take 2.mov"));
  EXPECT_EQ(plan.sourceFiles[0], folder.file("Take Camera.mov"));

  plan = planMovies(namer, settings, {"Camera"}, "");
  EXPECT_EQ(plan.assembledFile, folder.file("Take 3.mov"));
  EXPECT_EQ(plan.sourceFiles[0], folder.file("Take Camera 2.mov"));
}

TEST(SimMovieNames, namesAnUnnamedRecordingAfterTheAppAndTheDate) {
  TemporaryFolder folder;
  MovieNamer namer;
  const auto plan = planMovies(namer, settingsFor(folder, "", "both"),
                               {"Cam/Left: 1"}, "2024-05-01 14.03.22");
  EXPECT_EQ(plan.assembledFile,
            folder.file("ZindleRecorder 2024-05-01 14.03.22.mov"));
  // A slash or colon in a title would reach outside the folder.
  EXPECT_EQ(plan.sourceFiles[0],
            folder.file("ZindleRecorder 2024-05-01 14.03.22 Cam-Left- 1.mov"));
}

}  // namespace
}  // namespace zindle::sim::testing
