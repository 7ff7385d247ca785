#include "sim/picture_layout.hpp"

#include <gtest/gtest.h>

namespace zindle::sim {
namespace {

const std::vector<PictureSize> kThree = {{1920, 1080}, {1280, 720}, {640, 480}};

TEST(SimLayout, placesTheSourcesAsEachLayoutSays) {
  EXPECT_EQ(assembledSize(kThree, "row", 10, 0, 0), (PictureSize{3860, 1080}));
  EXPECT_EQ(assembledSize(kThree, "column", 10, 0, 0),
            (PictureSize{1920, 2300}));
  // Two columns of cells as large as the largest source, two rows.
  EXPECT_EQ(assembledSize(kThree, "grid", 10, 0, 0), (PictureSize{3850, 2170}));
  // The others share the first one's height: (1080 - 10) / 2 = 535 each,
  // the widest of them 1280 * 535 / 720 = 951.
  EXPECT_EQ(assembledSize(kThree, "focus", 10, 0, 0),
            (PictureSize{2881, 1080}));
}

TEST(SimLayout, growsTheGridByWholeRowsAndColumns) {
  const std::vector<PictureSize> five(5, {100, 50});
  EXPECT_EQ(assembledSize(five, "grid", 0, 0, 0), (PictureSize{300, 100}));
  const std::vector<PictureSize> four(4, {100, 50});
  EXPECT_EQ(assembledSize(four, "grid", 0, 0, 0), (PictureSize{200, 100}));
  const std::vector<PictureSize> one(1, {100, 50});
  EXPECT_EQ(assembledSize(one, "grid", 7, 0, 0), (PictureSize{100, 50}));
  EXPECT_EQ(assembledSize(one, "focus", 7, 0, 0), (PictureSize{100, 50}));
}

TEST(SimLayout, fitsIntoTheBoxOnlyWhenBothSidesAreSet) {
  const std::vector<PictureSize> two = {{1920, 1080}, {1280, 1080}};
  EXPECT_EQ(assembledSize(two, "row", 0, 1600, 1600), (PictureSize{1600, 540}));
  EXPECT_EQ(assembledSize(two, "row", 0, 6400, 2160),
            (PictureSize{6400, 2160}));
  EXPECT_EQ(assembledSize(two, "row", 0, 1600, 0), (PictureSize{3200, 1080}));
  EXPECT_EQ(assembledSize(two, "row", 0, 0, 500), (PictureSize{3200, 1080}));
}

TEST(SimLayout, isEmptyWithoutSources) {
  EXPECT_EQ(assembledSize({}, "grid", 10, 1920, 1080), (PictureSize{0, 0}));
}

}  // namespace
}  // namespace zindle::sim
