#include "server/version.hpp"

namespace zindle::server {

std::string serverVersion() { return "dev"; }

std::optional<std::string> bundleVersion(std::string_view) {
  return std::nullopt;
}

}  // namespace zindle::server
