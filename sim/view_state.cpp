#include "sim/view_state.hpp"

#include <algorithm>
#include <chrono>

namespace zindle::sim {
namespace {

using nlohmann::json;

json chosenSource(const SlotStatus& slot, std::size_t index,
                  const PicturePlace& place) {
  return {{"place", index + 1},
          {"title", slot.title},
          {"kind", slot.kind},
          {"width", slot.width},
          {"height", slot.height},
          {"fps", slot.fps},
          {"online", slot.online},
          {"sound", slot.sound},
          {"file", slot.file},
          {"frames", slot.frames},
          {"dropped", slot.dropped},
          {"box",
           {{"x", place.x},
            {"y", place.y},
            {"width", place.width},
            {"height", place.height}}}};
}

// The offered sources no slot holds, in the order the app lists them.
json otherSources(const Snapshot& now, const std::vector<Source>& catalog) {
  json others = json::array();
  for (const auto& title : now.offeredTitles) {
    const auto isChosen = std::any_of(
        now.slots.begin(), now.slots.end(),
        [&title](const SlotStatus& slot) { return slot.title == title; });
    const auto source =
        std::find_if(catalog.begin(), catalog.end(),
                     [&title](const Source& s) { return s.title == title; });
    if (isChosen || source == catalog.end()) continue;
    others.push_back({{"title", source->title},
                      {"kind", source->kind},
                      {"width", source->width},
                      {"height", source->height},
                      {"fps", source->fps},
                      {"sound", source->sound}});
  }
  return others;
}

json argumentValue(const OscArgument& argument) {
  if (const auto* integer = std::get_if<std::int64_t>(&argument.value)) {
    return *integer;
  }
  if (const auto* real = std::get_if<double>(&argument.value)) return *real;
  if (const auto text = textOf(argument)) return *text;
  return nullptr;
}

json receivedMessage(const ReceivedMessage& received) {
  std::string types;
  json arguments = json::array();
  for (const auto& argument : received.message.arguments) {
    types += argument.tag;
    arguments.push_back(argumentValue(argument));
  }
  const auto time = std::chrono::duration_cast<std::chrono::milliseconds>(
      received.at.time_since_epoch());
  return {{"number", received.number},
          {"time", time.count()},
          {"address", received.message.address},
          {"types", types},
          {"arguments", std::move(arguments)}};
}

}  // namespace

json viewState(const Snapshot& now, const std::vector<Source>& catalog,
               const std::vector<ReceivedMessage>& messages) {
  json settings = json::object();
  for (const auto& setting : kSettings) {
    settings[std::string(setting.key)] =
        settingValue(now.settings, setting.key);
  }
  json chosen = json::array();
  for (std::size_t index = 0; index < now.slots.size(); ++index) {
    // The model places every chosen source: one place a slot.
    chosen.push_back(chosenSource(now.slots[index], index, now.places[index]));
  }
  json received = json::array();
  for (const auto& message : messages) {
    received.push_back(receivedMessage(message));
  }
  return {{"state", now.state},
          {"elapsed", now.elapsed},
          {"error", now.error},
          {"failure", now.failure},
          {"settings", std::move(settings)},
          {"assembled",
           {{"width", now.assembled.width},
            {"height", now.assembled.height},
            {"file", now.assembledFile},
            {"frames", now.assembledFrames},
            {"dropped", now.assembledDropped}}},
          {"chosen", std::move(chosen)},
          {"others", otherSources(now, catalog)},
          {"messages", std::move(received)}};
}

}  // namespace zindle::sim
