#include "sim/picture_layout.hpp"

#include <algorithm>
#include <cmath>

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

PictureSize row(const std::vector<PictureSize>& sources, std::int64_t gap) {
  PictureSize size{gaps(sources.size(), gap), highest(sources)};
  for (const auto& source : sources) size.width += source.width;
  return size;
}

PictureSize column(const std::vector<PictureSize>& sources, std::int64_t gap) {
  PictureSize size{widest(sources), gaps(sources.size(), gap)};
  for (const auto& source : sources) size.height += source.height;
  return size;
}

PictureSize grid(const std::vector<PictureSize>& sources, std::int64_t gap) {
  const auto count = sources.size();
  const auto columns = static_cast<std::size_t>(
      std::ceil(std::sqrt(static_cast<double>(count))));
  const auto rows = (count + columns - 1) / columns;
  return {
      static_cast<std::int64_t>(columns) * widest(sources) + gaps(columns, gap),
      static_cast<std::int64_t>(rows) * highest(sources) + gaps(rows, gap)};
}

PictureSize focus(const std::vector<PictureSize>& sources, std::int64_t gap) {
  const auto& first = sources.front();
  if (sources.size() == 1) return first;
  const std::vector<PictureSize> others(sources.begin() + 1, sources.end());
  // The column on the right is as high as the first source, so its cells
  // share that height once the gaps between them are taken out.
  const auto cellHeight =
      std::max<std::int64_t>(1, (first.height - gaps(others.size(), gap)) /
                                    static_cast<std::int64_t>(others.size()));
  std::int64_t columnWidth = 0;
  for (const auto& other : others) {
    const auto width = static_cast<std::int64_t>(std::llround(
        static_cast<double>(other.width) * static_cast<double>(cellHeight) /
        static_cast<double>(other.height)));
    columnWidth = std::max(columnWidth, width);
  }
  return {first.width + gap + columnWidth, first.height};
}

PictureSize fitted(PictureSize size, std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0 || size.width <= 0 || size.height <= 0) {
    return size;
  }
  const double scale =
      std::min(static_cast<double>(width) / static_cast<double>(size.width),
               static_cast<double>(height) / static_cast<double>(size.height));
  return {std::min(width, static_cast<std::int64_t>(std::llround(
                              static_cast<double>(size.width) * scale))),
          std::min(height, static_cast<std::int64_t>(std::llround(
                               static_cast<double>(size.height) * scale)))};
}

}  // namespace

PictureSize assembledSize(const std::vector<PictureSize>& sources,
                          std::string_view layout, std::int64_t gap,
                          std::int64_t fitWidth, std::int64_t fitHeight) {
  if (sources.empty()) return {};
  PictureSize size;
  if (layout == "column") {
    size = column(sources, gap);
  } else if (layout == "grid") {
    size = grid(sources, gap);
  } else if (layout == "focus") {
    size = focus(sources, gap);
  } else {
    size = row(sources, gap);
  }
  return fitted(size, fitWidth, fitHeight);
}

}  // namespace zindle::sim
