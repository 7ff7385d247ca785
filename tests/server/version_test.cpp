#include "server/version.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace zindle::server {
namespace {

namespace fs = std::filesystem;

// The version read for <bundle>/Contents/MacOS/tool, laid out in a temporary
// folder with an Info.plist whose version key is followed by `value`.
// Outside a bundle, as the tests run, the server's version is "dev".
std::optional<std::string> versionOf(std::string_view value,
                                     std::string_view bundle = "Z.app") {
  std::string folder = (fs::temp_directory_path() / "zindle-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr) return "no folder";
  const fs::path contents = fs::path(folder) / bundle / "Contents";
  fs::create_directories(contents);
  std::ofstream(contents / "Info.plist")
      << "<plist><dict><key>CFBundleName</key><string>Z</string>"
      << "<key>CFBundleShortVersionString</key>" << value << "</dict></plist>";
  std::optional<std::string> version =
      bundleVersion((contents / "MacOS" / "tool").string());
  fs::remove_all(folder);
  return version;
}

TEST(Version, readsTheShortVersionStringOfTheEnclosingBundle) {
  const std::pair<std::string, std::optional<std::string>> kCases[] = {
      {"\n\t<string>0.9</string>", "0.9"},
      {" \r\n<string>1 &amp; &lt;2&gt; &quot;3&quot; &apos;4&apos; "
       "&#38;&#x2026;&#x1F3A5; \xc3\xa9</string>",
       "1 & <2> \"3\" '4' &\u2026\U0001F3A5 \u00e9"},
      {"<string/>", ""},
      // It goes out in a JSON message, which must be UTF-8.
      {"<string>1.0 \xff</string>", std::nullopt},
  };
  for (const auto& [value, version] : kCases)
    EXPECT_EQ(versionOf(value), version) << value;
  EXPECT_EQ(versionOf("<string>0.9</string>", "Z"), std::nullopt);
  EXPECT_EQ(bundleVersion("/nowhere/Z.app/Contents/MacOS/tool"), std::nullopt);
  EXPECT_EQ(serverVersion(), "dev");
}

}  // namespace
}  // namespace zindle::server
