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
// `executablePath` as <Name>.app/Contents/MacOS/<executable>, with the five
// predefined entities and character references decoded. Nothing when the
// path is not inside such a bundle, the file is missing, the key has no
// string value, or that value holds markup, another reference, or bytes
// that are not UTF-8. Never throws but std::bad_alloc.
std::optional<std::string> bundleVersion(std::string_view executablePath);

}  // namespace zindle::server
