#pragma once

// The simulator's command line: ports, the sources it offers, the state file
// and the faults it starts with; and its help.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/faults.hpp"
#include "sim/source_catalog.hpp"

namespace zindle::sim {

inline constexpr int kDefaultQueryPort = 9231;

struct Options {
  int queryPort = kDefaultQueryPort;  // 0: any free port
  int oscPort = 0;                    // 0: any free port
  std::optional<int> viewPort;        // the window's; none: no window
  std::string name = "ZindleRecorder";
  std::string appVersion = "0.9";
  std::vector<Source> sources;  // the default set when none is given
  bool ndiUsable = true;
  std::string stateFile;  // "": settings kept in memory only
  // A user's app as saved (the README's two GETs), served in place of the
  // simulator's own documents; "": its own.
  std::string namespaceFile;
  std::string hostInfoFile;
  Faults faults;
  bool verbose = false;
  bool help = false;  // when set, nothing else was read
};

// A command line that cannot be used; what() says why.
class OptionsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the arguments that follow the program's name. Each option that takes
// a value accepts it as the next argument or after "=". Throws OptionsError.
Options parseOptions(const std::vector<std::string>& arguments);

// The text `zindle_recorder_sim --help` prints.
std::string_view usageText();

}  // namespace zindle::sim
