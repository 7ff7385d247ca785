#pragma once
// A stand-in for the app, for the operations' unit tests: it answers the
// namespace read with a tree built from its values, decodes the OSC messages
// it is sent, and reacts to each through a rule the test can replace.

#include <bit>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "link/recorder.hpp"
#include "operations/status.hpp"
#include "support/fakes.hpp"

namespace zindle::testing {

class FakeApp final : public link::HttpReader, public link::DatagramSender {
 public:
  static constexpr std::int64_t kQueryPort = 9240;
  static constexpr std::int64_t kOscPort = 9000;

  // One message received, decoded.
  struct Message {
    std::string address;
    std::vector<link::OscArgument> arguments;
    friend bool operator==(const Message&, const Message&) = default;
  };
  using Rule = std::function<void(FakeApp& app, const Message& message)>;

  FakeApp() = default;
  FakeApp(const FakeApp&) = delete;
  FakeApp& operator=(const FakeApp&) = delete;

  // The app's published values, by full path.
  std::map<std::string, Json> values;
  // The titles offered on "/source"'s range; nothing when none is set.
  std::optional<std::vector<std::string>> sources;
  // How the app reacts to a message; by default it takes every setting.
  Rule onMessage = takeSetting;
  // Runs before each namespace read is answered, with the read's number
  // (0 for the first), to script changes over time.
  std::function<void(FakeApp& app, int read)> beforeRead;
  bool answering = true;

  std::vector<Message> received;
  // When each namespace read came, counted from the start of the test.
  std::vector<link::Clock::Duration> readTimes;

  FakeClock clock;
  link::Services services{*this, *this, clock};

  link::Recorder recorder() const {
    return {
        .queryPort = kQueryPort, .oscPort = kOscPort, .services = &services};
  }

  // Stores the argument of a one-argument message at its address.
  static void takeSetting(FakeApp& app, const Message& message) {
    if (message.arguments.size() != 1) return;
    app.values[message.address] = std::visit(
        [](const auto& value) { return Json(value); }, message.arguments[0]);
  }

  static void ignore(FakeApp&, const Message&) {}

  std::optional<Json> get(std::int64_t port, std::string_view path,
                          std::chrono::milliseconds timeout) override {
    if (port != kQueryPort || path != "/" ||
        timeout != link::kNamespaceTimeout) {
      return std::nullopt;
    }
    if (beforeRead) beforeRead(*this, static_cast<int>(readTimes.size()));
    readTimes.push_back(clock.now() - link::Clock::TimePoint());
    if (!answering) return std::nullopt;
    return tree();
  }

  void send(std::int64_t port, std::string_view bytes) override {
    std::optional<Message> message = decode(bytes);
    if (port != kOscPort || !message) {
      received.push_back({"<not a message to the app>", {}});
      return;
    }
    received.push_back(*message);
    onMessage(*this, *message);
  }

  // The status dictionary of the app as it is now, read without counting
  // as a read of the app.
  Json status() const {
    link::Reading reading;
    link::walk(tree(), reading);
    return operations::statusFrom(reading);
  }

  // The namespace as the app's OSCQuery server gives it.
  Json tree() const {
    Json root = {{"FULL_PATH", "/"}, {"CONTENTS", Json::object()}};
    for (const auto& [path, value] : values) {
      nodeAt(root, path)["VALUE"] = Json::array({value});
    }
    if (sources) {
      Json& node = nodeAt(root, "/source");
      if (!node.contains("VALUE")) node["VALUE"] = Json::array({""});
      node["RANGE"] = Json::array({{{"VALS", *sources}}});
    }
    return root;
  }

 private:
  static Json& nodeAt(Json& root, const std::string& path) {
    Json* node = &root;
    std::size_t begin = 1;
    while (begin <= path.size()) {
      std::size_t end = path.find('/', begin);
      if (end == std::string::npos) end = path.size();
      Json& contents = (*node)["CONTENTS"];
      Json& child = contents[path.substr(begin, end - begin)];
      if (child.is_null()) child = {{"FULL_PATH", path.substr(0, end)}};
      node = &child;
      begin = end + 1;
    }
    return *node;
  }

  // A small OSC 1.0 reader of its own, so that the tests check the bytes
  // the server writes rather than trusting its writer.
  static std::optional<std::string> readString(std::string_view bytes,
                                               std::size_t& at) {
    const std::size_t end = bytes.find('\0', at);
    if (end == std::string_view::npos) return std::nullopt;
    std::string text(bytes.substr(at, end - at));
    const std::size_t next = (end / 4 + 1) * 4;
    if (next > bytes.size()) return std::nullopt;
    for (std::size_t i = end; i < next; ++i) {
      if (bytes[i] != '\0') return std::nullopt;
    }
    at = next;
    return text;
  }

  static std::optional<std::uint32_t> readWord(std::string_view bytes,
                                               std::size_t& at) {
    if (bytes.size() - at < 4) return std::nullopt;
    std::uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
      word = word << 8 | static_cast<unsigned char>(bytes[at++]);
    }
    return word;
  }

  static std::optional<Message> decode(std::string_view bytes) {
    if (bytes.size() % 4 != 0) return std::nullopt;
    std::size_t at = 0;
    std::optional<std::string> address = readString(bytes, at);
    std::optional<std::string> tags = readString(bytes, at);
    if (!address || !tags || tags->empty() || tags->front() != ',') {
      return std::nullopt;
    }
    Message message{*address, {}};
    for (char tag : tags->substr(1)) {
      if (tag == 's') {
        std::optional<std::string> text = readString(bytes, at);
        if (!text) return std::nullopt;
        message.arguments.emplace_back(*text);
        continue;
      }
      std::optional<std::uint32_t> word = readWord(bytes, at);
      if (!word) return std::nullopt;
      if (tag == 'i') {
        message.arguments.emplace_back(std::bit_cast<std::int32_t>(*word));
      } else if (tag == 'f') {
        message.arguments.emplace_back(std::bit_cast<float>(*word));
      } else {
        return std::nullopt;
      }
    }
    if (at != bytes.size()) return std::nullopt;
    return message;
  }
};

// A message as the tests write what they expect.
inline FakeApp::Message sent(std::string address, link::OscArgument argument) {
  return {std::move(address), {std::move(argument)}};
}

// A RecorderError as the tests compare it.
struct Failure {
  RecorderError::Kind kind;
  std::string text;
  friend bool operator==(const Failure&, const Failure&) = default;
};

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

inline void PrintTo(const Failure& failure, std::ostream* out) {
  *out << "kind " << static_cast<int>(failure.kind) << ": " << failure.text;
}

inline void PrintTo(const FakeApp::Message& message, std::ostream* out) {
  *out << message.address;
  for (const link::OscArgument& argument : message.arguments) {
    std::visit(
        [out](const auto& value) {
          using T = std::decay_t<decltype(value)>;
          if constexpr (std::is_same_v<T, std::string>) {
            *out << " \"" << value << '"';
          } else if constexpr (std::is_same_v<T, float>) {
            *out << ' ' << value << 'f';
          } else {
            *out << ' ' << value;
          }
        },
        argument);
  }
}

}  // namespace zindle::testing
