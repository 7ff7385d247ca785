#include "support/server_session.hpp"

#include "support/test_paths.hpp"

namespace zindle::testing {
namespace {

std::vector<EnvChange> withPort(std::optional<int> port,
                                std::vector<EnvChange> env) {
  // Changes given by the test come last, so that they win.
  env.insert(env.begin(),
             {"ZINDLE_OSCQUERY_PORT",
              port ? std::optional(std::to_string(*port)) : std::nullopt});
  return env;
}

}  // namespace

std::string unreachableText(int first) {
  return "ZindleRecorder is not running, or its OSCQuery server is not on "
         "ports " +
         std::to_string(first) + "\u2013" + std::to_string(first + 15) +
         ". Launch the app and retry (set ZINDLE_OSCQUERY_PORT if it uses "
         "another port).";
}

ServerSession::ServerSession(std::optional<int> port,
                             std::vector<EnvChange> env)
    : process_({kServerPath}, withPort(port, std::move(env))) {}

ServerSession::~ServerSession() {
  process_.closeInput();
  process_.wait(Milliseconds(5000));
}

std::optional<Json> ServerSession::request(const std::string& method,
                                           Json params, Milliseconds timeout) {
  Json message{{"jsonrpc", "2.0"},
               {"id", nextId_++},
               {"method", method},
               {"params", std::move(params)}};
  if (!process_.write(message.dump() + "\n")) return std::nullopt;
  auto line = process_.readLine(timeout);
  if (!line) return std::nullopt;
  return Json::parse(*line, nullptr, false);
}

Json ServerSession::callTool(const std::string& name, Json arguments,
                             Milliseconds timeout) {
  auto response =
      request("tools/call",
              {{"name", name}, {"arguments", std::move(arguments)}}, timeout);
  if (!response || !response->contains("result")) return nullptr;
  return (*response)["result"];
}

ServerSession::TimedText ServerSession::timedCall(const std::string& name) {
  const auto started = std::chrono::steady_clock::now();
  auto [isError, text] = textOf(callTool(name));
  return {isError, std::move(text), std::chrono::steady_clock::now() - started};
}

std::pair<bool, std::string> ServerSession::textOf(const Json& result) {
  if (!result.is_object()) return {true, "<no result>"};
  return {result.value("isError", true),
          result["content"][0]["text"].get<std::string>()};
}

}  // namespace zindle::testing
