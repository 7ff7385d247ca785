#pragma once
// The version the server reports at initialize.

#include <string>

namespace zindle::server {

// On a Mac, the "CFBundleShortVersionString" of the main bundle: the
// server's own information dictionary, linked into the binary, when it stands
// alone; the app's when an app ships the server inside its bundle; "dev" when
// neither has one. Elsewhere, where programs have no bundles, the version the
// build was given. Looked up anew on each call. Never throws but
// std::bad_alloc.
std::string serverVersion();

}  // namespace zindle::server
