// Any bytes an app may answer for its namespace, through the parse, the walk,
// the status build and its text. The status always has its twelve members.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "link/json_text.hpp"
#include "link/recorder.hpp"
#include "operations/status.hpp"

using namespace zindle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  std::optional<Json> document =
      parseJson(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!document) return 0;
  link::Reading reading;
  link::walk(*document, reading);
  Json status = operations::statusFrom(reading);
  if (status.size() != 12 || status["settings"].size() != 12 ||
      status["assembled"].size() != 6 || status["sources"].size() > 8) {
    std::abort();
  }
  std::string text = json(status);
  if (text.empty()) std::abort();
  return 0;
}
