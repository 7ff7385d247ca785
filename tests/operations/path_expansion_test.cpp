#include "operations/path_expansion.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

namespace zindle::operations {
namespace {

// Each path expanded with HOME set as the row says (none: unset); an empty
// HOME counts as none, and the password database answers instead.
TEST(PathExpansion, expandsATildeFromHomeOrThePasswordDatabase) {
  const passwd* root = getpwnam("root");
  const passwd* user = getpwuid(getuid());
  ASSERT_TRUE(root != nullptr && user != nullptr);
  const std::string mine = std::string(user->pw_dir) + "/x";
  const char* saved = std::getenv("HOME");
  const std::string savedHome = saved == nullptr ? "" : saved;
  const std::tuple<std::optional<std::string>, std::string, std::string>
      kRows[] = {
          {"/Users/ana", "~", "/Users/ana"},
          {"/Users/ana", "~/x", "/Users/ana/x"},
          {"/Users/ana", "~root/x", std::string(root->pw_dir) + "/x"},
          {"/Users/ana", "~nosuchuser/x", "~nosuchuser/x"},
          {"/Users/ana", "a/~/b", "a/~/b"},
          {std::nullopt, "~/x", mine},
          {"", "~/x", mine},
      };
  for (const auto& [home, path, expected] : kRows) {
    if (home) {
      setenv("HOME", home->c_str(), 1);
    } else {
      unsetenv("HOME");
    }
    EXPECT_EQ(expandTilde(path), expected)
        << path << " with HOME " << home.value_or("unset");
  }
  setenv("HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace zindle::operations
