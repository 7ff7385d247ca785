#pragma once
// A tiny HTTP server on 127.0.0.1 for the reader's tests, on plain sockets:
// a thread of its own accepts connections and answers every request it
// reads with the bytes a script gives, keeping the connection open unless
// told to close it. It counts the connections it accepted and keeps the
// requests it read.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zindle::testing {

struct HttpReply {
  std::string bytes;    // written as they are
  bool close = false;   // close the connection once they are written
  bool silent = false;  // write nothing, ever, and hold the connection open
  // Then this many blanks, written piece by piece so that a huge body costs
  // the test no memory.
  std::size_t blanks = 0;
  std::string trailer = {};  // written after the blanks
};

// A whole HTTP/1.1 response with a Content-Length.
inline std::string httpResponse(int status, std::string_view reason,
                                std::string_view body,
                                std::string_view headers = "") {
  std::string text = "HTTP/1.1 " + std::to_string(status) + " ";
  text.append(reason);
  text += "\r\nContent-Type: application/json\r\nContent-Length: " +
          std::to_string(body.size()) + "\r\n";
  text.append(headers);
  text += "\r\n";
  text.append(body);
  return text;
}

inline HttpReply okJson(std::string_view body) {
  return {httpResponse(200, "OK", body)};
}

// A socket bound to a loopback port and never listening: connecting to that
// port is refused, and no other test can take it while this lives.
class RefusingPort {
 public:
  RefusingPort() : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~RefusingPort() { ::close(fd_); }
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;

  std::int64_t port() const { return port_; }

 private:
  int fd_;
  std::int64_t port_ = 0;
};

class LoopbackHttpServer {
 public:
  using Script = std::function<HttpReply(const std::string& request)>;

  explicit LoopbackHttpServer(Script script)
      : script_(std::move(script)),
        listener_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 16);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
  }

  ~LoopbackHttpServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  std::int64_t port() const { return port_; }
  int connections() const { return connections_; }
  std::vector<std::string> requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }

 private:
  struct Connection {
    int fd;
    std::string pending;  // bytes of a request not yet complete
    bool silent = false;
  };

  void run() {
    std::vector<Connection> open;
    while (!stop_) {
      std::vector<pollfd> watched{{listener_, POLLIN, 0}};
      for (const Connection& c : open) watched.push_back({c.fd, POLLIN, 0});
      // A short wait, so that the destructor is never kept long.
      if (::poll(watched.data(), watched.size(), 10) <= 0) continue;
      if (watched[0].revents & POLLIN) {
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd >= 0) {
#ifdef SO_NOSIGPIPE
          const int on = 1;
          ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
          ++connections_;
          open.push_back({fd, {}});
        }
      }
      for (std::size_t i = 1; i < watched.size(); ++i) {
        if (watched[i].revents == 0) continue;
        Connection& c = open[i - 1];
        if (!serve(c)) {
          ::close(c.fd);
          c.fd = -1;
        }
      }
      std::erase_if(open, [](const Connection& c) { return c.fd < 0; });
    }
    for (const Connection& c : open) ::close(c.fd);
  }

  // Reads what arrived and answers each complete request; false once the
  // connection is done with.
  bool serve(Connection& c) {
    char buffer[4096];
    const ssize_t got = ::recv(c.fd, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    if (c.silent) return true;
    c.pending.append(buffer, static_cast<std::size_t>(got));
    for (auto end = c.pending.find("\r\n\r\n"); end != std::string::npos;
         end = c.pending.find("\r\n\r\n")) {
      const std::string request = c.pending.substr(0, end + 4);
      c.pending.erase(0, end + 4);
      {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
      }
      const HttpReply reply = script_(request);
      if (reply.silent) {
        c.silent = true;
        return true;
      }
      if (!writeAll(c.fd, reply.bytes) || !writeBlanks(c.fd, reply.blanks) ||
          !writeAll(c.fd, reply.trailer) || reply.close) {
        return false;
      }
    }
    return true;
  }

  static bool writeBlanks(int fd, std::size_t count) {
    const std::string piece(64 * 1024, ' ');
    for (; count > piece.size(); count -= piece.size()) {
      if (!writeAll(fd, piece)) return false;
    }
    return writeAll(fd, std::string_view(piece).substr(0, count));
  }

  static bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
#ifdef MSG_NOSIGNAL
      const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
#else
      const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), 0);
#endif
      if (sent <= 0) return false;  // the reader gave up on the answer
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

  Script script_;
  int listener_;
  std::int64_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::thread thread_;
};

}  // namespace zindle::testing
