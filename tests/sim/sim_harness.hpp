#pragma once

// A simulator running inside the test process on free loopback ports, and
// the means to talk to it as the server does: HTTP GETs of JSON and OSC
// datagrams sent with liblo.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

namespace zindle::sim {
class Simulator;
}

namespace zindle::sim::testing {

// One OSC argument as a test sends it; the alternative picks the type tag:
// int32_t 'i', float 'f', double 'd', int64_t 'h', std::string 's'.
using SentArgument =
    std::variant<std::int32_t, float, double, std::int64_t, std::string>;

class RunningSim {
 public:
  // Starts a simulator with `arguments` (the command line after the program
  // name) plus "--port 0"; the OSC port is any free one unless given.
  explicit RunningSim(std::vector<std::string> arguments = {});
  ~RunningSim();

  int queryPort() const;
  int oscPort() const;

  // The JSON body of a GET of `target`; a test failure and null when the
  // answer is not 200 with JSON.
  nlohmann::json get(const std::string& target) const;

  // The first element of the VALUE of the node at `path`.
  nlohmann::json value(const std::string& path) const;

  // Sends one OSC message to the simulator's UDP port.
  void send(const std::string& address,
            const std::vector<SentArgument>& arguments) const;

  // Waits, reading every few milliseconds, until the node at `path` holds
  // `expected`; false after a second without it.
  bool waitForValue(const std::string& path,
                    const nlohmann::json& expected) const;

  // Sends the message, then waits until /status/error reads `error`.
  bool sendExpectingError(const std::string& address,
                          const std::vector<SentArgument>& arguments,
                          const std::string& error) const;

 private:
  std::ostringstream log_;  // only written with --verbose
  std::unique_ptr<Simulator> simulator_;
};

// Polls `condition` every few milliseconds until it holds or `limit` passes.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit = std::chrono::seconds(1));

}  // namespace zindle::sim::testing
