#include "sim/faults.hpp"

#include <cmath>

#include "sim/settings.hpp"

namespace zindle::sim {
namespace {

std::optional<std::string> singleText(const OscMessage& message,
                                      std::string& text) {
  const auto value = message.arguments.size() == 1
                         ? textOf(message.arguments.front())
                         : std::nullopt;
  if (!value) return message.address + " takes one text.";
  text = *value;
  return std::nullopt;
}

std::optional<std::string> singleNumber(const OscMessage& message,
                                        double& number) {
  const auto value = message.arguments.size() == 1
                         ? numberOf(message.arguments.front())
                         : std::nullopt;
  if (!value || !std::isfinite(*value)) {
    return message.address + " takes one number.";
  }
  number = *value;
  return std::nullopt;
}

}  // namespace

std::optional<HttpFault> httpFaultNamed(std::string_view name) {
  if (name == "none" || name.empty()) return HttpFault::none;
  if (name == "404") return HttpFault::notFound;
  if (name == "garbage") return HttpFault::garbage;
  if (name == "hang") return HttpFault::hang;
  return std::nullopt;
}

std::string_view nameOf(HttpFault fault) {
  switch (fault) {
    case HttpFault::notFound:
      return "404";
    case HttpFault::garbage:
      return "garbage";
    case HttpFault::hang:
      return "hang";
    case HttpFault::none:
      break;
  }
  return "none";
}

bool isRefusable(std::string_view name) {
  return name == "source" || findSetting(name) != nullptr;
}

std::optional<std::string> applyFaultMessage(Faults& faults,
                                             std::string_view name,
                                             const OscMessage& message) {
  std::string text;
  double number = 0;
  if (name == "refuse") {
    if (auto refusal = singleText(message, text)) return refusal;
    if (text.empty()) {
      faults.refused.clear();
    } else if (isRefusable(text)) {
      faults.refused.insert(text);
    } else {
      return "/sim/refuse takes a setting's name or source, not \"" + text +
             "\".";
    }
  } else if (name == "fail_start") {
    if (auto refusal = singleText(message, text)) return refusal;
    faults.failStart = text;
  } else if (name == "fail_recording") {
    if (auto refusal = singleText(message, text)) return refusal;
    faults.failRecording = text;
  } else if (name == "never_record") {
    if (auto refusal = singleNumber(message, number)) return refusal;
    faults.neverRecord = number != 0;
  } else if (name == "finish_seconds") {
    if (auto refusal = singleNumber(message, number)) return refusal;
    if (number < 0)
      return std::string("/sim/finish_seconds must be 0 or more.");
    faults.finishSeconds = number;
  } else if (name == "http_fault") {
    if (auto refusal = singleText(message, text)) return refusal;
    const auto fault = httpFaultNamed(text);
    if (!fault) {
      return std::string("/sim/http_fault takes none, 404, garbage or hang.");
    }
    faults.httpFault = *fault;
  } else {
    return "Unknown address " + message.address + ".";
  }
  return std::nullopt;
}

}  // namespace zindle::sim
