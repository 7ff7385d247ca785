#include "support/loopback_http.hpp"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <stdexcept>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zindle::testing {
namespace {

// False once the reader has gone (SIGPIPE is ignored: see the constructor).
bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), 0);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// False when the connection is to be closed.
bool write(int fd, const HttpReply& reply) {
  const std::string blanks(64 * 1024, ' ');
  bool open = writeAll(fd, reply.bytes);
  for (auto left = reply.blanks; open && left > 0;
       left -= std::min(left, blanks.size())) {
    open = writeAll(fd, std::string_view(blanks).substr(0, left));
  }
  return open && writeAll(fd, reply.tail) && !reply.close;
}

}  // namespace

HttpReply HttpReply::json(int status, std::string_view body,
                          std::string_view headers) {
  std::string bytes = "HTTP/1.1 " + std::to_string(status) +
                      " X\r\nContent-Type: application/json\r\n"
                      "Content-Length: " +
                      std::to_string(body.size()) + "\r\n";
  return {bytes.append(headers).append("\r\n").append(body)};
}

LoopbackHttp::LoopbackHttp(Script script, int port)
    : script_(std::move(script)), listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
  // A client that hangs up early must not end the test with a signal; macOS
  // has no MSG_NOSIGNAL to ask for that one send at a time.
  std::signal(SIGPIPE, SIG_IGN);
  const int on = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  auto* named = reinterpret_cast<sockaddr*>(&address);
  if (::bind(listener_, named, length) != 0 || ::listen(listener_, 64) != 0 ||
      ::getsockname(listener_, named, &length) != 0) {
    ::close(listener_);
    throw std::runtime_error("cannot listen on port " + std::to_string(port));
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

LoopbackHttp::~LoopbackHttp() {
  stop_ = true;
  thread_.join();
  ::close(listener_);
}

std::vector<std::string> LoopbackHttp::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::string LoopbackHttp::received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void LoopbackHttp::run() {
  struct Connection {
    int fd;
    std::string pending;  // the part of a request not yet complete
    bool hung = false;
  };
  // Reads what arrived and answers each request it completes; false once
  // the connection is done with.
  const auto serve = [this](Connection& c) {
    char buffer[4096];
    const ssize_t got = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (got > 0) {
      std::lock_guard lock(mutex_);
      received_.append(buffer, static_cast<std::size_t>(got));
    }
    if (got <= 0 || c.hung) return got > 0;
    c.pending.append(buffer, static_cast<std::size_t>(got));
    for (auto end = c.pending.find("\r\n\r\n"); end != std::string::npos;
         end = c.pending.find("\r\n\r\n")) {
      const std::string head = c.pending.substr(0, end + 4);
      c.pending.erase(0, end + 4);
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(head);
      }
      const auto from = head.find(' ') + 1;  // the target follows the method
      const HttpReply reply =
          script_(head.substr(from, head.find(' ', from) - from));
      c.hung = reply.hang;
      if (c.hung) return true;
      if (!write(c.fd, reply)) return false;
    }
    return true;
  };
  std::vector<Connection> open;
  while (!stop_) {
    std::vector<pollfd> watched{{listener_, POLLIN, 0}};
    for (const Connection& c : open) watched.push_back({c.fd, POLLIN, 0});
    // A short wait, so that the destructor is never kept long.
    if (::poll(watched.data(), watched.size(), 10) <= 0) continue;
    for (std::size_t i = 1; i < watched.size(); ++i) {
      if (watched[i].revents != 0 && !serve(open[i - 1])) {
        ::close(open[i - 1].fd);
        open[i - 1].fd = -1;
      }
    }
    std::erase_if(open, [](const Connection& c) { return c.fd < 0; });
    if ((watched[0].revents & POLLIN) != 0) {
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd >= 0) {
        open.push_back({fd, {}});
        ++connections_;
      }
    }
  }
  for (const Connection& c : open) ::close(c.fd);
}

}  // namespace zindle::testing
