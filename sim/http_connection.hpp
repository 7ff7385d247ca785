#pragma once

// One accepted HTTP connection as the HTTP library reads and writes it,
// with every wait bounded: by the time a request has to arrive whole, and
// by the server's stopping. A client that sends slowly, or sends nothing,
// or reads nothing, never holds the connection past those.

#include <chrono>
#include <cstddef>
#include <ctime>
#include <functional>
#include <string>

#include <httplib.h>

namespace zindle::sim {

// The members are those of the library's stream in each generation of it
// (Debian 12's 0.11 and the newer one Homebrew ships): each is declared
// without `override`, so that those a generation lacks are plain members.
class HttpConnection : public httplib::Stream {
 public:
  using Clock = std::chrono::steady_clock;

  // Takes `socket`, an accepted connection, and closes it when destroyed.
  // `stopping` is asked between short waits, so that no wait outlasts the
  // server by more than one of them.
  HttpConnection(int socket, std::function<bool()> stopping);
  ~HttpConnection();

  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  // Waits for the first byte of the next request for up to `idle`. False
  // when none came, the client went away, or the server is stopping.
  bool awaitRequest(Clock::duration idle);

  // Starts a request: every read from now on ends by `deadline`, so that a
  // request that has not arrived whole by then is cut off.
  void startRequest(Clock::time_point deadline);

  // Whether the answer to the request asked the client to close.
  bool closeAnswered() const { return closeAnswered_; }

  // Whether a read came to nothing (the time ran out, the server stopped,
  // the client went away): what follows on the connection cannot be read
  // as a request, whatever the library answered.
  bool readFailed() const { return readFailed_; }

  bool is_readable() const;
  bool wait_readable() const;
  bool is_writable() const;
  bool wait_writable() const;
  ssize_t read(char* ptr, size_t size);
  ssize_t write(const char* ptr, size_t size);
  void get_remote_ip_and_port(std::string& ip, int& port) const;
  void get_local_ip_and_port(std::string& ip, int& port) const;
  int socket() const;
  time_t duration() const;  // in milliseconds, since it was accepted

 private:
  // Waits until the socket is ready for `events` (poll's), the deadline
  // passes or the server stops; true only when it is ready.
  bool waitFor(short events, Clock::time_point deadline) const;

  const int socket_;
  const std::function<bool()> stopping_;
  const Clock::time_point opened_ = Clock::now();
  Clock::time_point readDeadline_ = Clock::time_point::max();
  std::string buffered_;  // read from the socket, not yet by the library
  std::size_t taken_ = 0;
  bool answering_ = false;  // the answer's head has been written
  bool closeAnswered_ = false;
  bool readFailed_ = false;
};

}  // namespace zindle::sim
