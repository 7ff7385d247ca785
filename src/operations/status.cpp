#include "operations/status.hpp"

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "link/app_paths.hpp"
#include "operations/settings_table.hpp"

namespace zindle::operations {
namespace {

enum class Rule { asIs, flag };

// One member of an object of the dictionary and the path it is read from.
struct Member {
  std::string_view key;
  std::string_view path;
  Rule rule = Rule::asIs;
};

// Below "/status/source/<n>/". The segment of soundWritten is all lower case
// in the app, unlike the key.
constexpr Member kSourceMembers[] = {
    {"kind", "kind"},
    {"online", "online", Rule::flag},
    {"width", "width"},
    {"height", "height"},
    {"fps", "fps"},
    {"file", "file"},
    {"frames", "frames"},
    {"dropped", "dropped"},
    {"sound", "sound", Rule::flag},
    {"soundWritten", "soundwritten"},
};

// The assembled movie's seconds of sound stand outside its own branch.
constexpr Member kAssembledMembers[] = {
    {"width", "/status/assembled/width"},
    {"height", "/status/assembled/height"},
    {"file", "/status/assembled/file"},
    {"frames", "/status/assembled/frames"},
    {"dropped", "/status/assembled/dropped"},
    {"soundWritten", "/status/sound/written"},
};

constexpr Member kTopMembers[] = {
    {"version", "/status/version"},
    {"ndi", "/status/ndi", Rule::flag},
    {"soundLeftOut", "/status/sound/leftout"},
    {"state", link::kStatePath},
    {"elapsed", "/status/elapsed"},
    {"dropped", "/status/dropped"},
    {kErrorKey, link::kErrorPath},
    {kFailureKey, "/status/failure"},
};

Json valueOf(const link::Reading& reading, std::string_view path, Rule rule) {
  const Json* value = reading.at(path);
  if (rule == Rule::flag) return isSet(value);
  return value == nullptr ? Json(nullptr) : *value;
}

template <std::size_t N>
Json objectOf(const link::Reading& reading, const Member (&members)[N],
              std::string_view prefix = {}) {
  Json object = Json::object();
  for (const Member& member : members) {
    std::string path(prefix);
    path += member.path;
    object[std::string(member.key)] = valueOf(reading, path, member.rule);
  }
  return object;
}

// The settings as the app holds them, each at its own address. The
// settings' sound is the app's choice ("computer", a title, ""), so it passes
// as is, unlike a source's sound; only the on-off settings are flags.
Json settingsOf(const link::Reading& reading) {
  Json object = Json::object();
  for (const Setting& setting : settingsTable()) {
    if (choosesSources(setting.kind)) continue;
    const Rule rule =
        setting.kind == SettingKind::onOff ? Rule::flag : Rule::asIs;
    object[std::string(setting.key)] =
        valueOf(reading, addressOf(setting.key), rule);
  }
  return object;
}

// The titles of `available` that are NDI sources: those that stand alone on
// a line of the app's list of NDI titles; empty lines are no title, and
// blanks are kept because a title may hold them. Only the titles offered
// are held, not every line of the list, which the app may make as long as
// its answer.
std::unordered_set<std::string_view> ndiTitles(const link::Reading& reading) {
  const std::vector<std::string>& available = reading.sources;
  std::unordered_set<std::string_view> titles;
  const Json* text = reading.at(link::kNdiTitlesPath);
  if (text == nullptr || !text->is_string()) return titles;
  const std::unordered_set<std::string_view> offered(available.begin(),
                                                     available.end());
  const std::string& lines = text->get_ref<const std::string&>();
  std::size_t begin = 0;
  while (begin <= lines.size()) {
    std::size_t end = lines.find('\n', begin);
    if (end == std::string::npos) end = lines.size();
    const std::string_view line(lines.data() + begin, end - begin);
    if (!line.empty() && offered.contains(line)) titles.insert(line);
    begin = end + 1;
  }
  return titles;
}

// An empty slot gets no entry but does not end the list: a source removed
// from the middle leaves a gap.
Json chosenSources(const link::Reading& reading) {
  Json entries = Json::array();
  for (std::size_t slot = 1; slot <= link::kSlotCount; ++slot) {
    const Json* title = reading.at(link::slotAddress(slot));
    if (title == nullptr || !title->is_string() ||
        title->get_ref<const std::string&>().empty()) {
      continue;
    }
    Json entry =
        objectOf(reading, kSourceMembers, link::slotStatusPrefix(slot));
    entry["place"] = slot;
    entry["title"] = *title;
    entries.push_back(std::move(entry));
  }
  return entries;
}

Json availableSources(const link::Reading& reading) {
  const std::unordered_set<std::string_view> ndi = ndiTitles(reading);
  Json entries = Json::array();
  for (const std::string& title : reading.sources) {
    const bool isNdi = ndi.contains(title);
    entries.push_back({{"title", title}, {"kind", isNdi ? "ndi" : "syphon"}});
  }
  return entries;
}

}  // namespace

bool isSet(const Json* value) {
  if (value == nullptr) return false;
  if (value->is_boolean()) return value->get<bool>();
  if (value->is_number_unsigned()) return value->get<std::uint64_t>() != 0;
  if (value->is_number_integer()) return value->get<std::int64_t>() != 0;
  if (value->is_number_float()) {
    const double number = value->get<double>();
    return std::isfinite(number) && number != 0 && std::trunc(number) == number;
  }
  return false;
}

Json statusFrom(const link::Reading& reading) {
  Json status = objectOf(reading, kTopMembers);
  status["sources"] = chosenSources(reading);
  status["sourcesAvailable"] = availableSources(reading);
  status["settings"] = settingsOf(reading);
  status["assembled"] = objectOf(reading, kAssembledMembers);
  return status;
}

}  // namespace zindle::operations

namespace zindle::link {

Json Recorder::status() const { return operations::statusFrom(read()); }

}  // namespace zindle::link
