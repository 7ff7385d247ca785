#include "server/version.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace zindle::server {
namespace {

namespace fs = std::filesystem;

// A folder of its own under the system's temporary folder, removed at the
// end of the test.
class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern =
        (fs::temp_directory_path() / "zindle-version-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string plist(std::string_view versionEntry) {
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
             "<plist version=\"1.0\">\n<dict>\n"
             "\t<key>CFBundleName</key>\n\t<string>ZindleRecorder</string>\n") +
         std::string(versionEntry) + "\n</dict>\n</plist>\n";
}

// Lays out <folder>/<bundle>/Contents/MacOS/<tool> with `infoPlist` as its
// Info.plist (none when empty) and returns the path of the tool.
std::string makeBundle(const fs::path& folder, std::string_view infoPlist,
                       std::string_view bundle = "ZindleRecorder.app") {
  const fs::path macOS = folder / bundle / "Contents" / "MacOS";
  fs::create_directories(macOS);
  std::ofstream(macOS / "zindle_recorder_mcp") << "#!/bin/sh\n";
  if (!infoPlist.empty()) {
    std::ofstream(macOS.parent_path() / "Info.plist") << infoPlist;
  }
  return (macOS / "zindle_recorder_mcp").string();
}

std::optional<std::string> versionFromEntry(std::string_view entry) {
  TemporaryFolder folder;
  return bundleVersion(makeBundle(folder.path(), plist(entry)));
}

TEST(Version, readsTheShortVersionOfTheEnclosingBundle) {
  EXPECT_EQ(versionFromEntry("\t<key>CFBundleShortVersionString</key>\n"
                             "\t<string>0.9</string>"),
            "0.9");
}

TEST(Version, allowsBlanksBetweenTheKeyAndItsValue) {
  EXPECT_EQ(versionFromEntry("<key>CFBundleShortVersionString</key> \r\n\t "
                             "<string>1.2.3 (beta)</string>"),
            "1.2.3 (beta)");
}

TEST(Version, decodesThePredefinedEntitiesAndCharacterReferences) {
  EXPECT_EQ(versionFromEntry("<key>CFBundleShortVersionString</key>"
                             "<string>1 &amp; &lt;2&gt; &quot;3&quot; "
                             "&apos;4&apos; &#38;&#x2026;&#X41;</string>"),
            std::nullopt);  // "&#X41;" is no reference: x is lowercase
  EXPECT_EQ(versionFromEntry("<key>CFBundleShortVersionString</key>"
                             "<string>1 &amp; &lt;2&gt; &quot;3&quot; "
                             "&apos;4&apos; &#38;&#x2026;&#x1F3A5;</string>"),
            "1 & <2> \"3\" '4' &\u2026\U0001F3A5");
}

TEST(Version, keepsRawUtf8) {
  EXPECT_EQ(versionFromEntry("<key>CFBundleShortVersionString</key>"
                             "<string>1.0 \xc3\xa9t\xc3\xa9</string>"),
            "1.0 \u00e9t\u00e9");
}

TEST(Version, readsAnEmptyString) {
  EXPECT_EQ(versionFromEntry("<key>CFBundleShortVersionString</key>"
                             "<string></string>"),
            "");
  EXPECT_EQ(versionFromEntry("<key>CFBundleShortVersionString</key>"
                             "<string/>"),
            "");
}

TEST(Version, refusesAValueThatIsNotAString) {
  EXPECT_EQ(versionFromEntry("<key>CFBundleShortVersionString</key>"
                             "<integer>9</integer>"),
            std::nullopt);
  EXPECT_EQ(versionFromEntry("<key>CFBundleShortVersionString</key>"
                             "<key>CFBundleVersion</key><string>9</string>"),
            std::nullopt);
  EXPECT_EQ(versionFromEntry("<key>CFBundleShortVersionString</key>"),
            std::nullopt);
}

TEST(Version, refusesAStringItCannotDecode) {
  for (std::string_view value :
       {"<string>1&nbsp;2</string>", "<string>1 & 2</string>",
        "<string>1&#0;</string>", "<string>1&#xD800;</string>",
        "<string>1&#x110000;</string>", "<string>1&#;</string>",
        "<string>1&#x;</string>", "<string>1&#12a;</string>",
        "<string>1<b>2</b></string>", "<string>1.0",
        "<string>1.0 \xff</string>"}) {
    EXPECT_EQ(
        versionFromEntry(std::string("<key>CFBundleShortVersionString</key>") +
                         std::string(value)),
        std::nullopt)
        << value;
  }
}

TEST(Version, findsNothingWithoutTheKey) {
  EXPECT_EQ(versionFromEntry("<key>CFBundleVersion</key><string>7</string>"),
            std::nullopt);
}

TEST(Version, findsNothingWhenTheInfoPlistIsMissing) {
  TemporaryFolder folder;
  EXPECT_EQ(bundleVersion(makeBundle(folder.path(), "")), std::nullopt);
}

TEST(Version, findsNothingOutsideAnApplicationBundle) {
  const std::string entry =
      "<key>CFBundleShortVersionString</key><string>0.9</string>";
  for (std::string_view bundle :
       {"ZindleRecorder", ".app", "ZindleRecorder.apps", "Zindle.app/Other"}) {
    TemporaryFolder folder;
    EXPECT_EQ(bundleVersion(makeBundle(folder.path(), plist(entry), bundle)),
              std::nullopt)
        << bundle;
  }
  TemporaryFolder folder;
  const std::string tool = makeBundle(folder.path(), plist(entry));
  EXPECT_EQ(bundleVersion(fs::path(tool).parent_path().string()), std::nullopt);
  EXPECT_EQ(bundleVersion((folder.path() / "bin" / "tool").string()),
            std::nullopt);
  EXPECT_EQ(bundleVersion(""), std::nullopt);
}

TEST(Version, reportsDevForAProgramOutsideABundle) {
  EXPECT_EQ(serverVersion(), "dev");
}

}  // namespace
}  // namespace zindle::server
