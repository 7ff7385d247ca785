#pragma once

// An HTTP server on 127.0.0.1 alone, serving on a thread of its own: what the
// OSCQuery server and the window share.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include <nlohmann/json_fwd.hpp>

// What the servers built on it name in their handlers.
namespace httplib {
struct Request;
struct Response;
class Server;
}  // namespace httplib

namespace zindle::sim {

// Both serve clients that keep one connection for many reads (the server
// for every read of a call, the page for its polling), so a connection
// serves any number of requests and every answer leaves at once.
//
// Each connection is served on a thread of its own, up to `connections` at
// once, so that a client who is slow to ask keeps no other waiting; each
// request has kRequestTime to arrive whole, a connection is closed after
// its idle time (kIdleTime unless told) without one, and stop() ends every
// connection within a second, whatever its client does.
class LoopbackServer {
 public:
  static constexpr auto kRequestTime = std::chrono::seconds(2);
  static constexpr auto kIdleTime = std::chrono::seconds(5);

  // `what` names the port in errors, as in "cannot bind the `what` port";
  // `connections` is how many are served at once; more wait their turn.
  LoopbackServer(std::string what, std::size_t connections);
  ~LoopbackServer();

  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  // The server, to be given its handlers before start().
  httplib::Server& http() { return *server_; }

  // Binds 127.0.0.1:`port` (0: any free port) and starts serving. Returns
  // the port bound. Throws std::runtime_error when the port cannot be had,
  // also when another program listens on it at every address: the server
  // would find this one there in its place.
  int start(int port);

  // How long a connection may wait for its next request; before start().
  void keepIdle(std::chrono::seconds idle);

  // Stops serving and waits for the thread to end. Safe to call more than
  // once, and before start().
  void stop();

 private:
  const std::string what_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> listenEnded_{false};
};

// Whether `request` is addressed to this machine by one of its own names,
// 127.0.0.1 or localhost (with any port). A web page elsewhere may point a
// name of its own at 127.0.0.1 (DNS rebinding) and read, through the
// browser, whatever these servers answer, folders and all.
bool isAddressedHere(const httplib::Request& request);

// `document` as the text of an answer. Texts arrive from OSC as any bytes;
// bytes that are not UTF-8 are written as U+FFFD rather than failing the
// whole answer.
std::string jsonText(const nlohmann::json& document);

}  // namespace zindle::sim
