#include "sim/options.hpp"

#include <array>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace zindle::sim {
namespace {

int portFrom(const std::string& option, const std::string& value) {
  char* end = nullptr;
  const long port = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || port < 0 || port > 65535) {
    throw OptionsError(option + " takes a port from 0 to 65535, not \"" +
                       value + "\"");
  }
  return static_cast<int>(port);
}

double secondsFrom(const std::string& option, const std::string& value) {
  char* end = nullptr;
  const double seconds = std::strtod(value.c_str(), &end);
  if (value.empty() || *end != '\0' || !std::isfinite(seconds) || seconds < 0) {
    throw OptionsError(option + " takes seconds, 0 or more, not \"" + value +
                       "\"");
  }
  return seconds;
}

struct OptionEntry {
  std::string_view name;
  bool takesValue;
  void (*apply)(Options& options, const std::string& value);
};

const std::array<OptionEntry, 19> kOptions{{
    {"--help", false, [](Options& o, const std::string&) { o.help = true; }},
    {"-h", false, [](Options& o, const std::string&) { o.help = true; }},
    {"--port", true,
     [](Options& o, const std::string& v) {
       o.queryPort = portFrom("--port", v);
     }},
    {"--osc-port", true,
     [](Options& o, const std::string& v) {
       o.oscPort = portFrom("--osc-port", v);
     }},
    {"--view", true,
     [](Options& o, const std::string& v) {
       o.viewPort = portFrom("--view", v);
     }},
    {"--name", true, [](Options& o, const std::string& v) { o.name = v; }},
    {"--app-version", true,
     [](Options& o, const std::string& v) { o.appVersion = v; }},
    {"--source", true,
     [](Options& o, const std::string& v) {
       try {
         o.sources.push_back(parseSource(v));
       } catch (const std::invalid_argument& wrong) {
         throw OptionsError(wrong.what());
       }
     }},
    {"--no-ndi", false,
     [](Options& o, const std::string&) { o.ndiUsable = false; }},
    {"--state", true,
     [](Options& o, const std::string& v) {
       if (v.empty()) throw OptionsError("--state takes a file's path");
       o.stateFile = v;
     }},
    {"--namespace", true,
     [](Options& o, const std::string& v) {
       if (v.empty()) throw OptionsError("--namespace takes a file's path");
       o.namespaceFile = v;
     }},
    {"--host-info", true,
     [](Options& o, const std::string& v) {
       if (v.empty()) throw OptionsError("--host-info takes a file's path");
       o.hostInfoFile = v;
     }},
    {"--finish-seconds", true,
     [](Options& o, const std::string& v) {
       o.faults.finishSeconds = secondsFrom("--finish-seconds", v);
     }},
    {"--refuse", true,
     [](Options& o, const std::string& v) {
       if (!isRefusable(v)) {
         throw OptionsError(
             "--refuse takes a setting's name or source, not \"" + v + "\"");
       }
       o.faults.refused.insert(v);
     }},
    {"--fail-start", true,
     [](Options& o, const std::string& v) { o.faults.failStart = v; }},
    {"--never-record", false,
     [](Options& o, const std::string&) { o.faults.neverRecord = true; }},
    {"--fail-recording", true,
     [](Options& o, const std::string& v) { o.faults.failRecording = v; }},
    {"--http-fault", true,
     [](Options& o, const std::string& v) {
       const auto fault = httpFaultNamed(v);
       if (!fault) {
         throw OptionsError(
             "--http-fault takes none, 404, garbage or hang, not \"" + v +
             "\"");
       }
       o.faults.httpFault = *fault;
     }},
    {"--verbose", false,
     [](Options& o, const std::string&) { o.verbose = true; }},
}};

const OptionEntry* findOption(std::string_view name) {
  for (const auto& entry : kOptions) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

}  // namespace

Options parseOptions(const std::vector<std::string>& arguments) {
  Options options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const auto& argument = arguments[i];
    const auto equals = argument.find('=');
    const auto name = argument.substr(0, equals);
    const auto* entry = findOption(name);
    if (entry == nullptr) {
      throw OptionsError("unknown option \"" + argument + "\"");
    }
    std::string value;
    if (equals != std::string::npos) {
      if (!entry->takesValue) throw OptionsError(name + " takes no value");
      value = argument.substr(equals + 1);
    } else if (entry->takesValue) {
      if (i + 1 == arguments.size())
        throw OptionsError(name + " needs a value");
      value = arguments[++i];
    }
    entry->apply(options, value);
    if (options.help) return options;
  }
  // The window draws the simulated app, which a saved namespace is not.
  if (options.viewPort && !options.namespaceFile.empty()) {
    throw OptionsError(
        "--view shows the simulated app, not a saved namespace: give one of "
        "--view and --namespace");
  }
  if (options.sources.empty()) options.sources = defaultSources();
  return options;
}

}  // namespace zindle::sim
