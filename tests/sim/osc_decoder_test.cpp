#include "sim/osc_decoder.hpp"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

namespace zindle::sim {
namespace {

std::optional<OscMessage> decode(const std::vector<std::uint8_t>& bytes) {
  return decodeOscMessage(bytes.data(), bytes.size());
}

TEST(SimOscDecoding, readsTheServersMessagesByteForByte) {
  // "/record" with the int 1, as the server sends it to start.
  const auto record = decode({0x2F, 0x72, 0x65, 0x63, 0x6F, 0x72, 0x64, 0x00,
                              0x2C, 0x69, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01});
  ASSERT_TRUE(record);
  EXPECT_EQ(record->address, "/record");
  ASSERT_EQ(record->arguments.size(), 1u);
  EXPECT_EQ(record->arguments[0].tag, 'i');
  EXPECT_EQ(numberOf(record->arguments[0]), 1.0);

  // "/fps" with the float 1.5, then "/name" with "abcd" (four zero bytes
  // after a text whose length is a multiple of four).
  const auto fps = decode({0x2F, 0x66, 0x70, 0x73, 0x00, 0x00, 0x00, 0x00, 0x2C,
                           0x66, 0x00, 0x00, 0x3F, 0xC0, 0x00, 0x00});
  ASSERT_TRUE(fps);
  EXPECT_EQ(fps->address, "/fps");
  EXPECT_EQ(numberOf(fps->arguments.at(0)), 1.5);
  const auto name =
      decode({0x2F, 0x6E, 0x61, 0x6D, 0x65, 0x00, 0x00, 0x00, 0x2C, 0x73,
              0x00, 0x00, 0x61, 0x62, 0x63, 0x64, 0x00, 0x00, 0x00, 0x00});
  ASSERT_TRUE(name);
  EXPECT_EQ(textOf(name->arguments.at(0)), "abcd");
  EXPECT_EQ(describe(*name), "/name ,s \"abcd\"");

  // An empty text and a negative int.
  const auto mixed = decode({0x2F, 0x61, 0x00, 0x00, 0x2C, 0x73, 0x69, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF});
  ASSERT_TRUE(mixed);
  EXPECT_EQ(textOf(mixed->arguments.at(0)), "");
  EXPECT_EQ(numberOf(mixed->arguments.at(1)), -1.0);
  EXPECT_EQ(describe(*mixed), "/a ,si \"\" -1");
}

TEST(SimOscDecoding, refusesWhatIsNotOneWellFormedMessage) {
  // The string of "/record" lacks its terminating zero.
  EXPECT_FALSE(decode({0x2F, 0x72, 0x65, 0x63}));
  // The type tag promises an int that is missing.
  EXPECT_FALSE(decode({0x2F, 0x61, 0x00, 0x00, 0x2C, 0x69, 0x00, 0x00}));
  // An address must begin with a slash.
  EXPECT_FALSE(decode({0x61, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00, 0x00}));
  EXPECT_FALSE(decode({}));
}

}  // namespace
}  // namespace zindle::sim
