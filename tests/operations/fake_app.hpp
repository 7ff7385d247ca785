#pragma once
// A stand-in for the app, for the operations' unit tests: it answers the
// namespace read from its values, decodes the OSC messages it is sent with
// liblo (a decoder we did not write), and reacts to each through a rule the
// test can replace. Time is a FakeClock.

#include <lo/lo.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "link/recorder.hpp"
#include "support/fakes.hpp"

namespace zindle::testing {

class FakeApp final : public link::HttpReader, public link::DatagramSender {
 public:
  static constexpr std::int64_t kQueryPort = 9240;
  static constexpr std::int64_t kOscPort = 9000;

  // One message received: its address and its one argument.
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

  // Only the namespace read, of "/" within 2 s, is answered: every node
  // right below the root, as the walk goes by each node's FULL_PATH.
  std::optional<std::string_view> get(
      std::int64_t port, std::string_view path,
      std::chrono::milliseconds timeout) override {
    readTimes.push_back(clock.now() - link::Clock::TimePoint());
    const bool isRead = path == "/" && timeout == std::chrono::seconds(2);
    if (!answering || port != kQueryPort || !isRead) return std::nullopt;
    Json contents = Json::object();
    for (const auto& [at, value] : values) {
      contents[at] = {{"FULL_PATH", at}, {"VALUE", Json::array({value})}};
    }
    contents["/source"] = {{"FULL_PATH", "/source"},
                           {"VALUE", Json::array({""})},
                           {"RANGE", Json::array({{{"VALS", sources}}})}};
    body_ = Json{{"FULL_PATH", "/"}, {"CONTENTS", contents}}.dump();
    return body_;
  }

  void send(std::int64_t port, std::string_view bytes) override {
    EXPECT_EQ(port, kOscPort);
    std::string copy(bytes);  // liblo reads a mutable buffer
    int result = 0;
    lo_message message =
        lo_message_deserialise(copy.data(), copy.size(), &result);
    ASSERT_NE(message, nullptr) << "not an OSC message";
    ASSERT_EQ(lo_message_get_argc(message), 1);
    // liblo keeps its values 4-byte aligned only: copied out.
    const char* value = nullptr;
    std::memcpy(&value, lo_message_get_argv(message), sizeof value);
    Message decoded{lo_get_path(copy.data(), copy.size()), 0};
    switch (lo_message_get_types(message)[0]) {
      case 'i':
        decoded.second = std::int32_t{};
        std::memcpy(&std::get<std::int32_t>(decoded.second), value, 4);
        break;
      case 'f':
        decoded.second = float{};
        std::memcpy(&std::get<float>(decoded.second), value, 4);
        break;
      default:
        decoded.second = std::string(value);
    }
    lo_message_free(message);
    received.push_back(decoded);
    onMessage(*this, decoded);
  }

 private:
  std::string body_;
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
  return {RecorderError::Kind::failed, sentence + prettyJson(status)};
}

}  // namespace zindle::testing
