#include "support/apps.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <regex>
#include <stdexcept>
#include <thread>

#include <lo/lo.h>

namespace zindle::testing {
namespace {

sockaddr_in loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int boundPort(int socket) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

// A plain HTTP/1.0 GET, so that the tests read the apps with code of their
// own rather than the server's reader.
std::optional<std::pair<int, std::string>> httpGet(int port,
                                                   const std::string& path) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  auto address = loopback(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return std::nullopt;
  }
  std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
  if (send(fd, request.data(), request.size(), 0) < 0) {
    close(fd);
    return std::nullopt;
  }
  std::string answer;
  char chunk[65536];
  for (;;) {
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, 2000) <= 0) break;
    ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) break;
    answer.append(chunk, static_cast<std::size_t>(n));
  }
  close(fd);
  auto headersEnd = answer.find("\r\n\r\n");
  if (answer.size() < 12 || headersEnd == std::string::npos)
    return std::nullopt;
  return std::pair{std::stoi(answer.substr(9, 3)),
                   answer.substr(headersEnd + 4)};
}

}  // namespace

Simulator::Simulator(std::vector<std::string> options, int port,
                     const std::string& program) {
  std::vector<std::string> argv{program, "--port", std::to_string(port)};
  argv.insert(argv.end(), options.begin(), options.end());
  process_ = std::make_unique<ChildProcess>(argv);
  auto line = process_->readLine(Milliseconds(5000));
  std::smatch match;
  static const std::regex ready(R"(query port (\d+), osc port (\d+))");
  if (line && std::regex_search(*line, match, ready)) {
    queryPort_ = std::stoi(match[1]);
    oscPort_ = std::stoi(match[2]);
  }
}

Simulator::~Simulator() {
  process_->kill(SIGTERM);
  process_->wait(Milliseconds(3000));
}

void Simulator::osc(const std::string& address, int number) const {
  lo_address target =
      lo_address_new("127.0.0.1", std::to_string(oscPort_).c_str());
  lo_send(target, address.c_str(), "i", number);
  lo_address_free(target);
}

void Simulator::osc(const std::string& address, float number) const {
  lo_address target =
      lo_address_new("127.0.0.1", std::to_string(oscPort_).c_str());
  lo_send(target, address.c_str(), "f", number);
  lo_address_free(target);
}

std::optional<Json> Simulator::get(const std::string& path) const {
  auto answer = httpGet(queryPort_, path);
  if (!answer || answer->first != 200) return std::nullopt;
  return Json::parse(answer->second, nullptr, false);
}

Json Simulator::value(const std::string& path) const {
  auto node = get(path);
  if (!node || !node->is_object() || !node->contains("VALUE")) return nullptr;
  return (*node)["VALUE"][0];
}

bool Simulator::waitFor(
    const std::function<bool(const Simulator&)>& condition) const {
  auto deadline = std::chrono::steady_clock::now() + Milliseconds(2000);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition(*this)) return true;
    std::this_thread::sleep_for(Milliseconds(10));
  }
  return condition(*this);
}

LoopbackHttp::Script fakeApp(std::string name, Json oscPort, Json tree) {
  return [name, oscPort, tree](const std::string& target) {
    if (target != "/?HOST_INFO") return HttpReply::json(200, tree.dump());
    const Json info{{"NAME", name},
                    {"OSC_PORT", oscPort},
                    {"OSC_IP", "127.0.0.1"},
                    {"OSC_TRANSPORT", "UDP"}};
    return HttpReply::json(200, info.dump());
  };
}

DatagramCollector::DatagramCollector() {
  socket_ = socket(AF_INET, SOCK_DGRAM, 0);
  auto address = loopback(0);
  if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) !=
      0) {
    throw std::runtime_error("cannot bind a UDP socket");
  }
  port_ = boundPort(socket_);
}

DatagramCollector::~DatagramCollector() { close(socket_); }

std::optional<std::string> DatagramCollector::next(Milliseconds timeout) {
  pollfd ready{socket_, POLLIN, 0};
  if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0)
    return std::nullopt;
  char buffer[65536];
  ssize_t n = recv(socket_, buffer, sizeof buffer, 0);
  if (n < 0) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(n));
}

int freePortRange(int count) {
  // Ask the system for a free port, then check that the ones after it are
  // free too; try again elsewhere when they are not.
  for (int attempt = 0; attempt < 50; ++attempt) {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    auto address = loopback(0);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int first = boundPort(probe);
    close(probe);
    if (first + count > 65535) continue;
    bool allFree = true;
    for (int port = first; port < first + count && allFree; ++port) {
      int fd = socket(AF_INET, SOCK_STREAM, 0);
      // As the servers bind: a port a closed connection still holds in
      // TIME_WAIT is free to them.
      const int on = 1;
      setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
      auto candidate = loopback(port);
      allFree = bind(fd, reinterpret_cast<sockaddr*>(&candidate),
                     sizeof candidate) == 0;
      close(fd);
    }
    if (allFree) return first;
  }
  throw std::runtime_error("no free range of ports");
}

}  // namespace zindle::testing
