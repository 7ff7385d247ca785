#pragma once
// The version the server reports at initialize.

#include <optional>
#include <string>
#include <string_view>

namespace zindle::server {

// The "CFBundleShortVersionString" of the application bundle the running
// executable belongs to, or "dev" when there is none. Looked up anew on
// each call.
std::string serverVersion();

// The same key read from the Info.plist (XML) of the bundle that contains
// `executablePath` as <Name>.app/Contents/MacOS/<executable>; nothing when
// the path is not inside such a bundle, the file is missing, or the key has
// no string value.
std::optional<std::string> bundleVersion(std::string_view executablePath);

}  // namespace zindle::server
