#include "server/startup.hpp"

namespace zindle::server {

std::int64_t readPreferredPort(std::optional<std::string_view>) {
  return 9231;
}

}  // namespace zindle::server
