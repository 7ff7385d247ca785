#include "sim/query_server.hpp"

#include <chrono>

#include <httplib.h>

#include "sim/activity_log.hpp"
#include "sim/namespace_tree.hpp"
#include "sim/recorder_model.hpp"

namespace zindle::sim {
namespace {

constexpr const char* kJson = "application/json";
constexpr const char* kHostInfo = "HOST_INFO";
constexpr const char* kGarbage = "<html>this is not JSON";

// Each open connection holds a thread; hung requests hold theirs for up to
// kLongestHold. Enough that many of those leave room for the rest.
constexpr std::size_t kConnections = 128;
constexpr auto kLongestHold = std::chrono::seconds(60);
// How often a held request looks whether the hang fault was lifted.
constexpr auto kHangCheck = std::chrono::milliseconds(10);

}  // namespace

QueryServer::QueryServer(RecorderModel& model, ActivityLog& log,
                         std::string name, int oscPort, SavedApp saved)
    : model_(model),
      log_(log),
      name_(std::move(name)),
      oscPort_(oscPort),
      listener_("OSCQuery", kConnections),
      saved_(std::move(saved)),
      hostInfoText_(
          saved_.hostInfoText.value_or(jsonText(hostInfo(name_, oscPort_)))) {}

QueryServer::~QueryServer() { stop(); }

int QueryServer::start(int port) {
  using Outcome = httplib::Server::HandlerResponse;
  auto& server = listener_.http();
  server.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        log_.write("http " + request.method + " " + request.target);
        // The app's clients (the server, curl as the README shows it) ask
        // for 127.0.0.1 or localhost; a page elsewhere must not read the
        // namespace, folder paths included, through a name of its own.
        if (!isAddressedHere(request)) {
          response.status = 403;
          return Outcome::Handled;
        }
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
  server.Get(
      ".*", [this](const httplib::Request& request,
                   httplib::Response& response) { answer(request, response); });
  return listener_.start(port);
}

void QueryServer::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  released_.notify_all();
  listener_.stop();
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
  // A target that is no path ("?", "#") names no node.
  if (!request.path.starts_with('/')) {
    response.status = 404;
    return;
  }
  if (request.has_param(kHostInfo)) {
    response.set_content(hostInfoText_, kJson);
    return;
  }
  if (saved_.namespaceText) {
    if (request.path == "/" && request.params.empty()) {
      response.set_content(*saved_.namespaceText, kJson);
    } else {
      answerNode(saved_.namespaceTree, request, response);
    }
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
  answerNode(namespaceTree(snapshot), request, response);
}

void QueryServer::answerNode(const nlohmann::json& tree,
                             const httplib::Request& request,
                             httplib::Response& response) {
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
