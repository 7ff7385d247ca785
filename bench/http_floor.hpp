#pragma once
// The floor of one recorder_status: the two GETs a call makes of the app
// (the host information, then the namespace) on one kept-alive loopback
// connection, each read to the end of its announced length, with no parsing.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

namespace zindle::bench {

// Sends one GET of `path` on `fd` and reads its answer; false when the
// connection fails.
inline bool getOnce(int fd, const std::string& path, std::string& buffer) {
  const std::string request =
      "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  if (send(fd, request.data(), request.size(), 0) !=
      static_cast<ssize_t>(request.size())) {
    return false;
  }
  buffer.clear();
  char chunk[65536];
  std::size_t wanted = std::string::npos;
  while (buffer.size() < wanted) {
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(n));
    const std::size_t headersEnd = buffer.find("\r\n\r\n");
    const std::size_t length = buffer.find("Content-Length: ");
    if (wanted == std::string::npos && headersEnd != std::string::npos &&
        length != std::string::npos) {
      wanted = headersEnd + 4 +
               std::strtoul(buffer.c_str() + length + 16, nullptr, 10);
    }
  }
  return true;
}

// The time of each of `count` pairs of GETs in microseconds; empty when the
// server cannot be reached.
inline std::vector<double> httpFloor(int port, int count) {
  using Clock = std::chrono::steady_clock;
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::vector<double> samples;
  std::string buffer;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    for (int i = 0; i < count; ++i) {
      const auto started = Clock::now();
      if (!getOnce(fd, "/?HOST_INFO", buffer) || !getOnce(fd, "/", buffer)) {
        samples.clear();
        break;
      }
      samples.push_back(
          std::chrono::duration<double, std::micro>(Clock::now() - started)
              .count());
    }
  }
  close(fd);
  return samples;
}

}  // namespace zindle::bench
