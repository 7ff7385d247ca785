#include "sim/loopback_server.hpp"

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <httplib.h>
#include <sys/socket.h>

#include <nlohmann/json.hpp>

#include "sim/http_connection.hpp"
#include "sim/port_claim.hpp"

namespace zindle::sim {
namespace {

constexpr const char* kLoopback = "127.0.0.1";
// Far more than cpp-httplib's default of 5 requests on one connection: the
// server polls every 50 ms for up to 30 s, the page every 200 ms.
constexpr std::size_t kRequestsPerConnection = 100000;

// A thread for each connection being served, started when none is free, up
// to `most`, and kept until the server stops; beyond that, connections wait
// for one to end.
class ConnectionThreads : public httplib::TaskQueue {
  // The library's newer task queue says whether it took the job.
  using Taken = decltype(std::declval<httplib::TaskQueue&>().enqueue({}));

 public:
  explicit ConnectionThreads(std::size_t most) : most_(most) {}

  Taken enqueue(std::function<void()> job) override {
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
      if (idle_ < jobs_.size() && threads_.size() < most_) {
        try {
          threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
          // The system has no thread to spare: the connection waits for
          // one of those running, as it would beyond `most_`.
        }
      }
    }
    ready_.notify_one();
    return static_cast<Taken>(true);
  }

  // Runs the jobs still waiting (each ends at once: the server is
  // stopping) and waits for every thread.
  void shutdown() override {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    ready_.notify_all();
    for (auto& thread : threads_) thread.join();
  }

 private:
  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      ++idle_;
      ready_.wait(lock, [this] { return ending_ || !jobs_.empty(); });
      --idle_;
      if (jobs_.empty()) return;
      auto job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job();
      lock.lock();
    }
  }

  const std::size_t most_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  std::size_t idle_ = 0;
  bool ending_ = false;
};

// The library's server, each of whose connections goes through an
// HttpConnection: the library's own waits only each read, for as long as
// the client keeps sending, and stopping waits for all of them. Of the
// library it takes what a server of its own is given to override and call,
// and keeps its settings and state itself, so that they mean the same in
// every version of the library.
class BoundedServer : public httplib::Server {
 public:
  // The listening socket, as the library hands it to the socket options
  // before binding it.
  void listensOn(int socket) { listening_ = socket; }

  // The library listens with a backlog of 5: a burst of connections beyond
  // it has its handshakes dropped and retried a second later, the page's
  // poll among them. Listening again only widens the queue.
  void widenBacklog() const { ::listen(listening_, SOMAXCONN); }

  // Every connection's waits end from now on.
  void stopping(bool now) { stopping_ = now; }

  void keepIdle(std::chrono::seconds idle) { idle_ = idle; }

 private:
  bool process_and_close_socket(socket_t socket) override {
    HttpConnection connection(socket, [this] { return stopping_.load(); });
    for (std::size_t left = kRequestsPerConnection;
         left > 0 && connection.awaitRequest(idle_); --left) {
      connection.startRequest(HttpConnection::Clock::now() +
                              LoopbackServer::kRequestTime);
      bool closed = false;
      if (!answer(connection, left == 1, closed) || closed ||
          connection.closeAnswered() || connection.readFailed()) {
        break;
      }
    }
    return true;
  }

  // One request on `connection`, in the words of the library's generation.
  template <typename Connection>
  bool answer(Connection& connection, bool last, bool& closed) {
    if constexpr (requires { process_request(connection, last, closed, {}); }) {
      return process_request(connection, last, closed, {});
    } else {
      std::string remoteIp;
      std::string localIp;
      int remotePort = 0;
      int localPort = 0;
      connection.get_remote_ip_and_port(remoteIp, remotePort);
      connection.get_local_ip_and_port(localIp, localPort);
      return process_request(connection, remoteIp, remotePort, localIp,
                             localPort, last, closed, {});
    }
  }

  int listening_ = -1;
  std::atomic<bool> stopping_{false};
  std::chrono::seconds idle_ = LoopbackServer::kIdleTime;
};

BoundedServer& bounded(httplib::Server& server) {
  return static_cast<BoundedServer&>(server);
}

}  // namespace

LoopbackServer::LoopbackServer(std::string what, std::size_t connections)
    : what_(std::move(what)), server_(std::make_unique<BoundedServer>()) {
  server_->new_task_queue = [connections] {
    return new ConnectionThreads(connections);
  };
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
  errno = 0;
  int bound = -1;
  if (port == 0) {
    // A port of the system's choosing without the option, so that macOS
    // chooses none another socket listens on at every address; none of
    // this program's earlier runs is waiting on it.
    server_->set_socket_options(
        [this](int socket) { bounded(*server_).listensOn(socket); });
    bound = server_->bind_to_any_port(kLoopback);
  } else if (isListenedOn(port)) {
    errno = EADDRINUSE;
  } else {
    server_->set_socket_options([this](int socket) {
      bounded(*server_).listensOn(socket);
      claimPortAlone(socket);
    });
    if (server_->bind_to_port(kLoopback, port)) bound = port;
  }
  if (bound < 0) {
    const int reason = errno;
    throw std::runtime_error(
        "cannot bind the " + what_ + " port " + std::to_string(port) +
        (reason != 0 ? std::string(": ") + std::strerror(reason) : ""));
  }
  bounded(*server_).widenBacklog();
  bounded(*server_).stopping(false);
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

void LoopbackServer::keepIdle(std::chrono::seconds idle) {
  bounded(*server_).keepIdle(idle);
}

void LoopbackServer::stop() {
  bounded(*server_).stopping(true);
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
