#include "sim/movie_names.hpp"

#include <algorithm>
#include <filesystem>

namespace zindle::sim {
namespace {

constexpr std::string_view kUnnamedPrefix = "ZindleRecorder ";
constexpr std::string_view kMovieExtension = ".mov";

}  // namespace

std::string unnamedRecording(std::string_view dateTime) {
  return std::string(kUnnamedPrefix) + std::string(dateTime);
}

std::string MovieNamer::reserve(const std::string& folder, std::string stem) {
  // A title may hold characters that would reach into another folder.
  std::replace(stem.begin(), stem.end(), '/', '-');
  std::replace(stem.begin(), stem.end(), ':', '-');
  const std::filesystem::path base(folder);
  for (int number = 1;; ++number) {
    auto file = stem;
    if (number > 1) {
      file += ' ';
      file += std::to_string(number);
    }
    file += kMovieExtension;
    const auto path = (base / file).string();
    std::error_code ignored;  // a path that cannot be examined counts as free
    if (!handedOut_.contains(path) && !std::filesystem::exists(path, ignored)) {
      handedOut_.insert(path);
      return path;
    }
  }
}

MoviePlan planMovies(MovieNamer& namer, const Settings& settings,
                     const std::vector<std::string>& titles,
                     std::string_view dateTime) {
  const auto name =
      settings.name.empty() ? unnamedRecording(dateTime) : settings.name;
  const bool sourceMovies = settings.writesSourceMovies();
  const bool assembledMovie = settings.writesAssembledMovie();
  const auto movies =
      (sourceMovies ? titles.size() : 0) + (assembledMovie ? 1 : 0);

  MoviePlan plan;
  if (assembledMovie) plan.assembledFile = namer.reserve(settings.folder, name);
  for (const auto& title : titles) {
    if (!sourceMovies) {
      plan.sourceFiles.emplace_back();
    } else if (movies == 1) {
      plan.sourceFiles.push_back(namer.reserve(settings.folder, name));
    } else {
      plan.sourceFiles.push_back(
          namer.reserve(settings.folder, name + " " + title));
    }
  }
  return plan;
}

}  // namespace zindle::sim
