#pragma once
// The tools the server offers: their wire names, the descriptions the
// model reads, their input schemas, and the operation each one runs.

#include <span>
#include <string_view>

#include "link/json_text.hpp"

namespace zindle::link {
class Recorder;
}

namespace zindle::server {

struct ToolEntry {
  std::string_view name;         // the wire name; changing it breaks clients
  std::string_view description;  // read by the model, so write it for a reader
  bool takesSettings;            // whether the schema lists the settings
  Json (*run)(const link::Recorder& recorder, const Json& arguments);
};

// The tools, in the order tools/list gives them.
std::span<const ToolEntry> toolEntries();

// The fourteen setting properties shared by recorder_configure and
// recorder_start. Built once; the reference lives for the whole process.
const Json& settingsProperties();

// The "tools" array of tools/list. Built once; lives for the whole process.
const Json& tools();

}  // namespace zindle::server
