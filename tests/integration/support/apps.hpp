#pragma once
// The apps a test runs the server against: the simulator, a fake app on
// LoopbackHttp, and a UDP socket that keeps the datagrams it receives.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/child_process.hpp"
#include "support/loopback_http.hpp"
#include "support/test_paths.hpp"

namespace zindle::testing {

using Json = nlohmann::json;

// The simulator, started on free ports (or on `port`) with `options`.
class Simulator {
 public:
  explicit Simulator(std::vector<std::string> options = {}, int port = 0,
                     const std::string& program = kSimulatorPath);
  ~Simulator();

  int queryPort() const { return queryPort_; }
  int oscPort() const { return oscPort_; }
  bool started() const { return queryPort_ > 0; }

  // Scripts the simulator at run time with one OSC message (/sim/...),
  // sent through liblo, an encoder independent of the server's.
  void osc(const std::string& address, int number) const;
  void osc(const std::string& address, float number) const;
  // GET of `path` on the OSCQuery server; nothing when it does not answer.
  std::optional<Json> get(const std::string& path) const;
  // The value of one namespace node.
  Json value(const std::string& path) const;
  // Waits until `condition` holds on the namespace (up to two seconds).
  bool waitFor(const std::function<bool(const Simulator&)>& condition) const;

  ChildProcess& process() { return *process_; }

 private:
  std::unique_ptr<ChildProcess> process_;
  int queryPort_ = 0;
  int oscPort_ = 0;
};

// A fake app for LoopbackHttp: HOST_INFO announcing `name` and `oscPort`,
// and `tree` for any other target.
LoopbackHttp::Script fakeApp(std::string name, Json oscPort, Json tree);

// A UDP socket on 127.0.0.1 that collects the datagrams sent to it.
class DatagramCollector {
 public:
  DatagramCollector();
  ~DatagramCollector();
  int port() const { return port_; }
  // The next datagram, or nothing within `timeout`.
  std::optional<std::string> next(Milliseconds timeout);

 private:
  int socket_ = -1;
  int port_ = 0;
};

// Finds `count` consecutive TCP ports on 127.0.0.1 that nothing listens on
// (ports another test left in TIME_WAIT count as free).
int freePortRange(int count);

}  // namespace zindle::testing
