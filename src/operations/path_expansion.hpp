#pragma once
// The folder configure sends, as the app must be given it: absolute.

#include <string>
#include <string_view>

namespace zindle::operations {

// `path` with a leading tilde expanded: "~" and "~/…" to the current user's
// home folder ($HOME when set and not empty, else the password database),
// "~name" and "~name/…" to that user's home folder. A user that does not
// exist, a home folder that cannot be found, and every other path leave
// `path` unchanged.
std::string expandTilde(std::string_view path);

}  // namespace zindle::operations
