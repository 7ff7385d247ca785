#include "server/catalogue.hpp"

namespace zindle::server {

std::span<const ToolEntry> toolEntries() { return {}; }

const Json& settingsProperties() {
  static const Json properties = Json::object();
  return properties;
}

const Json& tools() {
  static const Json list = Json::array();
  return list;
}

}  // namespace zindle::server
