#include "sim/saved_app.hpp"

#include <stdexcept>

#include "sim/state_file.hpp"

namespace zindle::sim {
namespace {

std::string contentsOf(const std::string& path) {
  auto text = readGivenFile(path);
  if (!text) {
    throw std::runtime_error("cannot read \"" + path +
                             "\": there is no such file");
  }
  return std::move(*text);
}

}  // namespace

SavedApp readSavedApp(const std::string& namespaceFile,
                      const std::string& hostInfoFile) {
  SavedApp saved;
  if (!namespaceFile.empty()) {
    saved.namespaceText = contentsOf(namespaceFile);
    saved.namespaceTree =
        nlohmann::json::parse(*saved.namespaceText, nullptr, false);
  }
  if (!hostInfoFile.empty()) saved.hostInfoText = contentsOf(hostInfoFile);
  return saved;
}

std::string hostInfoFor(std::string_view saved, int oscPort) {
  auto info = nlohmann::json::parse(saved, nullptr, false);
  if (!info.is_object() || !info.contains("OSC_PORT")) {
    return std::string(saved);
  }
  info["OSC_PORT"] = oscPort;
  return info.dump();
}

}  // namespace zindle::sim
