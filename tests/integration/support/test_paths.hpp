#pragma once
// The programs under test, as built (paths given by the build).

namespace zindle::testing {

inline constexpr const char* kServerPath = ZINDLE_SERVER_PATH;
inline constexpr const char* kSimulatorPath = ZINDLE_SIM_PATH;

}  // namespace zindle::testing
