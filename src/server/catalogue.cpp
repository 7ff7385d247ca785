#include "server/catalogue.hpp"

#include <array>

#include "link/recorder.hpp"
#include "operations/settings_table.hpp"

namespace zindle::server {
namespace {

// The texts below are read by the model that calls the tools, and clients
// show them to people: each is pinned word for word by a test. The settings'
// own are in the settings table.

constexpr std::string_view kStatusDescription =
    "The state of ZindleRecorder: its version (version: as 0.9, or dev when "
    "it is not run from its application); the sources chosen for recording, "
    "in order, with each one's kind (syphon or ndi) and what it delivers "
    "(online, size, frame rate) and its movie (file, frames written and "
    "dropped, sound: true if the source is sending sound, which only NDI "
    "sources do, and soundWritten: seconds of sound in its movie); the "
    "sources which can be chosen (sourcesAvailable: a list of {title, kind}, "
    "kind being syphon or ndi; it was a list of titles before NDI sources "
    "came); whether NDI is usable (ndi: false when NDI's library is not "
    "installed, which only leaves NDI sources out); the settings, among them "
    "what a recording writes (output: separate | assembled | both), what "
    "sound is recorded (sound: \"computer\", a source's title, or \"\"), how "
    "the sources are assembled (layout, gap, width, height) and whether the "
    "window's picture is held back while recording (performance); the "
    "assembled picture's size now and the assembled movie (assembled: width, "
    "height, file, frames, dropped, soundWritten: seconds of sound in it); "
    "the seconds of sound left out in all the movies because an encoder could "
    "not keep up (soundLeftOut; pictures are never delayed for sound); "
    "whether it is recording (state: idle | recording | finishing) and for "
    "how long; the last error (error: a refused message, a recording which "
    "could not start), and why the last recording ended if it failed "
    "(failure).";

constexpr std::string_view kConfigureDescription =
    "Changes the sources chosen and the settings; only what is given changes. "
    "Settings are saved by the app and apply to the next recording. The "
    "sources cannot be changed while recording. With output separate each "
    "source is recorded to its own movie, at its own size; with assembled the "
    "sources are recorded together in one movie, placed by layout in their "
    "order; with both, all of these. All the movies share one clock. A source "
    "which sends sound (an NDI source: its sound is true in recorder_status) "
    "is recorded with it in its own movie; the assembled movie takes the "
    "sound of the source named by sound, or the sound played on this Mac when "
    "sound is \"computer\" (which in separate mode goes to each Syphon "
    "source's movie), or none by default; the sound is 48 kHz stereo, AAC "
    "with h264 and hevc, linear PCM with ProRes. A movie which receives no "
    "sound has no sound track. Returns the status afterwards.";

constexpr std::string_view kStartDescription =
    "Starts recording the sources chosen: one movie (.mov) each, one "
    "assembled movie, or both, as output says. Sources and settings (sound "
    "included) can be given as for recorder_configure. Returns once the "
    "recording has started, with the path of each source's movie in "
    "sources[].file and of the assembled movie in assembled.file; fails with "
    "the reason if it could not start (no source chosen, folder missing, an "
    "assembled picture too large\u2026).";

constexpr std::string_view kStopDescription =
    "Stops the recording and waits for the movies to be finished. Returns the "
    "status: each movie's path, frames written and dropped in sources[] and "
    "in assembled, the duration in elapsed. A source which delivered no frame "
    "has no movie.";

Json runStatus(const link::Recorder& recorder, const Json&) {
  return recorder.status();
}

Json runConfigure(const link::Recorder& recorder, const Json& arguments) {
  return recorder.configureTool(arguments);
}

Json runStart(const link::Recorder& recorder, const Json& arguments) {
  return recorder.start(arguments);
}

Json runStop(const link::Recorder& recorder, const Json&) {
  return recorder.stop();
}

constexpr std::array<ToolEntry, 4> kToolEntries = {{
    {"recorder_status", kStatusDescription, false, runStatus},
    {"recorder_configure", kConfigureDescription, true, runConfigure},
    {"recorder_start", kStartDescription, true, runStart},
    {"recorder_stop", kStopDescription, false, runStop},
}};

Json describe(const operations::Setting& setting) {
  Json property = {{"type", operations::schemaType(setting.kind)},
                   {"description", setting.description}};
  if (setting.kind == operations::SettingKind::titles) {
    property["items"] = {{"type", "string"}};
  }
  if (!setting.choices.empty()) {
    Json choices = Json::array();
    for (std::string_view choice : setting.choices) choices.push_back(choice);
    property["enum"] = std::move(choices);
  }
  return property;
}

Json describe(const ToolEntry& entry) {
  // No "required": every argument is optional, and only what is given
  // changes.
  Json schema = {{"type", "object"},
                 {"properties",
                  entry.takesSettings ? settingsProperties() : Json::object()},
                 {"additionalProperties", false}};
  return {{"name", entry.name},
          {"description", entry.description},
          {"inputSchema", std::move(schema)}};
}

}  // namespace

std::span<const ToolEntry> toolEntries() { return kToolEntries; }

const Json& settingsProperties() {
  static const Json properties = [] {
    Json built = Json::object();
    for (const operations::Setting& setting : operations::settingsTable()) {
      built[std::string(setting.key)] = describe(setting);
    }
    return built;
  }();
  return properties;
}

const Json& tools() {
  static const Json list = [] {
    Json built = Json::array();
    for (const ToolEntry& entry : kToolEntries)
      built.push_back(describe(entry));
    return built;
  }();
  return list;
}

}  // namespace zindle::server
