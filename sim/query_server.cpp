#include "sim/query_server.hpp"

#include <chrono>
#include <stdexcept>

#include <httplib.h>

#include "sim/activity_log.hpp"
#include "sim/namespace_tree.hpp"
#include "sim/recorder_model.hpp"

namespace zindle::sim {
namespace {

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kJson = "application/json";
constexpr const char* kHostInfo = "HOST_INFO";
constexpr const char* kGarbage = "<html>this is not JSON";

// Texts arrive from OSC as any bytes; bytes that are not UTF-8 are written
// as U+FFFD rather than failing the whole answer.
std::string jsonText(const nlohmann::json& document) {
  return document.dump(-1, ' ', false,
                       nlohmann::json::error_handler_t::replace);
}

// The server keeps one connection for all the reads of a tool call, and
// polls every 50 ms for up to 30 s: far more than cpp-httplib's default of
// 5 requests on one connection.
constexpr std::size_t kRequestsPerConnection = 100000;

// Each open connection holds a worker; hung requests hold theirs for up to
// kLongestHold. Enough workers that a few of those leave room for the rest.
constexpr std::size_t kWorkers = 32;
constexpr auto kLongestHold = std::chrono::seconds(60);
// How often a held request looks whether the hang fault was lifted.
constexpr auto kHangCheck = std::chrono::milliseconds(10);

}  // namespace

QueryServer::QueryServer(RecorderModel& model, ActivityLog& log,
                         std::string name, int oscPort)
    : model_(model),
      log_(log),
      name_(std::move(name)),
      oscPort_(oscPort),
      hostInfoText_(jsonText(hostInfo(name_, oscPort_))) {}

QueryServer::~QueryServer() { stop(); }

int QueryServer::start(int port) {
  using Outcome = httplib::Server::HandlerResponse;
  server_ = std::make_unique<httplib::Server>();
  server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  server_->set_keep_alive_max_count(kRequestsPerConnection);
  // An answer leaves in two writes (head, then body); with Nagle's delay on,
  // the body waits for the client's delayed acknowledgement of the head,
  // some 40 ms per read on a kept connection.
  server_->set_tcp_nodelay(true);
  server_->set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        log_.write("http " + request.method + " " + request.target);
        switch (model_.httpFault()) {
          case HttpFault::none:
            return Outcome::Unhandled;
          case HttpFault::notFound:
            response.status = 404;
            return Outcome::Handled;
          case HttpFault::garbage:
            response.status = 200;
            response.set_content(kGarbage, kJson);
            return Outcome::Handled;
          case HttpFault::hang:
            if (holdWhileHanging()) return Outcome::Unhandled;
            response.status = 503;
            return Outcome::Handled;
        }
        return Outcome::Unhandled;
      });
  server_->Get(
      ".*", [this](const httplib::Request& request,
                   httplib::Response& response) { answer(request, response); });

  const int bound = port == 0 ? server_->bind_to_any_port(kLoopback)
                    : server_->bind_to_port(kLoopback, port) ? port
                                                             : -1;
  if (bound < 0) {
    throw std::runtime_error("cannot bind the OSCQuery port " +
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
      throw std::runtime_error("the OSCQuery server could not start");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return bound;
}

void QueryServer::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  released_.notify_all();
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
}

bool QueryServer::holdWhileHanging() {
  const auto deadline = std::chrono::steady_clock::now() + kLongestHold;
  std::unique_lock lock(mutex_);
  while (!stopping_ && model_.httpFault() == HttpFault::hang) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    released_.wait_for(lock, kHangCheck);
  }
  return !stopping_;
}

void QueryServer::answer(const httplib::Request& request,
                         httplib::Response& response) {
  if (request.has_param(kHostInfo)) {
    response.set_content(hostInfoText_, kJson);
    return;
  }
  Snapshot snapshot = model_.snapshot();
  if (request.path == "/" && request.params.empty()) {
    std::lock_guard lock(cacheMutex_);
    if (cachedSnapshot_ != snapshot) {
      cachedNamespace_ = jsonText(namespaceTree(snapshot));
      cachedSnapshot_ = std::move(snapshot);
    }
    response.set_content(cachedNamespace_, kJson);
    return;
  }
  const auto tree = namespaceTree(snapshot);
  const auto* node = findNode(tree, request.path);
  if (node == nullptr) {
    response.status = 404;
    return;
  }
  if (request.params.empty()) {
    response.set_content(jsonText(*node), kJson);
    return;
  }
  // "?VALUE" and the like ask for one attribute of the node.
  const auto& attribute = request.params.begin()->first;
  const auto found = node->find(attribute);
  if (found == node->end()) {
    response.status = 404;
    return;
  }
  response.set_content(jsonText({{attribute, *found}}), kJson);
}

}  // namespace zindle::sim
