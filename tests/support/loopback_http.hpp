#pragma once
// A scripted HTTP server on 127.0.0.1 for tests. A thread of its own answers
// every request with what the script gives for the request's target (such as
// "/?HOST_INFO"), keeping each connection open for the next request.

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zindle::testing {

struct HttpReply {
  // A whole HTTP/1.1 response with a Content-Length; `headers` end in CRLF.
  static HttpReply json(int status, std::string_view body,
                        std::string_view headers = "");

  std::string bytes{};     // written as they are,
  std::size_t blanks = 0;  // then this many spaces, streamed piece by piece,
  std::string tail{};      // then these;
  bool close = false;      // then the connection is closed.
  bool hang = false;       // Or nothing is written and the connection held.
};

class LoopbackHttp {
 public:
  using Script = std::function<HttpReply(const std::string& target)>;

  // Listens on `port`, or on a free port for 0; throws std::runtime_error
  // when it cannot. The script runs on the server's thread.
  explicit LoopbackHttp(Script script, int port = 0);
  ~LoopbackHttp();

  int port() const { return port_; }
  int connections() const { return connections_; }  // accepted so far
  // The head of every request read so far (up to its blank line), in order.
  std::vector<std::string> requests() const;
  // Every byte read so far, requests or not.
  std::string received() const;

 private:
  void run();

  Script script_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> requests_;
  std::string received_;
  std::thread thread_;
};

}  // namespace zindle::testing
