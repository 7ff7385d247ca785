#include "link/osc.hpp"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using zindle::link::encodeOscMessage;
using zindle::link::OscArgument;
using zindle::link::UdpSender;

std::string bytes(std::initializer_list<unsigned char> values) {
  return std::string(values.begin(), values.end());
}

std::string encode(std::string_view address,
                   std::vector<OscArgument> arguments) {
  return encodeOscMessage(address, arguments);
}

// A UDP socket bound to a free loopback port, for datagrams to land in.
class UdpReceiver {
 public:
  UdpReceiver() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~UdpReceiver() { ::close(fd_); }
  UdpReceiver(const UdpReceiver&) = delete;
  UdpReceiver& operator=(const UdpReceiver&) = delete;

  std::int64_t port() const { return port_; }

  // The next datagram, or nothing after two seconds.
  std::optional<std::string> receive() {
    pollfd watched{fd_, POLLIN, 0};
    if (::poll(&watched, 1, 2000) != 1) return std::nullopt;
    char buffer[2048];
    const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
    if (got < 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(got));
  }

 private:
  int fd_;
  std::int64_t port_ = 0;
};

TEST(Osc, encodesRecordWithOneAsSixteenBytes) {
  EXPECT_EQ(encode("/record", {std::int32_t{1}}),
            bytes({0x2F, 0x72, 0x65, 0x63, 0x6F, 0x72, 0x64, 0x00,  //
                   0x2C, 0x69, 0x00, 0x00,                          //
                   0x00, 0x00, 0x00, 0x01}));
  EXPECT_EQ(encode("/record", {std::int32_t{0}}),
            bytes({0x2F, 0x72, 0x65, 0x63, 0x6F, 0x72, 0x64, 0x00,  //
                   0x2C, 0x69, 0x00, 0x00,                          //
                   0x00, 0x00, 0x00, 0x00}));
}

TEST(Osc, padsATextWhoseLengthIsAMultipleOfFourWithFourZeroBytes) {
  EXPECT_EQ(encode("/abc", {std::string("ab")}),
            bytes({'/', 'a', 'b', 'c', 0, 0, 0, 0,  //
                   ',', 's', 0, 0,                  //
                   'a', 'b', 0, 0}));
}

TEST(Osc, padsEachStringArgumentWithOneToFourZeroBytes) {
  const std::string head = bytes({'/', 'x', 0, 0, ',', 's', 0, 0});
  EXPECT_EQ(encode("/x", {std::string("")}), head + bytes({0, 0, 0, 0}));
  EXPECT_EQ(encode("/x", {std::string("a")}), head + bytes({'a', 0, 0, 0}));
  EXPECT_EQ(encode("/x", {std::string("ab")}), head + bytes({'a', 'b', 0, 0}));
  EXPECT_EQ(encode("/x", {std::string("abc")}),
            head + bytes({'a', 'b', 'c', 0}));
  EXPECT_EQ(encode("/x", {std::string("abcd")}),
            head + bytes({'a', 'b', 'c', 'd', 0, 0, 0, 0}));
}

TEST(Osc, countsUtf8BytesNotCharacters) {
  EXPECT_EQ(encode("/x", {std::string("\xC3\xA9")}),  // "é"
            bytes({'/', 'x', 0, 0, ',', 's', 0, 0, 0xC3, 0xA9, 0, 0}));
  EXPECT_EQ(encode("/\xC3\xA9", {}),  // three bytes, so one zero byte
            bytes({'/', 0xC3, 0xA9, 0, ',', 0, 0, 0}));
}

TEST(Osc, writesNumbersBigEndianBitForBit) {
  const std::string head = bytes({'/', 'n', 0, 0});
  EXPECT_EQ(encode("/n", {1.5f}),
            head + bytes({',', 'f', 0, 0, 0x3F, 0xC0, 0x00, 0x00}));
  EXPECT_EQ(encode("/n", {std::int32_t{-1}}),
            head + bytes({',', 'i', 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(encode("/n", {std::numeric_limits<std::int32_t>::min()}),
            head + bytes({',', 'i', 0, 0, 0x80, 0x00, 0x00, 0x00}));
  EXPECT_EQ(encode("/n", {std::int32_t{0x01020304}}),
            head + bytes({',', 'i', 0, 0, 0x01, 0x02, 0x03, 0x04}));
  EXPECT_EQ(encode("/n", {-0.0f}),
            head + bytes({',', 'f', 0, 0, 0x80, 0x00, 0x00, 0x00}));
  EXPECT_EQ(encode("/n", {std::numeric_limits<float>::infinity()}),
            head + bytes({',', 'f', 0, 0, 0x7F, 0x80, 0x00, 0x00}));
}

TEST(Osc, endsAMessageWithoutArgumentsWithTheBareTypeTag) {
  EXPECT_EQ(encode("/go", {}), bytes({'/', 'g', 'o', 0, ',', 0, 0, 0}));
}

TEST(Osc, writesTagsAndArgumentsInTheirOrder) {
  EXPECT_EQ(encode("/mix", {std::string("hi"), std::int32_t{7}, 0.5f}),
            bytes({'/',  'm',  'i',  'x', 0, 0, 0, 0,  //
                   ',',  's',  'i',  'f', 0, 0, 0, 0,  //
                   'h',  'i',  0,    0,                //
                   0,    0,    0,    7,                //
                   0x3F, 0x00, 0x00, 0x00}));
}

TEST(Osc, cutsATextAtItsFirstZeroByteSoTheFieldsStayInPlace) {
  EXPECT_EQ(encode(std::string("/a\0b", 4), {std::string("ab\0cdef", 7)}),
            bytes({'/', 'a', 0, 0, ',', 's', 0, 0, 'a', 'b', 0, 0}));
}

TEST(Osc, sendsTheMessageAsOneDatagramToTheLoopbackPort) {
  UdpReceiver receiver;
  const std::string message = encode("/record", {std::int32_t{1}});

  UdpSender().send(receiver.port(), message);

  EXPECT_EQ(receiver.receive(), message);
}

TEST(Osc, returnsQuietlyWhereNothingCanOrDoesListen) {
  UdpSender sender;
  for (const std::int64_t port : {std::int64_t{0}, std::int64_t{-1},
                                  std::int64_t{65536}, INT64_MAX, INT64_MIN}) {
    sender.send(port, "/x");
  }
  std::int64_t freed = 0;
  {
    UdpReceiver receiver;
    freed = receiver.port();
  }
  sender.send(freed, encode("/record", {std::int32_t{0}}));
}

}  // namespace
