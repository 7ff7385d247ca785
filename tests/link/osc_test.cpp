#include "link/osc.hpp"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;
using zindle::link::encodeOscMessage;
using zindle::link::OscArgument;

TEST(Osc, padsEachStringToFourBytesAndWritesNumbersBigEndian) {
  struct Case {
    std::string address;
    std::vector<OscArgument> arguments;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"/record", {1}, "/record\0,i\0\0\0\0\0\1"s},
      {"/record", {0}, "/record\0,i\0\0\0\0\0\0"s},
      {"/abc", {"ab"}, "/abc\0\0\0\0,s\0\0ab\0\0"s},
      {"/x", {"abcd"}, "/x\0\0,s\0\0abcd\0\0\0\0"s},
      {"/x", {""}, "/x\0\0,s\0\0\0\0\0\0"s},
      {"/x", {"\xC3\xA9"}, "/x\0\0,s\0\0\xC3\xA9\0\0"s},  // "é" is two bytes
      {"/n", {1.5f}, "/n\0\0,f\0\0\x3F\xC0\0\0"s},
      {"/n", {-1}, "/n\0\0,i\0\0\xFF\xFF\xFF\xFF"s},
      {"/go", {}, "/go\0,\0\0\0"s},
      {"/mix",
       {"hi", 7, 0.5f},
       "/mix\0\0\0\0,sif\0\0\0\0hi\0\0\0\0\0\7?\0\0\0"s},
      // A text ends at its first zero byte, so the fields stay in place.
      {"/a\0b"s, {"ab\0cd"s}, "/a\0\0,s\0\0ab\0\0"s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(encodeOscMessage(c.address, c.arguments), c.bytes);
  }
}

}  // namespace
