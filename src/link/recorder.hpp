#pragma once
// The running app as one tool call sees it: its two ports, found anew for
// every call, and the operations on it. find(), read() and send() live in
// src/link; the operations behind the tools live in src/operations.

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "link/json_text.hpp"
#include "link/osc.hpp"
#include "link/recorder_error.hpp"

namespace zindle::link {

class Clock;
class DatagramSender;
class HttpReader;

inline constexpr std::string_view kApplicationName = "ZindleRecorder";
inline constexpr std::int64_t kDefaultPort = 9231;
inline constexpr std::int64_t kPortsToTry = 16;

inline constexpr auto kHostInfoTimeout = std::chrono::milliseconds(500);
inline constexpr auto kNamespaceTimeout = std::chrono::milliseconds(2000);

// What a tool call needs of the world outside the process. The references
// must outlive every Recorder made from it.
struct Services {
  HttpReader& reader;
  DatagramSender& sender;
  Clock& clock;
  std::int64_t preferredPort = kDefaultPort;
  std::int64_t portsToTry = kPortsToTry;
};

// One reading of the app's namespace.
struct Reading {
  // Full path of every node that has a value, to the first element of its
  // "VALUE" array.
  std::unordered_map<std::string, Json> values;
  // Titles of the sources that can be chosen, in the app's order.
  std::vector<std::string> sources;

  // The value at `path`, or null when the app publishes none there.
  const Json* at(std::string_view path) const;
  // The text at `path`; "" when there is none or it is not a string.
  std::string textAt(std::string_view path) const;
};

// The state and last error of the app, each "" when missing or not a string.
struct CurrentState {
  std::string state;
  std::string error;
};

class Recorder {
 public:
  using Argument = OscArgument;

  std::int64_t queryPort = 0;
  std::int64_t oscPort = 0;

  // Probes preferredPort .. preferredPort + portsToTry - 1 in order, skipping
  // any outside 1 to 65535, and returns the first app that announces itself
  // by name with an "OSC_PORT" from 1 to 65535; later ports are not probed.
  // Throws RecorderError::unreachable when none does. The recorder points to
  // `services`, which must outlive it.
  static Recorder find(const Services& services);

  // Reads the whole namespace. Throws RecorderError::unreachable when the app
  // gives no JSON object in time.
  Reading read() const;

  // Sends one OSC message to the app; never throws, nothing is confirmed.
  // A text is cut at its first zero byte (see encodeOscMessage).
  void send(std::string_view address,
            std::span<const Argument> arguments) const;
  void send(std::string_view address,
            std::initializer_list<Argument> arguments) const {
    send(address,
         std::span<const Argument>(arguments.begin(), arguments.size()));
  }

  // The RecorderError::unreachable of this recorder's port range.
  [[nodiscard]] RecorderError unreachable() const;

  // --- Operations (src/operations) ---

  // The status dictionary from one reading of the app.
  Json status() const;
  // Applies the sources and settings in `arguments`; returns the settings the
  // app did not take (key without the leading "/", the app's value).
  Json configure(const Json& arguments) const;
  // The recorder_configure tool: configure(), then the status.
  Json configureTool(const Json& arguments) const;
  CurrentState currentState() const;
  // Evaluates `condition` at once, then every 50 ms until it holds (true) or
  // `upTo` has passed (false). Errors thrown by `condition` pass through.
  bool wait(std::chrono::milliseconds upTo,
            const std::function<bool()>& condition) const;
  Json start(const Json& arguments) const;
  Json stop() const;

  // Not owned; set by find().
  const Services* services = nullptr;
};

}  // namespace zindle::link
