#pragma once

// The assembled picture: the chosen sources placed by the layout setting,
// with the gap between them, and fitted into the width and height settings
// when both are set.

#include <cstdint>
#include <string_view>
#include <vector>

namespace zindle::sim {

struct PictureSize {
  std::int64_t width = 0;
  std::int64_t height = 0;

  bool operator==(const PictureSize&) const = default;
};

// Where one source is drawn in the assembled picture, in its pixels from the
// top left corner.
struct PicturePlace {
  std::int64_t x = 0;
  std::int64_t y = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;

  bool operator==(const PicturePlace&) const = default;
};

struct AssembledPicture {
  PictureSize size;
  std::vector<PicturePlace> places;  // one a source, in slot order
};

// The assembled picture of `sources` (their sizes, in slot order):
// - "row": side by side, as high as the highest, each centred in that
//   height;
// - "column": stacked, as wide as the widest, each centred in that width;
// - "grid": ceil(sqrt(n)) columns and as many rows as needed, each cell as
//   large as the largest source in each direction, each source centred in
//   its cell, filled row by row;
// - "focus": the first at its own size, the others in one column on its
//   right, each scaled to share the first one's height (gaps included) and
//   centred in the column, which is as wide as the widest of them;
// with `gap` pixels between neighbours. When `fitWidth` and `fitHeight` are
// both above 0 the whole is scaled, keeping its aspect ratio, to the largest
// size that fits in them. No source gives 0 x 0 and no place. An unknown
// layout counts as "row".
AssembledPicture assembledPicture(const std::vector<PictureSize>& sources,
                                  std::string_view layout, std::int64_t gap,
                                  std::int64_t fitWidth,
                                  std::int64_t fitHeight);

}  // namespace zindle::sim
