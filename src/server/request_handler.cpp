#include "server/request_handler.hpp"

namespace zindle::server {

std::optional<Json> handleLine(std::string_view, const ToolCaller&) {
  return std::nullopt;
}

void serve(const std::function<std::size_t(char*, std::size_t)>&,
           const std::function<bool(std::string_view)>&, const ToolCaller&) {}

}  // namespace zindle::server
