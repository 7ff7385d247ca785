#include "server/output.hpp"

namespace zindle::server {

bool writeAll(int, std::string_view) { return true; }

bool send(const Json&, const Writer&) { return true; }

}  // namespace zindle::server
