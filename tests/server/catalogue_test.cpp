#include "server/catalogue.hpp"

#include <gtest/gtest.h>

namespace zindle::server {
namespace {

constexpr std::string_view kStatusText =
    "The state of ZindleRecorder: its version (version: as 0.9, or dev when it "
    "is not run from its application); the sources chosen for recording, in "
    "order, with each one's kind (syphon or ndi) and what it delivers (online, "
    "size, frame rate) and its movie (file, frames written and dropped, sound: "
    "true if the source is sending sound, which only NDI sources do, and "
    "soundWritten: seconds of sound in its movie); the sources which can be "
    "chosen (sourcesAvailable: a list of {title, kind}, kind being syphon or "
    "ndi; it was a list of titles before NDI sources came); whether NDI is "
    "usable (ndi: false when NDI's library is not installed, which only leaves "
    "NDI sources out); the settings, among them what a recording writes "
    "(output: separate | assembled | both), what sound is recorded (sound: "
    "\"computer\", a source's title, or \"\"), how the sources are assembled "
    "(layout, gap, width, height) and whether the window's picture is held "
    "back while recording (performance); the assembled picture's size now and "
    "the assembled movie (assembled: width, height, file, frames, dropped, "
    "soundWritten: seconds of sound in it); the seconds of sound left out in "
    "all the movies because an encoder could not keep up (soundLeftOut; "
    "pictures are never delayed for sound); whether it is recording (state: "
    "idle | recording | finishing) and for how long; the last error (error: a "
    "refused message, a recording which could not start), and why the last "
    "recording ended if it failed (failure).";

constexpr std::string_view kConfigureText =
    "Changes the sources chosen and the settings; only what is given changes. "
    "Settings are saved by the app and apply to the next recording. The "
    "sources cannot be changed while recording. With output separate each "
    "source is recorded to its own movie, at its own size; with assembled the "
    "sources are recorded together in one movie, placed by layout in their "
    "order; with both, all of these. All the movies share one clock. A source "
    "which sends sound (an NDI source: its sound is true in recorder_status) "
    "is recorded with it in its own movie; the assembled movie takes the sound "
    "of the source named by sound, or the sound played on this Mac when sound "
    "is \"computer\" (which in separate mode goes to each Syphon source's "
    "movie), or none by default; the sound is 48 kHz stereo, AAC with h264 and "
    "hevc, linear PCM with ProRes. A movie which receives no sound has no "
    "sound track. Returns the status afterwards.";

constexpr std::string_view kStartText =
    "Starts recording the sources chosen: one movie (.mov) each, one assembled "
    "movie, or both, as output says. Sources and settings (sound included) can "
    "be given as for recorder_configure. Returns once the recording has "
    "started, with the path of each source's movie in sources[].file and of "
    "the assembled movie in assembled.file; fails with the reason if it could "
    "not start (no source chosen, folder missing, an assembled picture too "
    "large\u2026).";

constexpr std::string_view kStopText =
    "Stops the recording and waits for the movies to be finished. Returns the "
    "status: each movie's path, frames written and dropped in sources[] and in "
    "assembled, the duration in elapsed. A source which delivered no frame has "
    "no movie.";

Json tool(std::string_view name, std::string_view description,
          const Json& properties) {
  const Json schema = {{"type", "object"},
                       {"properties", properties},
                       {"additionalProperties", false}};
  return {
      {"name", name}, {"description", description}, {"inputSchema", schema}};
}

// The whole list compared as JSON: the order of the tools, of every enum,
// the literal false, and no "required" anywhere.
TEST(Catalogue, listsTheFourToolsWordForWord) {
  const struct {
    std::string_view name, type, description;
    Json choices = nullptr;  // the "enum", if any
  } kSettings[] = {
      {"sources", "array",
       "The sources to record, in order: their titles, or part of them (see "
       "sourcesAvailable in recorder_status); they may be Syphon servers or "
       "NDI sources. Up to 8. Replaces those chosen."},
      {"source", "string",
       "One source (a Syphon server or an NDI source) to record, alone: the "
       "same as sources with one title"},
      {"codec",
       "string",
       "The same for every movie. prores4444 keeps transparency",
       {"h264", "hevc", "prores422", "prores4444"}},
      {"fps", "number",
       "The most frames per second in the movie. 0: every frame of the "
       "source."},
      {"bitrate", "number",
       "Megabits per second, for h264 and hevc. 0: chosen from the size and "
       "frame rate."},
      {"folder", "string", "Folder the movies are written to. It must exist."},
      {"name", "string",
       "Name of the recording, without extension: the assembled movie's. "
       "Empty: the app's name and the date. A source's own movie adds its "
       "source's title, unless it is the only movie. An existing file is never "
       "overwritten: a number is added."},
      {"output",
       "string",
       "What a recording writes. separate: one movie for each source, at its "
       "own size. assembled: one movie of all the sources in one picture. "
       "both: all of them.",
       {"separate", "assembled", "both"}},
      {"layout",
       "string",
       "How the sources are assembled, in their order. row: side by side. "
       "column: stacked. grid: a mosaic. focus: the first large, the others in "
       "a column on its right.",
       {"row", "column", "grid", "focus"}},
      {"sound", "string",
       "What sound is recorded: \"computer\" for the sound played on this Mac "
       "(in the assembled movie when output is assembled or both, or in each "
       "Syphon source's movie when output is separate); the title of one of "
       "the sources chosen, or part of it, for the assembled movie; or empty "
       "for none (the default). Only NDI sources which send sound have any of "
       "their own (see sources[].sound in recorder_status), and an NDI "
       "source's own movie always has its own sound. Sound is 48 kHz stereo, "
       "AAC with h264 and hevc, linear PCM with prores422 and prores4444. Give "
       "a source's title after the sources, or together with them."},
      {"gap", "integer",
       "Pixels between the sources in the assembled picture (black, or "
       "transparent with prores4444)"},
      {"performance", "boolean",
       "Performance mode: while a recording is in progress, the picture in the "
       "app's window is shown ten times a second instead of at every frame, to "
       "leave the GPU to the movies' encoders. The movies are not affected. "
       "Off by default. Unlike the other settings it applies at once, also "
       "during a recording (through recorder_configure)."},
      {"width", "integer",
       "Width the assembled picture is fitted into. 0 (or a height of 0): the "
       "size the sources need (see assembled in recorder_status)."},
      {"height", "integer",
       "Height the assembled picture is fitted into. 0 (or a width of 0): the "
       "size the sources need."},
  };
  Json settings = Json::object();
  for (const auto& setting : kSettings) {
    Json& entry = settings[std::string(setting.name)] = {
        {"type", setting.type}, {"description", setting.description}};
    if (!setting.choices.is_null()) entry["enum"] = setting.choices;
  }
  settings["sources"]["items"] = {{"type", "string"}};
  EXPECT_EQ(tools(),
            Json::array({tool("recorder_status", kStatusText, Json::object()),
                         tool("recorder_configure", kConfigureText, settings),
                         tool("recorder_start", kStartText, settings),
                         tool("recorder_stop", kStopText, Json::object())}));
  // The lengths a client sees, in characters: the status is all ASCII, and
  // the start ends with one three-byte character, an ellipsis.
  EXPECT_EQ(kStatusText.size(), 1458u);
  EXPECT_EQ(kStartText.size(), 437u + 2);
}

}  // namespace
}  // namespace zindle::server
