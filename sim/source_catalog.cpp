#include "sim/source_catalog.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace zindle::sim {
namespace {

// The largest picture a source may announce; the app's own limit for the
// assembled picture, so that one source alone always fits.
constexpr int kLargestSide = 16384;
// The fastest frame rate a source may announce: past any screen's refresh
// and any NDI source's rate, and slow enough that a recording of centuries
// still counts its frames exactly.
constexpr double kFastestRate = 1000;

// Splits off the last ':'-separated field of `rest`; throws when none is left.
std::string_view takeLastField(std::string_view& rest, std::string_view given) {
  const auto colon = rest.rfind(':');
  if (colon == std::string_view::npos) {
    throw std::invalid_argument("source \"" + std::string(given) +
                                "\" is not Title:kind:WIDTHxHEIGHT@FPS");
  }
  const auto field = rest.substr(colon + 1);
  rest = rest.substr(0, colon);
  return field;
}

bool readNumber(std::string_view text, int& number) {
  if (text.empty()) return false;
  const auto* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  return error == std::errc() && stop == end;
}

// strtod rather than from_chars: the floating-point overloads are missing
// from some standard libraries of the Macs the simulator ships for.
bool readNumber(std::string_view text, double& number) {
  if (text.empty() || text.front() == ' ') return false;
  const std::string copy(text);
  char* stop = nullptr;
  number = std::strtod(copy.c_str(), &stop);
  return stop == copy.c_str() + copy.size();
}

void readPicture(std::string_view field, std::string_view given,
                 Source& source) {
  const auto times = field.find('x');
  const auto at = field.find('@');
  const bool read =
      times != std::string_view::npos && at != std::string_view::npos &&
      times < at && readNumber(field.substr(0, times), source.width) &&
      readNumber(field.substr(times + 1, at - times - 1), source.height) &&
      readNumber(field.substr(at + 1), source.fps);
  if (!read || source.width < 1 || source.height < 1 ||
      source.width > kLargestSide || source.height > kLargestSide ||
      !(source.fps > 0 && source.fps <= kFastestRate)) {
    throw std::invalid_argument(
        "source \"" + std::string(given) + "\" needs a picture such as " +
        "1920x1080@30 (sides 1 to 16384, a frame rate above 0 and at most " +
        "1000)");
  }
}

}  // namespace

Source parseSource(std::string_view given) {
  Source source;
  std::string_view rest = given;
  auto field = takeLastField(rest, given);
  if (field == "sound") {
    source.sound = true;
    field = takeLastField(rest, given);
  }
  readPicture(field, given, source);
  source.kind = std::string(takeLastField(rest, given));
  if (source.kind != kSyphon && source.kind != kNdi) {
    throw std::invalid_argument("source \"" + std::string(given) +
                                "\" has the kind \"" + source.kind +
                                "\"; it must be syphon or ndi");
  }
  if (source.sound && !source.isNdi()) {
    throw std::invalid_argument("source \"" + std::string(given) +
                                "\": only NDI sources send sound");
  }
  if (rest.empty()) {
    throw std::invalid_argument("source \"" + std::string(given) +
                                "\" has no title");
  }
  source.title = std::string(rest);
  return source;
}

std::vector<Source> defaultSources() {
  return {
      {"Main Camera", std::string(kSyphon), 1920, 1080, 30, false},
      {"Screen", std::string(kSyphon), 2560, 1440, 60, false},
      {"STUDIO (Stage)", std::string(kNdi), 1280, 720, 25, true},
  };
}

}  // namespace zindle::sim
