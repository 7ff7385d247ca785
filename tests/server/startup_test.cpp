#include "server/startup.hpp"

#include <gtest/gtest.h>

namespace zindle::server {
namespace {

TEST(Startup, readsPlainAndSignedDecimalPorts) {
  EXPECT_EQ(readPreferredPort("9300"), 9300);
  EXPECT_EQ(readPreferredPort("+9300"), 9300);
  EXPECT_EQ(readPreferredPort("09300"), 9300);
  EXPECT_EQ(readPreferredPort("0"), 0);
  EXPECT_EQ(readPreferredPort("-0"), 0);
}

TEST(Startup, keepsValuesOutsideThePortRangeUnchanged) {
  EXPECT_EQ(readPreferredPort("-1"), -1);
  EXPECT_EQ(readPreferredPort("70000"), 70000);
}

TEST(Startup, readsTheWholeSigned64BitRange) {
  EXPECT_EQ(readPreferredPort("9223372036854775807"),
            INT64_C(9223372036854775807));
  EXPECT_EQ(readPreferredPort("-9223372036854775808"), INT64_MIN);
}

TEST(Startup, fallsBackTo9231WhenTheVariableIsAbsentOrEmpty) {
  EXPECT_EQ(readPreferredPort(std::nullopt), 9231);
  EXPECT_EQ(readPreferredPort(""), 9231);
}

TEST(Startup, fallsBackTo9231ForBlanksAroundTheNumber) {
  EXPECT_EQ(readPreferredPort(" 9300"), 9231);
  EXPECT_EQ(readPreferredPort("9300 "), 9231);
  EXPECT_EQ(readPreferredPort("9300\n"), 9231);
  EXPECT_EQ(readPreferredPort("\t9300"), 9231);
}

TEST(Startup, fallsBackTo9231ForAnythingButSignAndDigits) {
  EXPECT_EQ(readPreferredPort("93a0"), 9231);
  EXPECT_EQ(readPreferredPort("abc"), 9231);
  EXPECT_EQ(readPreferredPort("+"), 9231);
  EXPECT_EQ(readPreferredPort("-"), 9231);
  EXPECT_EQ(readPreferredPort("+-9300"), 9231);
  EXPECT_EQ(readPreferredPort("--9300"), 9231);
  EXPECT_EQ(readPreferredPort("9300-"), 9231);
  EXPECT_EQ(readPreferredPort("0x2400"), 9231);
  EXPECT_EQ(readPreferredPort("9300.0"), 9231);
  EXPECT_EQ(readPreferredPort("1e4"), 9231);
  EXPECT_EQ(readPreferredPort(std::string_view("93\0"
                                               "00",
                                               5)),
            9231);
  // Digits of other scripts are not ASCII digits.
  EXPECT_EQ(readPreferredPort("\xd9\xa9\xd9\xa3"), 9231);
}

TEST(Startup, fallsBackTo9231WhenTheNumberOverflows64Bits) {
  EXPECT_EQ(readPreferredPort("9223372036854775808"), 9231);
  EXPECT_EQ(readPreferredPort("-9223372036854775809"), 9231);
  EXPECT_EQ(readPreferredPort("99999999999999999999999"), 9231);
}

}  // namespace
}  // namespace zindle::server
