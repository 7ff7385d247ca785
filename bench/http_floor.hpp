#pragma once
// The floor of one namespace read: a plain HTTP/1.0 GET of "/" on a new
// loopback connection, read to the end, with no parsing.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace zindle::bench {

// The time of each of `count` GETs in microseconds; empty when the server
// cannot be reached.
inline std::vector<double> httpFloor(int port, int count) {
  using Clock = std::chrono::steady_clock;
  const std::string request = "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  std::vector<double> samples;
  for (int i = 0; i < count; ++i) {
    auto started = Clock::now();
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) !=
        0) {
      close(fd);
      return {};
    }
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char chunk[65536];
    while (recv(fd, chunk, sizeof chunk, 0) > 0) {
    }
    close(fd);
    samples.push_back(
        std::chrono::duration<double, std::micro>(Clock::now() - started)
            .count());
  }
  return samples;
}

}  // namespace zindle::bench
