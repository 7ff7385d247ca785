#include "operations/text_rules.hpp"

#include <pwd.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zindle::operations {
namespace {

// The result of the rule named `rule` as text, so that one table holds all.
std::string apply(const std::string& rule, const std::string& text,
                  const std::string& other) {
  if (rule == "lowercased") return lowercased(text);
  if (rule == "expandTilde") return expandTilde(text);
  if (rule == "equivalent") return equivalent(text, other) ? "yes" : "no";
  return containsIgnoringCase(text, other) ? "yes" : "no";
}

std::string repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

// One table for both implementations of the Unicode rules: ICU's, and the
// Mac's own (CoreFoundation), which the app matches titles with.
TEST(TextRules, followUnicodeAndTheHomeFolders) {
  const passwd* root = getpwnam("root");
  ASSERT_NE(root, nullptr);
  const char* home = std::getenv("HOME");
  const std::string savedHome = home == nullptr ? "" : home;
  setenv("HOME", "/Users/ana", 1);
  // The rule, its text (and the other text it takes), the result.
  const std::vector<std::array<std::string, 4>> cases = {
      {"lowercased", "\u00c9CRAN", "", "\u00e9cran"},
      {"lowercased", "E\u0301CRAN", "", "e\u0301cran"},
      {"lowercased", "\u00c4\u0394\u00df", "", "\u00e4\u03b4\u00df"},
      // The default mapping, whatever the locale: not Turkish rules.
      {"lowercased", "\u0130I", "", "i\u0307i"},
      {"lowercased", "\u039f\u03a3", "", "\u03bf\u03c2"},  // final sigma
      {"lowercased", "", "", ""},
      // Grows past the first guess of the result's size.
      {"lowercased", repeated("\u0130", 40), "", repeated("i\u0307", 40)},
      {"equivalent", "\u00e9", "e\u0301", "yes"},
      {"equivalent", "\u00e9", "e", "no"},
      {"equivalent", "\u00e9", "\u00c9", "no"},
      {"equivalent", "", "", "yes"},
      {"contains", "\u00c9cran Principal", "\u00e9cran", "yes"},
      {"contains", "caf\u00e9", "cafe", "no"},
      {"contains", "\u00e9", "\u00c9", "yes"},
      {"contains", "e\u0301", "\u00e9", "yes"},
      {"contains", "\u00e9", "e\u0301", "yes"},
      {"contains", "x\u0301", "x", "no"},
      {"contains", "x\u0301x", "x", "yes"},
      {"contains", "e\u0301e\u0301e", "e\u0301e", "yes"},  // overlapping
      {"contains", "x\U0001D167", "x", "no"},              // a mark past U+FFFF
      // Searching anew from every position took hours over these.
      {"contains", repeated("a", 1 << 22), repeated("a", 99999) + "b", "no"},
      {"contains", "e\u0301x", "\u0301x", "no"},
      {"contains", "\u00e9x", "\u0301x", "no"},
      {"contains", "\u0301x", "\u0301x", "yes"},
      {"contains", "STRASSE", "stra\u00dfe", "yes"},
      {"contains", "\u0394\u0399\u0391", "\u03b4\u03b9", "yes"},
      {"contains", "Camera", "", "no"},
      {"contains", "", "", "no"},
      {"expandTilde", "~", "", "/Users/ana"},
      {"expandTilde", "~/x", "", "/Users/ana/x"},
      {"expandTilde", "~root/x", "", std::string(root->pw_dir) + "/x"},
      {"expandTilde", "~nosuchuser/x", "", "~nosuchuser/x"},
      {"expandTilde", "a/~/b", "", "a/~/b"},
  };
  for (const auto& [rule, text, other, expected] : cases) {
    EXPECT_EQ(apply(rule, text, other), expected) << rule << " " << text;
  }
  // An empty HOME counts as none, so this puts back what there was.
  setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace zindle::operations
