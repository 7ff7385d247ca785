#include "sim/saved_app.hpp"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zindle::sim {
namespace {

std::string contentsOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (!in || !(text << in.rdbuf())) {
    throw std::runtime_error("cannot read \"" + path + "\"");
  }
  return std::move(text).str();
}

}  // namespace

SavedApp readSavedApp(const std::string& namespaceFile,
                      const std::string& hostInfoFile, int oscPort) {
  SavedApp saved;
  if (!namespaceFile.empty()) {
    saved.namespaceText = contentsOf(namespaceFile);
    saved.namespaceTree =
        nlohmann::json::parse(*saved.namespaceText, nullptr, false);
  }
  if (!hostInfoFile.empty()) {
    saved.hostInfoText = hostInfoFor(contentsOf(hostInfoFile), oscPort);
  }
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
