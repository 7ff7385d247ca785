#include "sim/take.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zindle::sim {
namespace {

constexpr std::string_view kComputerSound = "computer";

double limited(double rate, double fpsSetting) {
  return fpsSetting > 0 ? std::min(rate, fpsSetting) : rate;
}

}  // namespace

Take planTake(MovieNamer& namer, const Settings& settings,
              const std::vector<Source>& chosen, std::string_view dateTime) {
  std::vector<std::string> titles;
  for (const auto& source : chosen) titles.push_back(source.title);
  const auto plan = planMovies(namer, settings, titles, dateTime);

  const bool computerSound = settings.sound == kComputerSound;
  Take take;
  double fastest = 0;
  for (std::size_t slot = 0; slot < chosen.size(); ++slot) {
    const auto& source = chosen[slot];
    fastest = std::max(fastest, source.fps);
    TakeSource movie{source.title, plan.sourceFiles[slot],
                     limited(source.fps, settings.fps), false};
    movie.sound =
        !movie.file.empty() &&
        (source.isNdi() ? source.sound
                        : computerSound && settings.output == "separate");
    take.sources.push_back(std::move(movie));
  }
  take.assembledFile = plan.assembledFile;
  take.assembledRate = limited(fastest, settings.fps);
  take.assembledSound =
      !take.assembledFile.empty() &&
      (computerSound ||
       std::find(titles.begin(), titles.end(), settings.sound) != titles.end());
  return take;
}

std::int64_t framesWritten(double seconds, double rate) {
  // A little slack so that 0.7 s at 30 fps gives 21 frames, not 20 from the
  // product's rounding error.
  const double frames = std::floor(seconds * rate + 1e-6);
  // A count that no 64-bit number holds stops at the largest one.
  constexpr double kPastLargest = 0x1p63;
  if (!(frames < kPastLargest)) return std::numeric_limits<std::int64_t>::max();
  return frames > 0 ? static_cast<std::int64_t>(frames) : 0;
}

}  // namespace zindle::sim
