#include "server/request_handler.hpp"

#include <exception>
#include <functional>
#include <string>
#include <utility>

#include "link/recorder_error.hpp"
#include "server/catalogue.hpp"
#include "server/line_reader.hpp"
#include "server/output.hpp"
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

// What stands for "params" or "arguments" when they are missing or are not
// objects.
const Json& emptyObject() {
  static const Json empty = Json::object();
  return empty;
}

// The member `key` of `object` when it has the type `isType` tests, else
// nothing.
const Json* member(const Json& object, std::string_view key,
                   bool (Json::*isType)() const noexcept) {
  const auto found = object.find(key);
  if (found == object.end() || !((*found).*isType)()) return nullptr;
  return &*found;
}

Json initializeResult(const Json& params, const ToolCaller&) {
  const Json* asked = member(params, "protocolVersion", &Json::is_string);
  // Every version is taken: the server answers each the same way.
  Json result = {
      {"protocolVersion", asked ? *asked : Json(kDefaultProtocolVersion)},
      {"capabilities", {{"tools", Json::object()}}},
      {"serverInfo", {{"name", kServerName}, {"version", serverVersion()}}},
      {"instructions", kInstructions}};
  return result;
}

Json errorResult(std::string text) {
  // A text that is not UTF-8 could not be written, and the client would
  // wait for an answer that never comes.
  if (!compactJson(Json(text))) text = kUnexpectedFailure;
  Json content = {{"type", "text"}, {"text", std::move(text)}};
  return {{"content", Json::array({std::move(content)})}, {"isError", true}};
}

Json toolResult(const Json& params, const ToolCaller& callTool) {
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

Json pingResult(const Json&, const ToolCaller&) { return Json::object(); }

Json toolsListResult(const Json&, const ToolCaller&) {
  // No paging: every tool comes at once, whatever "params" holds.
  Json result = Json::object();
  result["tools"] = tools();
  return result;
}

// The methods served; every other name gets the one JSON-RPC error.
struct Method {
  std::string_view name;
  Json (*answer)(const Json& params, const ToolCaller& callTool);
};

constexpr Method kMethods[] = {
    {"initialize", initializeResult},
    {"ping", pingResult},
    {"tools/list", toolsListResult},
    {"tools/call", toolResult},
};

Json response(Json id, std::string_view method, const Json& params,
              const ToolCaller& callTool) {
  Json message = Json::object();
  message["jsonrpc"] = "2.0";
  message["id"] = std::move(id);
  for (const Method& served : kMethods) {
    if (served.name == method) {
      message["result"] = served.answer(params, callTool);
      return message;
    }
  }
  Json error = Json::object();
  error["code"] = kMethodNotFound;
  error["message"] = "method not found: " + std::string(method);
  message["error"] = std::move(error);
  return message;
}

}  // namespace

std::optional<Json> handleLine(std::string_view line,
                               const ToolCaller& callTool) {
  if (line.empty()) return std::nullopt;
  std::optional<Json> request = parseJson(line);
  // A batch (an array) is dropped whole, like anything else not an object.
  if (!request || !request->is_object()) return std::nullopt;
  const Json* method = member(*request, "method", &Json::is_string);
  if (method == nullptr) return std::nullopt;
  // Without an id the message is a notification: no answer, no action.
  const auto id = request->find("id");
  if (id == request->end()) return std::nullopt;
  const Json* params = member(*request, "params", &Json::is_object);
  // The request is dropped after this, so its id moves into the answer.
  return response(std::move(*id), method->get_ref<const std::string&>(),
                  params ? *params : emptyObject(), callTool);
}

void serve(const std::function<std::size_t(char*, std::size_t)>& readSome,
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
      return;
    }
    if (!line) return;
    // An overlong line is dropped as an unparsable one is.
    if (line->tooLong) continue;
    try {
      const std::optional<Json> answer = handleLine(line->text, callTool);
      if (answer && !send(*answer, writer)) return;
    } catch (...) {
      // Only running out of memory gets here: the request that caused it is
      // dropped, as a line that is no request is, and the loop goes on.
    }
  }
}

}  // namespace zindle::server
