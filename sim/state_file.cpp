#include "sim/state_file.hpp"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "sim/given_file.hpp"

namespace zindle::sim {
namespace {

constexpr const char* kSettingsKey = "settings";
constexpr const char* kSourcesKey = "sources";

}  // namespace

std::optional<StoredState> loadState(const std::string& path) {
  const auto text = readGivenFile(path);
  if (!text) return std::nullopt;
  const auto document = nlohmann::json::parse(*text, nullptr, false);
  const auto fail = [&path] {
    return std::runtime_error("the state file " + path +
                              " does not hold the simulator's state");
  };
  if (!document.is_object()) throw fail();
  StoredState state;
  if (document.contains(kSettingsKey)) {
    if (!document[kSettingsKey].is_object()) throw fail();
    state.settings = document[kSettingsKey];
  }
  if (document.contains(kSourcesKey)) {
    const auto& sources = document[kSourcesKey];
    if (!sources.is_array()) throw fail();
    for (const auto& title : sources) {
      if (!title.is_string()) throw fail();
      state.sources.push_back(title.get<std::string>());
    }
  }
  return state;
}

void saveState(const std::string& path, const Settings& settings,
               const std::vector<std::string>& sources) {
  nlohmann::json document;
  for (const auto& setting : kSettings) {
    document[kSettingsKey][std::string(setting.key)] =
        settingValue(settings, setting.key);
  }
  document[kSourcesKey] = sources;
  const auto temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << document.dump(2, ' ', false,
                         nlohmann::json::error_handler_t::replace)
        << '\n';
    if (!out) throw std::runtime_error("cannot write " + temporary);
  }
  std::error_code failed;
  std::filesystem::rename(temporary, path, failed);
  if (failed) {
    throw std::runtime_error("cannot replace " + path + ": " +
                             failed.message());
  }
}

}  // namespace zindle::sim
