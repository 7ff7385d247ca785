#include "server/request_handler.hpp"

#include <exception>
#include <functional>
#include <string>
#include <utility>

#include "link/json_reader.hpp"
#include "link/recorder_error.hpp"
#include "server/catalogue.hpp"
#include "server/line_reader.hpp"
#include "server/version.hpp"

namespace zindle::server {
namespace {

constexpr std::string_view kDefaultProtocolVersion = "2024-11-05";
constexpr std::string_view kServerName = "zindle-recorder";
constexpr std::string_view kInstructions =
    "Controls the ZindleRecorder app, which records several Syphon and NDI "
    "sources at once: each to its own movie file, all assembled in one movie "
    "(side by side, stacked, mosaic), or both. Call recorder_status first to "
    "see the sources and settings; recorder_configure chooses the sources; "
    "recorder_start and recorder_stop record.";
constexpr int kMethodNotFound = -32601;
constexpr std::string_view kUnexpectedFailure = "The tool failed unexpectedly";
constexpr std::string_view kTooLarge = "The answer is too large to show: ";
constexpr std::string_view kTooLargeWhy =
    " this server returns. The recorder publishes values or titles far "
    "longer than usual.";

// What stands for "params" or "arguments" when they are missing or are not
// objects.
const Json& emptyObject() {
  static const Json empty = Json::object();
  return empty;
}

// Each method's result comes as compact JSON text, or nothing when it cannot
// be written as JSON (then the request goes unanswered).
using ResultText = std::optional<std::string>;

ResultText initializeResult(const Json& params, const ToolCaller&) {
  const Json* asked = member(params, "protocolVersion", &Json::is_string);
  // Every version is taken: the server answers each the same way.
  Json result = {
      {"protocolVersion", asked ? *asked : Json(kDefaultProtocolVersion)},
      {"capabilities", {{"tools", Json::object()}}},
      {"serverInfo", {{"name", kServerName}, {"version", serverVersion()}}},
      {"instructions", kInstructions}};
  return compactJson(result);
}

Json errorResult(std::string text) {
  // A text that is not UTF-8 could not be written, and the client would
  // wait for an answer that never comes.
  if (!compactJson(Json(text))) text = kUnexpectedFailure;
  Json content = {{"type", "text"}, {"text", std::move(text)}};
  return {{"content", Json::array({std::move(content)})}, {"isError", true}};
}

Json toolOutcome(const Json& params, const ToolCaller& callTool) {
  const Json* name = member(params, "name", &Json::is_string);
  const Json* arguments = member(params, "arguments", &Json::is_object);
  try {
    return callTool(name ? std::string_view(name->get_ref<const std::string&>())
                         : std::string_view(),
                    arguments ? *arguments : emptyObject());
  } catch (const RecorderError& error) {
    return errorResult(error.description());
  } catch (const std::exception& error) {
    return errorResult(std::string(kUnexpectedFailure) + ": " + error.what());
  } catch (...) {
    // Whatever a tool throws, the request still gets its answer.
    return errorResult(std::string(kUnexpectedFailure));
  }
}

ResultText toolResult(const Json& params, const ToolCaller& callTool) {
  const Json outcome = toolOutcome(params, callTool);
  ResultText text = compactJson(outcome);
  if (!text || text->size() <= kMaxResultBytes) return text;
  // Whether the tool did its work stays as it was: a recording that started
  // is not reported as one that failed.
  const bool isError = !outcome.is_object() ||
                       outcome.value("isError", Json(true)) != Json(false);
  std::string message(kTooLarge);
  message.append(std::to_string(text->size())).append(" bytes, past the ");
  message.append(std::to_string(kMaxResultBytes)).append(kTooLargeWhy);
  Json content = {{"type", "text"}, {"text", std::move(message)}};
  return compactJson(
      {{"content", Json::array({std::move(content)})}, {"isError", isError}});
}

ResultText pingResult(const Json&, const ToolCaller&) { return "{}"; }

ResultText toolsListResult(const Json&, const ToolCaller&) {
  // No paging: every tool comes at once, whatever "params" holds. The
  // catalogue never changes, so its text is written once.
  static const std::string text =
      compactJson(Json{{"tools", tools()}}).value_or("{\"tools\":[]}");
  return text;
}

// The methods served; every other name gets the one JSON-RPC error.
struct Method {
  std::string_view name;
  ResultText (*answer)(const Json& params, const ToolCaller& callTool);
};

constexpr Method kMethods[] = {
    {"initialize", initializeResult},
    {"ping", pingResult},
    {"tools/list", toolsListResult},
    {"tools/call", toolResult},
};

// The members of a response come in the order of their names, as in every
// other object the server writes.
std::optional<std::string> response(std::string_view idWritten,
                                    std::string_view method, const Json& params,
                                    const ToolCaller& callTool) {
  for (const Method& served : kMethods) {
    if (served.name != method) continue;
    const ResultText result = served.answer(params, callTool);
    if (!result) return std::nullopt;
    std::string line;
    line.reserve(idWritten.size() + result->size() + 40);
    line.append("{\"id\":").append(idWritten);
    line.append(",\"jsonrpc\":\"2.0\",\"result\":").append(*result);
    line.append("}\n");
    return line;
  }
  const Json error = {{"code", kMethodNotFound},
                      {"message", "method not found: " + std::string(method)}};
  const ResultText errorText = compactJson(error);
  if (!errorText) return std::nullopt;
  return "{\"error\":" + *errorText + ",\"id\":" + std::string(idWritten) +
         ",\"jsonrpc\":\"2.0\"}\n";
}

}  // namespace

std::optional<std::string> handleLine(std::string_view line,
                                      const ToolCaller& callTool) {
  if (line.empty()) return std::nullopt;
  // A batch (an array) is dropped whole, like anything else not an object.
  std::optional<link::RequestMembers> request = link::readRequest(line);
  // Without an id the message is a notification: no answer, no action.
  if (!request || !request->method || !request->id) return std::nullopt;
  return response(*request->id, *request->method,
                  request->params ? *request->params : emptyObject(), callTool);
}

bool serve(const std::function<std::size_t(char*, std::size_t)>& readSome,
           const std::function<bool(std::string_view)>& writer,
           const ToolCaller& callTool) {
  // Wrapping a reference cannot throw, so neither can making the reader.
  LineReader reader(std::cref(readSome));
  for (;;) {
    std::optional<LineReader::Line> line;
    try {
      line = reader.next();
    } catch (...) {
      // Input that can no longer be read ends the session as its end does.
      return true;
    }
    if (!line) return true;
    // An overlong line is dropped as an unparsable one is.
    if (line->tooLong) continue;
    try {
      const std::optional<std::string> answer =
          handleLine(line->text, callTool);
      if (answer && !writer(*answer)) return false;
    } catch (...) {
      // Only running out of memory gets here: the request that caused it is
      // dropped, as a line that is no request is, and the loop goes on.
    }
  }
}

}  // namespace zindle::server
