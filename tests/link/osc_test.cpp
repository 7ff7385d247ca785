#include "link/osc.hpp"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/differential.hpp"

namespace {

using namespace std::string_literals;
using zindle::link::encodeOscMessage;
using zindle::link::OscArgument;
using zindle::link::UdpSender;

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
      {"/n", {-16909061}, "/n\0\0,i\0\0\xFE\xFD\xFC\xFB"s},
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

// Random addresses and arguments, every float bit pattern and texts of every
// length, decoded again by liblo as what went in.
TEST(Osc, encodesWhatLibloDecodesAsSent) {
  std::mt19937 random(303);
  const auto text = [&random] {
    std::string out(random() % 9, 'a');
    for (char& c : out) c = static_cast<char>(1 + random() % 255);
    return out;
  };
  for (int i = 0; i < 1000; ++i) {
    std::vector<OscArgument> arguments;
    for (auto n = random() % 5; n > 0; --n) {
      const std::uint32_t kind = random() % 3, bits = random();
      if (kind == 0) arguments.emplace_back(std::bit_cast<float>(bits));
      if (kind == 1) arguments.emplace_back(std::bit_cast<std::int32_t>(bits));
      if (kind == 2) arguments.emplace_back(text());
    }
    EXPECT_TRUE(zindle::testing::decodesAsSent("/" + text(), arguments));
  }
}

// macOS drops a datagram longer than the socket's send buffer (9216 bytes
// unless raised) without a word; a folder or name of that size must arrive.
TEST(Osc, aDatagramAsLongAsUdpAllowsReachesTheApp) {
  const int app = socket(AF_INET, SOCK_DGRAM, 0);
  const int receiveBuffer = 1 << 20;
  setsockopt(app, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(bind(app, reinterpret_cast<sockaddr*>(&address), length), 0);
  getsockname(app, reinterpret_cast<sockaddr*>(&address), &length);

  for (std::size_t size :
       {std::size_t{16}, std::size_t{9220}, zindle::link::kMaxDatagramBytes}) {
    UdpSender().send(ntohs(address.sin_port), std::string(size, 'x'));
    pollfd ready{app, POLLIN, 0};
    ASSERT_EQ(poll(&ready, 1, 2000), 1) << size;
    std::string received(size + 1, '\0');
    EXPECT_EQ(recv(app, received.data(), received.size(), 0),
              static_cast<ssize_t>(size));
  }
  close(app);
}

}  // namespace
