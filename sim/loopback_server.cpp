#include "sim/loopback_server.hpp"

#include <chrono>
#include <exception>
#include <stdexcept>
#include <string_view>

#include <httplib.h>

#include <nlohmann/json.hpp>

namespace zindle::sim {
namespace {

constexpr const char* kLoopback = "127.0.0.1";
// Far more than cpp-httplib's default of 5 requests on one connection: the
// server polls every 50 ms for up to 30 s, the page every 200 ms.
constexpr std::size_t kRequestsPerConnection = 100000;

}  // namespace

LoopbackServer::LoopbackServer(std::string what, std::size_t workers)
    : what_(std::move(what)), server_(std::make_unique<httplib::Server>()) {
  server_->new_task_queue = [workers] {
    return new httplib::ThreadPool(workers);
  };
  server_->set_keep_alive_max_count(kRequestsPerConnection);
  // An answer leaves in two writes (head, then body); with Nagle's delay on,
  // the body waits for the client's delayed acknowledgement of the head,
  // some 40 ms per read on a kept connection.
  server_->set_tcp_nodelay(true);
  // Without a handler of its own, the library would tell the client the
  // exception's text in a header.
  server_->set_exception_handler(
      [](const httplib::Request&, httplib::Response& response,
         std::exception_ptr) { response.status = 500; });
}

LoopbackServer::~LoopbackServer() { stop(); }

int LoopbackServer::start(int port) {
  const int bound = port == 0 ? server_->bind_to_any_port(kLoopback)
                    : server_->bind_to_port(kLoopback, port) ? port
                                                             : -1;
  if (bound < 0) {
    throw std::runtime_error("cannot bind the " + what_ + " port " +
                             std::to_string(port));
  }
  listenEnded_ = false;
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    listenEnded_ = true;
  });
  // stop() does nothing to a server that is not running yet, so return
  // only once it runs.
  while (!server_->is_running()) {
    if (listenEnded_) {
      thread_.join();
      throw std::runtime_error("the " + what_ + " server could not start");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return bound;
}

void LoopbackServer::stop() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

bool isAddressedHere(const httplib::Request& request) {
  const std::string host = request.get_header_value("Host");
  const std::string_view name =
      std::string_view(host).substr(0, host.rfind(':'));
  return name == "127.0.0.1" || name == "localhost";
}

std::string jsonText(const nlohmann::json& document) {
  return document.dump(-1, ' ', false,
                       nlohmann::json::error_handler_t::replace);
}

}  // namespace zindle::sim
