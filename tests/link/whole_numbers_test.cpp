#include "link/whole_numbers.hpp"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace zindle::link {
namespace {

// Both must agree with the math library for every double, the awkward ones
// first: the largest double below one half, halves, negative zero, values
// past 2^52, the int64 limits, infinities and NaN.
TEST(WholeNumbers, agreeWithTheMathLibrary) {
  const double kCases[] = {0.49999999999999994,
                           -0.49999999999999994,
                           0.5,
                           -0.5,
                           2.5,
                           -1.5,
                           -0.3,
                           -0.0,
                           1e6 + 0.5,
                           4503599627370495.5,
                           4503599627370497.0,
                           9.2233720368547758e18,
                           -9.2233720368547758e18,
                           1e300,
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()};
  for (double x : kCases) {
    EXPECT_EQ(wholePart(x), std::trunc(x)) << x;
    EXPECT_EQ(std::signbit(wholePart(x)), std::signbit(std::trunc(x))) << x;
    EXPECT_EQ(roundedHalfAway(x), std::round(x)) << x;
  }
  EXPECT_TRUE(std::isnan(wholePart(std::nan(""))));
  EXPECT_TRUE(std::isnan(roundedHalfAway(std::nan(""))));
}

}  // namespace
}  // namespace zindle::link
