#pragma once

// A user's app as a problem report saves it, with the two GETs the README
// gives: its namespace and its host information. The simulator serves them
// in place of its own documents, so that a server reads what the user's
// server read.

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace zindle::sim {

struct SavedApp {
  // The namespace's bytes as saved, answered to "/" unchanged; none: the
  // simulator's own namespace.
  std::optional<std::string> namespaceText;
  // The same, read as JSON, for the paths within it; discarded when the
  // bytes are no JSON (then "/" alone answers).
  nlohmann::json namespaceTree;
  // The answer to "/?HOST_INFO", as saved until hostInfoFor gives it this
  // simulator's OSC port; none: the simulator's own.
  std::optional<std::string> hostInfoText;
};

// Reads the files given ("" for none), as readGivenFile reads them. Throws
// std::runtime_error naming a file that is not there or cannot be read.
SavedApp readSavedApp(const std::string& namespaceFile,
                      const std::string& hostInfoFile);

// Saved host information with its OSC_PORT replaced by `oscPort`, where this
// simulator takes the messages; any other text unchanged.
std::string hostInfoFor(std::string_view saved, int oscPort);

}  // namespace zindle::sim
