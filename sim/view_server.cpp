#include "sim/view_server.hpp"

#include <chrono>
#include <string_view>

#include <httplib.h>

#include "sim/recent_messages.hpp"
#include "sim/recorder_model.hpp"
#include "sim/view_state.hpp"

namespace zindle::sim {
namespace {

constexpr std::string_view kStatePath = "/state";
constexpr std::string_view kPagePath = "/";
constexpr std::string_view kPageFile = "index.html";

// A page or two polling a few times a second each keep a connection open,
// with room for many more clients that are slow to ask. A connection left
// idle for a second is closed.
constexpr std::size_t kConnections = 128;
constexpr auto kIdleTime = std::chrono::seconds(1);

// The page, its style and script come from this server alone, so the
// browser is told to run nothing else and to load nothing from elsewhere.
const httplib::Headers kSafetyHeaders = {
    {"Content-Security-Policy", "default-src 'self'; base-uri 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Cache-Control", "no-store"},
};

std::string_view contentType(std::string_view name) {
  if (name.ends_with(".html")) return "text/html; charset=utf-8";
  if (name.ends_with(".css")) return "text/css; charset=utf-8";
  return "text/javascript; charset=utf-8";
}

std::string_view reasonOf(int status) {
  switch (status) {
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 414:
      return "URI Too Long";
    default:
      return status < 500 ? "Bad Request" : "Internal Server Error";
  }
}

}  // namespace

ViewServer::ViewServer(RecorderModel& model, const RecentMessages& messages,
                       std::vector<Source> catalog)
    : model_(model),
      messages_(messages),
      catalog_(std::move(catalog)),
      listener_("view", kConnections) {}

int ViewServer::start(int port) {
  using Outcome = httplib::Server::HandlerResponse;
  auto& server = listener_.http();
  listener_.keepIdle(kIdleTime);
  server.set_default_headers(kSafetyHeaders);
  server.set_pre_routing_handler(
      [](const httplib::Request& request, httplib::Response& response) {
        if (request.method != "GET" && request.method != "HEAD") {
          response.status = 405;
          response.set_header("Allow", "GET, HEAD");
        } else if (request.target.size() > kLongestTarget) {
          response.status = 414;
        } else if (!isAddressedHere(request)) {
          response.status = 403;
        } else {
          return Outcome::Unhandled;
        }
        return Outcome::Handled;
      });
  // Every error, whether refused above or by the library itself (a request
  // it cannot read), is one line of plain text, and ends the connection: a
  // refused request's body is left unread.
  server.set_error_handler(
      [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::to_string(response.status) + " " +
                                 std::string(reasonOf(response.status)) + "\n",
                             "text/plain; charset=utf-8");
        response.set_header("Connection", "close");
      });
  server.Get(
      ".*", [this](const httplib::Request& request,
                   httplib::Response& response) { answer(request, response); });
  return listener_.start(port);
}

void ViewServer::stop() { listener_.stop(); }

void ViewServer::answer(const httplib::Request& request,
                        httplib::Response& response) {
  if (request.path == kStatePath) {
    response.set_content(jsonText(viewState(model_.snapshot(), catalog_,
                                            messages_.newestFirst())),
                         "application/json");
    return;
  }
  // A target that is no path ("?", "#") names no file.
  if (!request.path.starts_with('/')) {
    response.status = 404;
    return;
  }
  const auto name = request.path == kPagePath
                        ? kPageFile
                        : std::string_view(request.path).substr(1);
  for (const auto& file : viewFiles()) {
    if (file.name == name) {
      response.set_content(file.text.data(), file.text.size(),
                           std::string(contentType(name)).c_str());
      return;
    }
  }
  response.status = 404;
}

}  // namespace zindle::sim
