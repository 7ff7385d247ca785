#include "server/version.hpp"

namespace zindle::server {

// Given by the build, from the project's one version number.
std::string serverVersion() { return ZINDLE_VERSION; }

}  // namespace zindle::server
