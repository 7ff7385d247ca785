#include "operations/text_rules.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace zindle::operations {
namespace {

// "é" as one code point, and as "e" with a combining acute accent.
constexpr const char* kComposedE = "\u00e9";
constexpr const char* kDecomposedE = "e\u0301";

// Sets HOME for one test and puts the old value back.
class HomeVariable {
 public:
  explicit HomeVariable(const char* value) {
    if (const char* old = std::getenv("HOME")) saved_ = old;
    if (value == nullptr) {
      unsetenv("HOME");
    } else {
      setenv("HOME", value, 1);
    }
  }
  ~HomeVariable() {
    if (saved_) {
      setenv("HOME", saved_->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
  }
  HomeVariable(const HomeVariable&) = delete;
  HomeVariable& operator=(const HomeVariable&) = delete;

 private:
  std::optional<std::string> saved_;
};

TEST(TextRules, lowercasesWithTheRootLocalesDefaultMapping) {
  EXPECT_EQ(lowercased("H264"), "h264");
  EXPECT_EQ(lowercased("\u00c9CRAN"), "\u00e9cran");
  EXPECT_EQ(lowercased("\u0130"), "i\u0307");
  EXPECT_EQ(lowercased("I"), "i");
  EXPECT_EQ(lowercased("\u03a3\u039f\u03a6\u039f\u03a3"),
            "\u03c3\u03bf\u03c6\u03bf\u03c2");
  EXPECT_EQ(lowercased("\u00df"), "\u00df");
  EXPECT_EQ(lowercased(""), "");
}

TEST(TextRules, lowercasingTurnsBytesThatAreNotUtf8IntoReplacements) {
  EXPECT_EQ(lowercased("A\xff"), "a\ufffd");
}

TEST(TextRules, canonicalEquivalentsAreEqual) {
  EXPECT_TRUE(equivalent(kComposedE, kDecomposedE));
  EXPECT_TRUE(equivalent("caf\u00e9", "cafe\u0301"));
  EXPECT_TRUE(equivalent("", ""));
  EXPECT_TRUE(equivalent("a\u0323\u0301", "a\u0301\u0323"));
}

TEST(TextRules, equalityKeepsCaseAndMarks) {
  EXPECT_FALSE(equivalent("H264", "h264"));
  EXPECT_FALSE(equivalent("cafe", "caf\u00e9"));
  EXPECT_FALSE(equivalent("a", ""));
  EXPECT_FALSE(equivalent("ab", "a"));
}

TEST(TextRules, containmentIgnoresCase) {
  EXPECT_TRUE(containsIgnoringCase("Main Camera", "cam"));
  EXPECT_TRUE(containsIgnoringCase("main camera", "MAIN CAMERA"));
  EXPECT_TRUE(containsIgnoringCase("\u00e9", "\u00c9"));
  EXPECT_TRUE(containsIgnoringCase("Stra\u00dfe", "STRASSE"));
  EXPECT_TRUE(containsIgnoringCase("x", "x"));
}

TEST(TextRules, containmentMatchesCanonicalEquivalents) {
  EXPECT_TRUE(containsIgnoringCase(kComposedE, kDecomposedE));
  EXPECT_TRUE(containsIgnoringCase(kDecomposedE, kComposedE));
  EXPECT_TRUE(containsIgnoringCase("Caf\u00e9 TV", "CAFE\u0301"));
}

TEST(TextRules, containmentCountsAccentsAndOtherMarks) {
  EXPECT_FALSE(containsIgnoringCase("caf\u00e9", "cafe"));
  EXPECT_FALSE(containsIgnoringCase("cafe", "caf\u00e9"));
  EXPECT_FALSE(containsIgnoringCase("x\u0301", "x"));
  EXPECT_FALSE(containsIgnoringCase("e\u0301", "\u0301"));
  EXPECT_TRUE(containsIgnoringCase("x\u0301y", "y"));
}

TEST(TextRules, anEmptyTextIsContainedInNothing) {
  EXPECT_FALSE(containsIgnoringCase("Camera", ""));
  EXPECT_FALSE(containsIgnoringCase("", ""));
  EXPECT_FALSE(containsIgnoringCase("", "a"));
}

TEST(TextRules, tildeAloneOrBeforeASlashIsTheHomeVariable) {
  HomeVariable home("/Users/ana");
  EXPECT_EQ(expandTilde("~"), "/Users/ana");
  EXPECT_EQ(expandTilde("~/"), "/Users/ana/");
  EXPECT_EQ(expandTilde("~/Movies/takes"), "/Users/ana/Movies/takes");
}

TEST(TextRules, aRootHomeGivesNoDoubleSlash) {
  HomeVariable home("/");
  EXPECT_EQ(expandTilde("~/x"), "/x");
  EXPECT_EQ(expandTilde("~"), "/");
}

TEST(TextRules, tildeFallsBackToThePasswordDatabaseWithoutHome) {
  const passwd* self = getpwuid(getuid());
  ASSERT_NE(self, nullptr);
  const std::string expected = std::string(self->pw_dir) + "/x";
  HomeVariable home(nullptr);
  EXPECT_EQ(expandTilde("~/x"), expected);
}

TEST(TextRules, tildeAndANameIsThatUsersHome) {
  const passwd* root = getpwnam("root");
  ASSERT_NE(root, nullptr);
  const std::string rootHome = root->pw_dir;
  HomeVariable home("/Users/ana");
  EXPECT_EQ(expandTilde("~root"), rootHome);
  EXPECT_EQ(expandTilde("~root/x"), rootHome + "/x");
}

TEST(TextRules, anUnknownUserLeavesThePathUnchanged) {
  EXPECT_EQ(expandTilde("~nosuchuser/x"), "~nosuchuser/x");
  EXPECT_EQ(expandTilde("~nosuchuser"), "~nosuchuser");
  EXPECT_EQ(expandTilde(std::string("~root\0x/y", 9)),
            std::string("~root\0x/y", 9));
}

TEST(TextRules, onlyALeadingTildeIsExpanded) {
  HomeVariable home("/Users/ana");
  EXPECT_EQ(expandTilde("a/~/b"), "a/~/b");
  EXPECT_EQ(expandTilde("/movies/~"), "/movies/~");
  EXPECT_EQ(expandTilde(" ~/x"), " ~/x");
  EXPECT_EQ(expandTilde(""), "");
}

}  // namespace
}  // namespace zindle::operations
