#include "sim/http_connection.hpp"

#include <algorithm>
#include <cerrno>
#include <string_view>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zindle::sim {
namespace {

// How often a wait looks whether the server is stopping: well within the
// second a stop may take.
constexpr auto kStopCheck = std::chrono::milliseconds(50);
// How long one write may wait for a client that reads nothing.
constexpr auto kWriteWait = std::chrono::seconds(5);
constexpr std::size_t kReadChunk = 4096;
// As the library writes it, whether it decided so or a handler did.
constexpr std::string_view kCloseHeader = "\r\nConnection: close\r\n";

void addressOf(int socket, bool remote, std::string& ip, int& port) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  auto* raw = reinterpret_cast<sockaddr*>(&address);
  const int got = remote ? ::getpeername(socket, raw, &length)
                         : ::getsockname(socket, raw, &length);
  char text[INET_ADDRSTRLEN] = "";
  if (got == 0 && address.sin_family == AF_INET) {
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  }
  ip = text;
  port = got == 0 ? ntohs(address.sin_port) : 0;
}

}  // namespace

HttpConnection::HttpConnection(int socket, std::function<bool()> stopping)
    : socket_(socket), stopping_(std::move(stopping)) {}

HttpConnection::~HttpConnection() {
  ::shutdown(socket_, SHUT_RDWR);
  ::close(socket_);
}

bool HttpConnection::awaitRequest(Clock::duration idle) {
  if (taken_ < buffered_.size()) return !stopping_();
  return waitFor(POLLIN, Clock::now() + idle);
}

void HttpConnection::startRequest(Clock::time_point deadline) {
  readDeadline_ = deadline;
  answering_ = false;
  closeAnswered_ = false;
}

bool HttpConnection::is_readable() const {
  return taken_ < buffered_.size() || waitFor(POLLIN, readDeadline_);
}

bool HttpConnection::wait_readable() const { return is_readable(); }

bool HttpConnection::is_writable() const {
  return waitFor(POLLOUT, Clock::now() + kWriteWait);
}

bool HttpConnection::wait_writable() const { return is_writable(); }

ssize_t HttpConnection::read(char* ptr, size_t size) {
  if (taken_ == buffered_.size()) {
    buffered_.resize(kReadChunk);
    const auto got = waitFor(POLLIN, readDeadline_)
                         ? ::recv(socket_, buffered_.data(), kReadChunk, 0)
                         : -1;
    buffered_.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    taken_ = 0;
    if (got <= 0) {
      readFailed_ = true;
      return got;
    }
  }
  const auto count = std::min(size, buffered_.size() - taken_);
  std::copy_n(buffered_.data() + taken_, count, ptr);
  taken_ += count;
  return static_cast<ssize_t>(count);
}

ssize_t HttpConnection::write(const char* ptr, size_t size) {
  // The first write of an answer is its head, written whole.
  if (!answering_) {
    answering_ = true;
    closeAnswered_ = std::string_view(ptr, size).find(kCloseHeader) !=
                     std::string_view::npos;
  }
  std::size_t sent = 0;
  while (sent < size) {
    if (!is_writable()) return -1;
    const auto wrote = ::send(socket_, ptr + sent, size - sent, MSG_DONTWAIT);
    if (wrote < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    if (wrote > 0) sent += static_cast<std::size_t>(wrote);
  }
  return static_cast<ssize_t>(size);
}

void HttpConnection::get_remote_ip_and_port(std::string& ip, int& port) const {
  addressOf(socket_, true, ip, port);
}

void HttpConnection::get_local_ip_and_port(std::string& ip, int& port) const {
  addressOf(socket_, false, ip, port);
}

int HttpConnection::socket() const { return socket_; }

time_t HttpConnection::duration() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() -
                                                               opened_)
      .count();
}

bool HttpConnection::waitFor(short events, Clock::time_point deadline) const {
  for (;;) {
    if (stopping_()) return false;
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return false;
    const auto slice = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::min<Clock::duration>(left, kStopCheck));
    pollfd watched{socket_, events, 0};
    const int ready =
        ::poll(&watched, 1, static_cast<int>(std::max<long>(slice.count(), 1)));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

}  // namespace zindle::sim
