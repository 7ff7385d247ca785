#include "operations/settings_table.hpp"

#include <array>

namespace zindle::operations {
namespace {

constexpr std::array<std::string_view, 4> kCodecs = {"h264", "hevc",
                                                     "prores422", "prores4444"};
constexpr std::array<std::string_view, 3> kOutputs = {"separate", "assembled",
                                                      "both"};
constexpr std::array<std::string_view, 4> kLayouts = {"row", "column", "grid",
                                                      "focus"};

// The descriptions are read by the model that calls the tools, and clients
// show them to people: the catalogue's test pins them word for word.
constexpr std::array<Setting, 14> kSettings = {{
    {"sources",
     SettingKind::titles,
     "The sources to record, in order: their titles, or part of them (see "
     "sourcesAvailable in recorder_status); they may be Syphon servers or "
     "NDI sources. Up to 8. Replaces those chosen.",
     {}},
    {"source",
     SettingKind::title,
     "One source (a Syphon server or an NDI source) to record, alone: the "
     "same as sources with one title",
     {}},
    {"codec", SettingKind::choice,
     "The same for every movie. prores4444 keeps transparency", kCodecs},
    {"fps",
     SettingKind::rate,
     "The most frames per second in the movie. 0: every frame of the source.",
     {}},
    {"bitrate",
     SettingKind::rate,
     "Megabits per second, for h264 and hevc. 0: chosen from the size and "
     "frame rate.",
     {}},
    {"output", SettingKind::choice,
     "What a recording writes. separate: one movie for each source, at its "
     "own size. assembled: one movie of all the sources in one picture. "
     "both: all of them.",
     kOutputs},
    {"layout", SettingKind::choice,
     "How the sources are assembled, in their order. row: side by side. "
     "column: stacked. grid: a mosaic. focus: the first large, the others in "
     "a column on its right.",
     kLayouts},
    {"gap",
     SettingKind::count,
     "Pixels between the sources in the assembled picture (black, or "
     "transparent with prores4444)",
     {}},
    {"width",
     SettingKind::count,
     "Width the assembled picture is fitted into. 0 (or a height of 0): the "
     "size the sources need (see assembled in recorder_status).",
     {}},
    {"height",
     SettingKind::count,
     "Height the assembled picture is fitted into. 0 (or a width of 0): the "
     "size the sources need.",
     {}},
    {"sound",
     SettingKind::sound,
     "What sound is recorded: \"computer\" for the sound played on this Mac "
     "(in the assembled movie when output is assembled or both, or in each "
     "Syphon source's movie when output is separate); the title of one of "
     "the sources chosen, or part of it, for the assembled movie; or empty "
     "for none (the default). Only NDI sources which send sound have any of "
     "their own (see sources[].sound in recorder_status), and an NDI "
     "source's own movie always has its own sound. Sound is 48 kHz stereo, "
     "AAC with h264 and hevc, linear PCM with prores422 and prores4444. Give "
     "a source's title after the sources, or together with them.",
     {}},
    {"performance",
     SettingKind::onOff,
     "Performance mode: while a recording is in progress, the picture in the "
     "app's window is shown ten times a second instead of at every frame, to "
     "leave the GPU to the movies' encoders. The movies are not affected. "
     "Off by default. Unlike the other settings it applies at once, also "
     "during a recording (through recorder_configure).",
     {}},
    {"folder",
     SettingKind::path,
     "Folder the movies are written to. It must exist.",
     {}},
    {"name",
     SettingKind::text,
     "Name of the recording, without extension: the assembled movie's. "
     "Empty: the app's name and the date. A source's own movie adds its "
     "source's title, unless it is the only movie. An existing file is never "
     "overwritten: a number is added.",
     {}},
}};

}  // namespace

std::span<const Setting> settingsTable() { return kSettings; }

std::string_view schemaType(SettingKind kind) {
  switch (kind) {
    case SettingKind::titles:
      return "array";
    case SettingKind::rate:
      return "number";
    case SettingKind::count:
      return "integer";
    case SettingKind::onOff:
      return "boolean";
    case SettingKind::title:
    case SettingKind::choice:
    case SettingKind::text:
    case SettingKind::path:
    case SettingKind::sound:
      break;
  }
  return "string";
}

std::string addressOf(std::string_view key) {
  std::string address("/");
  address += key;
  return address;
}

}  // namespace zindle::operations
