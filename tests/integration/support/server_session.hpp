#pragma once
// The real server binary over pipes, spoken to one JSON-RPC line at a time.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/child_process.hpp"

namespace zindle::testing {

using Json = nlohmann::json;

// The server's answer when the app is not on the sixteen ports from `first`.
std::string unreachableText(int first);

class ServerSession {
 public:
  // Starts the server with ZINDLE_OSCQUERY_PORT set to `port` (or unset).
  explicit ServerSession(std::optional<int> port,
                         std::vector<EnvChange> env = {});
  ~ServerSession();

  // Sends one request and returns its response line parsed; nothing when no
  // line comes within `timeout`.
  std::optional<Json> request(const std::string& method, Json params,
                              Milliseconds timeout = Milliseconds(10000));
  // The "result" of a tools/call.
  Json callTool(const std::string& name, Json arguments = Json::object(),
                Milliseconds timeout = Milliseconds(40000));
  // A tool call with no arguments, timed from request to answer.
  struct TimedText {
    bool isError;
    std::string text;
    std::chrono::steady_clock::duration elapsed;
  };
  TimedText timedCall(const std::string& name);
  // The text of a tool result, and whether it was an error.
  static std::pair<bool, std::string> textOf(const Json& result);

  ChildProcess& process() { return process_; }

 private:
  ChildProcess process_;
  int nextId_ = 1;
};

}  // namespace zindle::testing
