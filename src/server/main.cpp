#include <csignal>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "link/clock.hpp"
#include "link/http_reader.hpp"
#include "link/osc.hpp"
#include "link/recorder.hpp"
#include "server/dispatch.hpp"
#include "server/line_reader.hpp"
#include "server/request_handler.hpp"
#include "server/startup.hpp"
#include "server/stdio.hpp"

namespace {

std::optional<std::string_view> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string_view(value);
}

}  // namespace

int main() {
  using namespace zindle;
  // Before anything opens a file, so that no socket of libcurl's takes a
  // closed standard descriptor's number. Without a way to answer, no tool
  // may act: the server ends at once, with nothing on standard error.
  if (!server::keepStandardDescriptors()) return EXIT_FAILURE;
  // A client that closes its end must not kill us with a signal: the failed
  // write ends the loop instead, and the process exits with a status that
  // says so, and nothing on standard error.
  std::signal(SIGPIPE, SIG_IGN);

  const std::int64_t preferredPort =
      server::readPreferredPort(environmentValue(server::kPortVariable));
  link::UdpSender sender;
  link::SteadyClock clock;
  // One reader for the session: its connection to the app carries the reads
  // of every call, so a call does not pay for a new one. curl is set up only
  // once a tool is called.
  link::CurlReader reader;
  const link::Services services{reader, sender, clock, preferredPort,
                                link::kPortsToTry};

  const server::ToolCaller callTool = [&services](std::string_view name,
                                                  const Json& arguments) {
    return server::callTool(services, name, arguments);
  };
  const bool answeredAll = server::serve(
      [](char* buffer, std::size_t size) {
        return server::readFrom(0, buffer, size);
      },
      [](std::string_view bytes) { return server::writeAll(1, bytes); },
      callTool);
  return answeredAll ? EXIT_SUCCESS : EXIT_FAILURE;
}
