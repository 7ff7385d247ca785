#pragma once
// Truncating and rounding doubles without the C math library: these two are
// all the server asked of it, and not loading it at all shortens every
// start. Exact for every double, as std::trunc and std::round are.

#include <cmath>
#include <cstdint>

namespace zindle::link {

// From 2^52 on, every double is a whole number.
inline constexpr double kAllWholeFrom = 4503599627370496.0;

// `x` without its fraction, as std::trunc; NaN and infinities unchanged.
inline double wholePart(double x) {
  if (!(std::fabs(x) < kAllWholeFrom)) return x;
  return std::copysign(static_cast<double>(static_cast<std::int64_t>(x)), x);
}

// `x` rounded to the nearest whole number, halves away from zero, as
// std::round. The fraction is taken exactly, so 0.49999999999999994 stays 0.
inline double roundedHalfAway(double x) {
  const double whole = wholePart(x);
  const double fraction = x - whole;
  if (fraction >= 0.5) return whole + 1;
  if (fraction <= -0.5) return whole - 1;
  return whole;
}

}  // namespace zindle::link
