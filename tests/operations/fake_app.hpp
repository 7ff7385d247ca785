#pragma once
// A stand-in for the app, for the operations' unit tests: it answers the
// namespace read from its values, decodes the OSC messages it is sent, and
// reacts to each through a rule the test can replace. Time is a FakeClock.

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "link/recorder.hpp"
#include "support/fakes.hpp"

namespace zindle::testing {

class FakeApp final : public link::HttpReader, public link::DatagramSender {
 public:
  static constexpr std::int64_t kQueryPort = 9240;
  static constexpr std::int64_t kOscPort = 9000;

  // One message received, decoded: its address and its one argument;
  // "<unreadable>" and 0 when it was not a well-formed OSC message with one
  // argument to the app's port.
  using Message = std::pair<std::string, link::OscArgument>;
  using Rule = std::function<void(FakeApp& app, const Message& message)>;

  // The app's published values, by full path; it starts idle.
  std::map<std::string, Json> values{{"/status/state", "idle"}};
  // The titles offered on "/source"'s range.
  std::vector<std::string> sources;
  // How the app reacts to each message; by default it takes it.
  Rule onMessage = takeSetting;
  bool answering = true;

  std::vector<Message> received;
  // When each namespace read came, counted from the start of the test.
  std::vector<link::Clock::Duration> readTimes;

  // These point into the app, which is therefore never copied.
  FakeClock clock;
  link::Services services{*this, *this, clock};
  link::Recorder recorder{
      .queryPort = kQueryPort, .oscPort = kOscPort, .services = &services};

  // Stores the argument at the address.
  static void takeSetting(FakeApp& app, const Message& message) {
    app.values[message.first] = std::visit(
        [](const auto& value) { return Json(value); }, message.second);
  }
  static void ignore(FakeApp&, const Message&) {}
  // Takes every message but those to `address`.
  static Rule refusing(std::string address) {
    return [address](FakeApp& app, const Message& message) {
      if (message.first != address) takeSetting(app, message);
    };
  }

  // Only the namespace read, of "/" within 2 s, is answered.
  std::optional<std::string_view> get(
      std::int64_t port, std::string_view path,
      std::chrono::milliseconds timeout) override {
    readTimes.push_back(clock.now() - link::Clock::TimePoint());
    const bool isRead = path == "/" && timeout == std::chrono::seconds(2);
    if (!answering || port != kQueryPort || !isRead) return std::nullopt;
    body_ = tree().dump();
    return body_;
  }

  // Decodes with a reader of its own, so that the tests check the bytes the
  // server writes rather than trusting its writer.
  void send(std::int64_t port, std::string_view bytes) override {
    std::size_t at = 0;
    Message message{field(bytes, at), 0};
    const std::string tags = field(bytes, at);
    if (tags == ",s") message.second = field(bytes, at);
    if (tags == ",i") message.second = word<std::int32_t>(bytes, at);
    if (tags == ",f") message.second = word<float>(bytes, at);
    const bool known = tags == ",s" || tags == ",i" || tags == ",f";
    if (!known || port != kOscPort || at != bytes.size()) {
      message = {"<unreadable>", 0};
    }
    received.push_back(message);
    onMessage(*this, message);
  }

 private:
  std::string body_;

  // Every node right below the root: the walk goes by each node's FULL_PATH.
  Json tree() const {
    Json contents = Json::object();
    for (const auto& [path, value] : values) {
      contents[path] = {{"FULL_PATH", path}, {"VALUE", Json::array({value})}};
    }
    contents["/source"] = {{"FULL_PATH", "/source"},
                           {"VALUE", Json::array({""})},
                           {"RANGE", Json::array({{{"VALS", sources}}})}};
    return {{"FULL_PATH", "/"}, {"CONTENTS", contents}};
  }

  // An OSC string and its padding to a multiple of four bytes.
  static std::string field(std::string_view bytes, std::size_t& at) {
    const std::size_t begin = std::min(at, bytes.size());
    const std::size_t end = std::min(bytes.find('\0', begin), bytes.size());
    at = (end / 4 + 1) * 4;
    return std::string(bytes.substr(begin, end - begin));
  }

  // A big-endian 32-bit number.
  template <typename Number>
  static Number word(std::string_view bytes, std::size_t& at) {
    std::uint32_t word = 0;
    for (const char byte : bytes.substr(std::min(at, bytes.size()), 4)) {
      word = word << 8 | static_cast<unsigned char>(byte);
    }
    at += 4;
    return std::bit_cast<Number>(word);
  }
};

using Messages = std::vector<FakeApp::Message>;
using Durations = std::vector<link::Clock::Duration>;

// A RecorderError as the tests compare it: its kind and its text.
using Failure = std::pair<RecorderError::Kind, std::string>;

// What `run` throws, if it throws a RecorderError.
template <typename Run>
std::optional<Failure> failureOf(const Run& run) {
  try {
    run();
  } catch (const RecorderError& error) {
    return Failure{error.kind(), error.description()};
  }
  return std::nullopt;
}

// The failure of an operation that gives `sentence`, then `status`.
inline Failure failed(const std::string& sentence, const Json& status) {
  return {RecorderError::Kind::failed, sentence + json(status)};
}

}  // namespace zindle::testing
