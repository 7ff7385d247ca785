#include "sim/picture_layout.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zindle::sim {
namespace {

std::int64_t widest(const std::vector<PictureSize>& sources) {
  std::int64_t result = 0;
  for (const auto& source : sources) result = std::max(result, source.width);
  return result;
}

std::int64_t highest(const std::vector<PictureSize>& sources) {
  std::int64_t result = 0;
  for (const auto& source : sources) result = std::max(result, source.height);
  return result;
}

std::int64_t gaps(std::size_t count, std::int64_t gap) {
  return count > 1 ? static_cast<std::int64_t>(count - 1) * gap : 0;
}

AssembledPicture row(const std::vector<PictureSize>& sources,
                     std::int64_t gap) {
  AssembledPicture picture{{0, highest(sources)}, {}};
  std::int64_t x = 0;
  for (const auto& source : sources) {
    picture.places.push_back({x, (picture.size.height - source.height) / 2,
                              source.width, source.height});
    x += source.width + gap;
  }
  picture.size.width = x - gap;
  return picture;
}

// A column is a row turned on its diagonal.
AssembledPicture column(const std::vector<PictureSize>& sources,
                        std::int64_t gap) {
  std::vector<PictureSize> turned;
  for (const auto& source : sources) {
    turned.push_back({source.height, source.width});
  }
  auto picture = row(turned, gap);
  std::swap(picture.size.width, picture.size.height);
  for (auto& place : picture.places) {
    std::swap(place.x, place.y);
    std::swap(place.width, place.height);
  }
  return picture;
}

AssembledPicture grid(const std::vector<PictureSize>& sources,
                      std::int64_t gap) {
  const auto count = sources.size();
  const auto columns = static_cast<std::size_t>(
      std::ceil(std::sqrt(static_cast<double>(count))));
  const auto rows = (count + columns - 1) / columns;
  const PictureSize cell{widest(sources), highest(sources)};
  AssembledPicture picture{
      {static_cast<std::int64_t>(columns) * cell.width + gaps(columns, gap),
       static_cast<std::int64_t>(rows) * cell.height + gaps(rows, gap)},
      {}};
  for (std::size_t index = 0; index < count; ++index) {
    const auto& source = sources[index];
    const auto across = static_cast<std::int64_t>(index % columns);
    const auto down = static_cast<std::int64_t>(index / columns);
    picture.places.push_back(
        {across * (cell.width + gap) + (cell.width - source.width) / 2,
         down * (cell.height + gap) + (cell.height - source.height) / 2,
         source.width, source.height});
  }
  return picture;
}

AssembledPicture focus(const std::vector<PictureSize>& sources,
                       std::int64_t gap) {
  const auto& first = sources.front();
  AssembledPicture picture{first, {{0, 0, first.width, first.height}}};
  if (sources.size() == 1) return picture;
  const std::vector<PictureSize> others(sources.begin() + 1, sources.end());
  // The column on the right is as high as the first source, so its cells
  // share that height once the gaps between them are taken out.
  const auto cellHeight =
      std::max<std::int64_t>(1, (first.height - gaps(others.size(), gap)) /
                                    static_cast<std::int64_t>(others.size()));
  std::vector<std::int64_t> widths;
  for (const auto& other : others) {
    widths.push_back(std::llround(static_cast<double>(other.width) *
                                  static_cast<double>(cellHeight) /
                                  static_cast<double>(other.height)));
  }
  const auto columnWidth = *std::max_element(widths.begin(), widths.end());
  const auto columnLeft = first.width + gap;
  for (std::size_t index = 0; index < widths.size(); ++index) {
    picture.places.push_back(
        {columnLeft + (columnWidth - widths[index]) / 2,
         static_cast<std::int64_t>(index) * (cellHeight + gap), widths[index],
         cellHeight});
  }
  picture.size.width = columnLeft + columnWidth;
  return picture;
}

AssembledPicture fitted(AssembledPicture picture, std::int64_t width,
                        std::int64_t height) {
  auto& size = picture.size;
  if (width <= 0 || height <= 0 || size.width <= 0 || size.height <= 0) {
    return picture;
  }
  const double scale =
      std::min(static_cast<double>(width) / static_cast<double>(size.width),
               static_cast<double>(height) / static_cast<double>(size.height));
  const auto scaled = [scale](std::int64_t length) {
    return static_cast<std::int64_t>(
        std::llround(static_cast<double>(length) * scale));
  };
  size = {std::min(width, scaled(size.width)),
          std::min(height, scaled(size.height))};
  for (auto& place : picture.places) {
    place = {scaled(place.x), scaled(place.y), scaled(place.width),
             scaled(place.height)};
  }
  return picture;
}

}  // namespace

AssembledPicture assembledPicture(const std::vector<PictureSize>& sources,
                                  std::string_view layout, std::int64_t gap,
                                  std::int64_t fitWidth,
                                  std::int64_t fitHeight) {
  if (sources.empty()) return {};
  AssembledPicture picture;
  if (layout == "column") {
    picture = column(sources, gap);
  } else if (layout == "grid") {
    picture = grid(sources, gap);
  } else if (layout == "focus") {
    picture = focus(sources, gap);
  } else {
    picture = row(sources, gap);
  }
  return fitted(std::move(picture), fitWidth, fitHeight);
}

}  // namespace zindle::sim
