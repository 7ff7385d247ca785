#include "server/dispatch.hpp"

#include <string>

#include "link/recorder.hpp"
#include "server/catalogue.hpp"

namespace zindle::server {
namespace {

const ToolEntry* findEntry(std::string_view name) {
  for (const ToolEntry& entry : toolEntries()) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

}  // namespace

Json callTool(const link::Services& services, std::string_view name,
              const Json& arguments) {
  // The app is found before the name is looked at, so a client that
  // misspells a tool while the app is down hears about the app first.
  const link::Recorder recorder = link::Recorder::find(services);
  const ToolEntry* entry = findEntry(name);
  if (entry == nullptr) {
    throw RecorderError::badArguments("unknown tool " + std::string(name));
  }
  const Json status = entry->run(recorder, arguments);
  Json text = {{"type", "text"}, {"text", prettyJson(status)}};
  return {{"content", Json::array({std::move(text)})}, {"isError", false}};
}

}  // namespace zindle::server
