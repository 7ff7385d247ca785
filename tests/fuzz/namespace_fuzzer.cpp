// Any bytes an app may answer for its namespace, through the reading, the
// status build and its text. The status always has its twelve members.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "link/json_reader.hpp"
#include "link/json_text.hpp"
#include "link/recorder.hpp"
#include "operations/status.hpp"

using namespace zindle;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  link::NamespaceSnapshot reading;
  if (!link::readNamespace(body, reading)) return 0;
  Json status = operations::statusFrom(reading);
  if (status.size() != 12 || status["settings"].size() != 12 ||
      status["assembled"].size() != 6 || status["sources"].size() > 8) {
    std::abort();
  }
  if (prettyJson(status).empty()) std::abort();
  return 0;
}
