#include "server/dispatch.hpp"

#include "link/recorder.hpp"

namespace zindle::server {

Json callTool(const link::Services& services, std::string_view,
              const Json&) {
  link::Recorder::find(services);
  return Json::object();
}

}  // namespace zindle::server
