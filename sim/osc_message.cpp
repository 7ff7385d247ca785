#include "sim/osc_message.hpp"

#include <sstream>

namespace zindle::sim {

OscArgument OscArgument::integer(std::int64_t number) { return {'i', number}; }

OscArgument OscArgument::real(double number) { return {'f', number}; }

OscArgument OscArgument::text(std::string content) {
  return {'s', std::move(content)};
}

std::optional<double> numberOf(const OscArgument& argument) {
  if (const auto* integer = std::get_if<std::int64_t>(&argument.value)) {
    return static_cast<double>(*integer);
  }
  if (const auto* real = std::get_if<double>(&argument.value)) return *real;
  return std::nullopt;
}

std::optional<std::string> textOf(const OscArgument& argument) {
  if (const auto* text = std::get_if<std::string>(&argument.value)) {
    return *text;
  }
  return std::nullopt;
}

std::string describe(const OscMessage& message) {
  std::ostringstream line;
  line << message.address << " ,";
  for (const auto& argument : message.arguments) line << argument.tag;
  for (const auto& argument : message.arguments) {
    line << ' ';
    if (const auto* integer = std::get_if<std::int64_t>(&argument.value)) {
      line << *integer;
    } else if (const auto* real = std::get_if<double>(&argument.value)) {
      line << *real;
    } else if (const auto* text = std::get_if<std::string>(&argument.value)) {
      line << '"' << *text << '"';
    } else {
      line << '-';
    }
  }
  return line.str();
}

}  // namespace zindle::sim
