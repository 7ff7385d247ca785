#include "server/version.hpp"

#include <gtest/gtest.h>

namespace zindle::server {
namespace {

// The test program has no information dictionary of its own: on a Mac the
// lookup finds no version and says "dev"; elsewhere the build's version is
// reported. The server binary's own, linked in on a Mac, is checked through
// its initialize answer.
TEST(Version, isTheBuildsWhereProgramsHaveNoBundles) {
#ifdef __APPLE__
  EXPECT_EQ(serverVersion(), "dev");
#else
  EXPECT_EQ(serverVersion(), ZINDLE_VERSION);
#endif
}

}  // namespace
}  // namespace zindle::server
