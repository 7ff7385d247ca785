#include "sim_harness.hpp"

#include <thread>

#include <gtest/gtest.h>
#include <httplib.h>
#include <lo/lo.h>

#include "sim/simulator.hpp"

namespace zindle::sim::testing {
namespace {

constexpr auto kPollPause = std::chrono::milliseconds(2);

void addArgument(lo_message message, const SentArgument& argument) {
  std::visit(
      [message](const auto& value) {
        using Type = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<Type, std::int32_t>) {
          lo_message_add_int32(message, value);
        } else if constexpr (std::is_same_v<Type, float>) {
          lo_message_add_float(message, value);
        } else if constexpr (std::is_same_v<Type, double>) {
          lo_message_add_double(message, value);
        } else if constexpr (std::is_same_v<Type, std::int64_t>) {
          lo_message_add_int64(message, value);
        } else {
          lo_message_add_string(message, value.c_str());
        }
      },
      argument);
}

}  // namespace

RunningSim::RunningSim(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"--port", "0"});
  simulator_ = std::make_unique<Simulator>(parseOptions(arguments), log_);
  simulator_->start();
}

RunningSim::~RunningSim() { simulator_->stop(); }

int RunningSim::queryPort() const { return simulator_->queryPort(); }

int RunningSim::oscPort() const { return simulator_->oscPort(); }

nlohmann::json RunningSim::get(const std::string& target) const {
  httplib::Client client("127.0.0.1", queryPort());
  const auto result = client.Get(target);
  if (!result || result->status != 200) {
    ADD_FAILURE() << "GET " << target << " did not answer 200";
    return nullptr;
  }
  auto document = nlohmann::json::parse(result->body, nullptr, false);
  if (document.is_discarded()) {
    ADD_FAILURE() << "GET " << target << " answered no JSON";
    return nullptr;
  }
  return document;
}

nlohmann::json RunningSim::value(const std::string& path) const {
  const auto node = get(path);
  if (!node.is_object() || !node.contains("VALUE")) return nullptr;
  return node["VALUE"].at(0);
}

void RunningSim::send(const std::string& address,
                      const std::vector<SentArgument>& arguments) const {
  const auto port = std::to_string(oscPort());
  lo_address target = lo_address_new("127.0.0.1", port.c_str());
  lo_message message = lo_message_new();
  for (const auto& argument : arguments) addArgument(message, argument);
  EXPECT_NE(lo_send_message(target, address.c_str(), message), -1);
  lo_message_free(message);
  lo_address_free(target);
}

bool RunningSim::waitForValue(const std::string& path,
                              const nlohmann::json& expected) const {
  return eventually([&] { return value(path) == expected; });
}

bool RunningSim::sendExpectingError(const std::string& address,
                                    const std::vector<SentArgument>& arguments,
                                    const std::string& error) const {
  send(address, arguments);
  return waitForValue("/status/error", error);
}

bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollPause);
  }
  return true;
}

}  // namespace zindle::sim::testing
