#pragma once

// The paths of the movies a recording writes, following the app's naming
// rules for the name setting. The simulator writes no movie, so it keeps the
// paths it handed out to avoid handing one out twice.

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sim/settings.hpp"

namespace zindle::sim {

// The name of a recording whose name setting is empty: the app's name and
// the date, as "ZindleRecorder 2024-05-01 14.03.22" for `dateTime`
// "2024-05-01 14.03.22".
std::string unnamedRecording(std::string_view dateTime);

class MovieNamer {
 public:
  // A new path "<folder>/<stem>.mov". When a file exists there, or the path
  // was handed out before, a number is added: "<stem> 2.mov", "<stem> 3.mov"
  // and so on. Slashes and colons in `stem` become hyphens.
  std::string reserve(const std::string& folder, std::string stem);

 private:
  std::set<std::string> handedOut_;
};

struct MoviePlan {
  std::vector<std::string> sourceFiles;  // by slot; "" when none is written
  std::string assembledFile;             // "" when none is written
};

// The movies of a recording of the sources titled `titles` (in slot order)
// with `settings`: the assembled movie is "<folder>/<name>.mov", a source's
// own movie "<folder>/<name> <title>.mov", or "<folder>/<name>.mov" when it
// is the only movie. The output setting says which are written.
MoviePlan planMovies(MovieNamer& namer, const Settings& settings,
                     const std::vector<std::string>& titles,
                     std::string_view dateTime);

}  // namespace zindle::sim
