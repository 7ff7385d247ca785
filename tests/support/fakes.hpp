#pragma once
// Small fakes of the world outside the process, for unit tests: a clock that
// only moves when slept on, an HTTP reader that answers from a script, and a
// sender that keeps what it was given.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/clock.hpp"
#include "link/http_reader.hpp"
#include "link/osc.hpp"

namespace zindle::testing {

class FakeClock final : public link::Clock {
 public:
  TimePoint now() override { return now_; }
  void sleep(Duration duration) override {
    now_ += duration;
    sleeps.push_back(duration);
  }
  void advance(Duration duration) { now_ += duration; }

  std::vector<Duration> sleeps;

 private:
  TimePoint now_{};
};

class ScriptedReader final : public link::HttpReader {
 public:
  struct Request {
    std::int64_t port;
    std::string path;
    std::chrono::milliseconds timeout;
  };
  // The document to answer with, written out as the body; nothing for no
  // answer.
  using Answer =
      std::function<std::optional<Json>(std::int64_t port, const std::string&)>;

  explicit ScriptedReader(Answer script = {}) : answer(std::move(script)) {}

  std::optional<std::string_view> get(
      std::int64_t port, std::string_view path,
      std::chrono::milliseconds timeout) override {
    requests.push_back({port, std::string(path), timeout});
    const std::optional<Json> document =
        answer ? answer(port, std::string(path)) : std::nullopt;
    if (!document) return std::nullopt;
    body_ = document->dump();
    return body_;
  }

  Answer answer;
  std::vector<Request> requests;

 private:
  std::string body_;
};

class RecordingSender final : public link::DatagramSender {
 public:
  void send(std::int64_t port, std::string_view bytes) override {
    datagrams.emplace_back(port, std::string(bytes));
  }

  std::vector<std::pair<std::int64_t, std::string>> datagrams;
};

}  // namespace zindle::testing
