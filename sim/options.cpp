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

std::string_view usageText() {
  return R"(Usage: zindle_recorder_sim [options]

A stand-in for the ZindleRecorder app, for trying zindle_recorder_mcp and
testing it without the app. It publishes the app's OSCQuery namespace over
HTTP and takes the app's OSC messages over UDP, both on 127.0.0.1 only, and
behaves as the app does: it checks settings, keeps the chosen sources, and
runs a recording through idle, recording and finishing, with frame counts
and movie paths that follow the settings. It records nothing: no movie file
is ever written, and its sources are made up. Its HTTP ports answer only
requests addressed to 127.0.0.1 or localhost (others get 403), each sent
whole within 2 seconds.

When its ports are bound it prints one line and flushes it:
  zindle_recorder_sim ready: query port <N>, osc port <M>
and, with --view, ", view http://127.0.0.1:<V>/" at the end of that line.
It ends with status 0 on SIGINT or SIGTERM, at any moment, with status 2 on
a bad command line, and with status 1 when a port is taken (by any program,
at any address) or a file it is given cannot be read. The files it is given
(--state, --namespace, --host-info) are read at start only when they are
regular files of at most 4 MiB: a FIFO, a device or a larger file is
refused, unread.

Options:
  --port N             OSCQuery (HTTP) port; 0 takes any free port.
                       Default 9231, the first port the server tries.
  --osc-port N         OSC (UDP) port; default 0: any free port. The
                       port is announced as OSC_PORT in /?HOST_INFO.
  --view N             Also serve the app's window as a web page, on
                       http://127.0.0.1:N/ (0: any free port): its state
                       and clock, the assembled picture, the settings, the
                       movies and the last OSC messages (the first 256
                       bytes of each text), kept up to date.
  --name TEXT          The name announced in /?HOST_INFO (default
                       ZindleRecorder; the server looks for that one).
  --app-version TEXT   The version at /status/version (default 0.9).
  --source SOURCE      A source that can be chosen, as
                       "Title:kind:WIDTHxHEIGHT@FPS[:sound]", kind syphon or
                       ndi, sides 1 to 16384, FPS above 0 and at most 1000;
                       ":sound" (NDI only) makes it send sound. The title
                       may hold colons. Repeat for more sources.
                       Default: "Main Camera:syphon:1920x1080@30",
                       "Screen:syphon:2560x1440@60",
                       "STUDIO (Stage):ndi:1280x720@25:sound".
  --no-ndi             NDI is not usable: /status/ndi is 0 and NDI sources
                       are neither offered nor listed.
  --state FILE         Keep the settings and the chosen sources in FILE (JSON):
                       read at start when it exists, written on each change,
                       whole, through a new file beside it (a link is
                       followed and stays a link). Simulators may share one.
                       Without it they last as long as the process.
  --namespace FILE     Answer "/" and every path within it from the
                       namespace saved in FILE (as a problem report saves
                       it: curl http://127.0.0.1:9231/), byte for byte at
                       "/", instead of the simulator's own. OSC messages are
                       taken (and logged) as usual but change nothing it
                       serves: every read shows the saved app, as the user's
                       server read it. Not with --view.
  --host-info FILE     Answer "/?HOST_INFO" with the host information saved
                       in FILE (curl 'http://127.0.0.1:9231/?HOST_INFO'),
                       its OSC_PORT replaced by this simulator's OSC port.
  --verbose            Log every OSC message and HTTP request to stderr.
  --help, -h           Print this text and exit.

Scripted faults, for tests. Each has an OSC message under /sim/ that sets it
while running; /sim/reset brings back those given on the command line:
  --refuse NAME        Refuse every value sent to the setting NAME (codec,
                       fps, bitrate, folder, name, output, layout, gap,
                       width, height, sound, performance) or, with "source",
                       to the slots. Repeatable.
                       OSC: /sim/refuse s  (adds NAME; "" clears them all)
  --fail-start TEXT    The next "/record" 1 fails: /status/error becomes TEXT
                       and the state stays idle.
                       OSC: /sim/fail_start s  ("" clears)
  --never-record       "/record" 1 does nothing visible: no state change, no
                       error.    OSC: /sim/never_record i  (1 on, 0 off)
  --finish-seconds S   How long "finishing" lasts after "/record" 0 (default
                       0.3). Read when it is due, so a new value also cuts a
                       finish in progress short.
                       OSC: /sim/finish_seconds f
  --fail-recording TEXT  The next recording to end ends with /status/failure
                       TEXT (cleared again at the next start).
                       OSC: /sim/fail_recording s  ("" clears)
  --http-fault MODE    Answer every GET, /?HOST_INFO included: none (normal),
                       404, garbage (status 200 and a body that is not JSON)
                       or hang (hold the request unanswered until the fault is
                       cleared, for at most 60 seconds).
                       OSC: /sim/http_fault s
  OSC: /sim/reset      Back to the start: default settings, no source chosen,
                       idle, no error or failure, the command line's faults.
The faults in force are published under /sim/ in the namespace.

Messages it takes (one OSC 1.0 message per datagram):
  /codec s  /fps f  /bitrate f  /folder s  /name s  /output s  /layout s
  /gap i  /width i  /height i  /sound s  /performance i
                       A setting; numbers may come as i, f, h or d. A value
                       the app would refuse leaves the setting and sets
                       /status/error.
  /source/K s          Choose the first source whose title holds the text
                       (ignoring case) for slot K (1-8; beyond the last chosen
                       it is appended); "" removes slot K's source and moves
                       the later ones up. /source is slot 1. Only while idle.
  /record i            1 starts a recording, 0 stops it.
)";
}

}  // namespace zindle::sim
