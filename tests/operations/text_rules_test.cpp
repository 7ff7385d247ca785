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

TEST(TextRules, followUnicodeAndTheHomeFolders) {
  const passwd* root = getpwnam("root");
  ASSERT_NE(root, nullptr);
  const char* home = std::getenv("HOME");
  const std::string savedHome = home == nullptr ? "" : home;
  setenv("HOME", "/Users/ana", 1);
  // The rule, its text (and the other text it takes), the result.
  const std::vector<std::array<std::string, 4>> cases = {
      {"lowercased", "\u00c9CRAN", "", "\u00e9cran"},
      {"lowercased", "\u0130", "", "i\u0307"},  // the root locale's mapping
      {"lowercased", "A\xff", "", "a\ufffd"},
      // Grows past the first guess of the result's size.
      {"lowercased", repeated("\u0130", 40), "", repeated("i\u0307", 40)},
      {"equivalent", "\u00e9", "e\u0301", "yes"},
      {"equivalent", "\u00e9", "e", "no"},
      {"contains", "caf\u00e9", "cafe", "no"},
      {"contains", "\u00e9", "\u00c9", "yes"},
      {"contains", "e\u0301", "\u00e9", "yes"},
      {"contains", "\u00e9", "e\u0301", "yes"},
      {"contains", "x\u0301", "x", "no"},
      {"contains", "e\u0301x", "\u0301x", "no"},
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
