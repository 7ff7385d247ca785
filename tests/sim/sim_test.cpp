// The simulated app, checked where the server's own tests do not reach it:
// the shape of its namespace, read over HTTP as the server reads it, how
// its slots shift, as the app's do, where its layouts put each source, what
// it makes of odd datagrams and odd requests.

#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <limits>
#include <optional>
#include <sstream>
#include <thread>
#include <tuple>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "sim/options.hpp"
#include "sim/osc_message.hpp"
#include "sim/recent_messages.hpp"
#include "sim/recorder_model.hpp"
#include "sim/saved_app.hpp"
#include "sim/simulator.hpp"
#include "sim/state_file.hpp"
#include "sim/take.hpp"
#include "sim/text.hpp"
#include "support/golden.hpp"

namespace zindle::sim {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Texts = std::vector<std::string>;

// The simulator started in-process with `arguments` and "--port 0".
std::unique_ptr<Simulator> started(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"--port", "0"});
  auto sim = std::make_unique<Simulator>(parseOptions(arguments), std::cerr);
  sim->start();
  return sim;
}

// The JSON body of a GET of `target`; null unless it answered 200.
json get(const Simulator& sim, const std::string& target) {
  const auto answer = httplib::Client("127.0.0.1", sim.queryPort()).Get(target);
  if (!answer || answer->status != 200) return nullptr;
  return json::parse(answer->body, nullptr, false);
}

// Gathers every node that has a TYPE as [TYPE, ACCESS, VALUE] (VALUE null
// when it has none), by its parent's path and its name, checking on the way
// that each node names its own place and describes itself.
void collect(const json& node, const std::string& path, json& typed) {
  EXPECT_EQ(node.value("FULL_PATH", ""), path.empty() ? "/" : path);
  EXPECT_TRUE(node.value("DESCRIPTION", json()).is_string()) << path;
  if (!node.contains("CONTENTS")) return;
  for (const auto& [name, child] : node["CONTENTS"].items()) {
    if (child.contains("TYPE")) {
      typed[path + "/"][name] = {child["TYPE"], child["ACCESS"],
                                 child.value("VALUE", json())};
    }
    collect(child, path + "/" + name, typed);
  }
}

TEST(SimNamespace, publishesEveryNodeAsTheAppDoes) {
  const auto sim = started({});
  auto tree = get(*sim, "/");
  json typed;
  collect(tree, "", typed);
  // The value nodes under each parent, [TYPE, ACCESS, VALUE], as the app
  // publishes them; the folder is the user's own.
  const json nodes = json::parse(testing::golden(
      "sim_namespace.json", "@FOLDER@", defaultSettings().folder));
  // Dumped, so that 0 and 0.0 differ: the server reads each by its type.
  EXPECT_EQ(typed.size(), nodes.size());
  for (const auto& [parent, children] : nodes.items()) {
    EXPECT_EQ(typed[parent].dump(), children.dump()) << parent;
  }
  auto hostInfo = json::parse(R"({
    "NAME": "ZindleRecorder", "OSC_IP": "127.0.0.1", "OSC_TRANSPORT": "UDP",
    "EXTENSIONS": {"ACCESS": true, "VALUE": true, "RANGE": true,
      "DESCRIPTION": true, "TYPE": true, "FULL_PATH": true, "CONTENTS": true}})");
  hostInfo["OSC_PORT"] = sim->oscPort();
  EXPECT_EQ(get(*sim, "/?HOST_INFO"), hostInfo);
  // Without NDI usable, no studio is offered and NDI output is off.
  const auto other = started({"--no-ndi", "--name", "Other"});
  EXPECT_EQ(get(*other, "/status/ndi")["VALUE"][0], 0);
  EXPECT_EQ(get(*other, "/status/ndi/sources")["VALUE"][0], "");
  EXPECT_EQ(get(*other, "/source")["RANGE"],
            json::parse(R"([{"VALS": ["Main Camera", "Screen"]}])"));
  EXPECT_EQ(get(*other, "/?HOST_INFO")["NAME"], "Other");
  EXPECT_EQ(tree["CONTENTS"]["source"]["RANGE"], json::parse(R"json(
    [{"VALS": ["Main Camera", "Screen", "STUDIO (Stage)"]}])json"));
  // A setting of a few choices names them all.
  EXPECT_EQ(tree["CONTENTS"]["codec"]["DESCRIPTION"],
            "Codec of every movie: h264, hevc, prores422, prores4444");
}

// The message a step of a script names: an address and its arguments, each
// a "text", a whole number or a real one (with a point, or inf, nan); "rec"
// and "stop" send /record 1 and 0, and any other word chooses the source it
// names in the next slot.
OscMessage message(std::string step) {
  if (step == "rec" || step == "stop") {
    step = step == "rec" ? "/record 1" : "/record 0";
  }
  if (!step.starts_with('/')) step = "/source/8 \"" + step + "\"";
  std::istringstream words(step);
  OscMessage message;
  words >> message.address;
  for (std::string word; words >> std::ws, !words.eof();) {
    if (words.peek() == '"') {
      words >> std::quoted(word);
      message.arguments.push_back(OscArgument::text(word));
    } else if (words >> word, word.find_first_of(".in") != word.npos) {
      message.arguments.push_back(OscArgument::real(std::stod(word)));
    } else {
      message.arguments.push_back(OscArgument::integer(std::stoll(word)));
    }
  }
  return message;
}

// The app with the default sources and a slow one, on a clock that moves
// only when told, keeping its state in `stateFile` (none when empty).
struct ScriptedApp {
  explicit ScriptedApp(std::string kept) : stateFile(std::move(kept)) {
    restart(true);
  }

  void restart(bool ndiUsable) {
    auto sources = defaultSources();
    sources.push_back({"Slow", "syphon", 640, 480, 0.5, false});
    model.emplace(
        ModelConfig{sources, ndiUsable, "0.9", {}, stateFile},
        ModelClock{[this] { return now; },
                   [] { return std::string("2026-01-02 03.04.05"); }});
  }

  // Steps apart by ";", as message() reads them; "+S" lets S seconds pass,
  // "restart" starts the app again from its state file (and "restart
  // without NDI" with NDI no longer usable).
  ScriptedApp& play(const std::string& steps) {
    std::istringstream in(steps);
    for (std::string step; std::getline(in >> std::ws, step, ';');) {
      step.erase(step.find_last_not_of(' ') + 1);
      if (step.starts_with('+')) {
        now += std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(std::stod(step.substr(1))));
      } else if (step.starts_with("restart")) {
        restart(step == "restart");
      } else {
        model->handle(message(step));
      }
    }
    return *this;
  }

  // What is published, as the rows name it: the settings by key, the chosen
  // titles, and each movie (the sources', then the assembled one) as
  // [written, frames, seconds of sound].
  json view() {
    const Snapshot shown = model->snapshot();
    json view = {{"error", shown.error},   {"failure", shown.failure},
                 {"state", shown.state},   {"elapsed", shown.elapsed},
                 {"slots", json::array()}, {"movies", json::array()}};
    for (const auto& setting : kSettings) {
      view[std::string(setting.key)] =
          settingValue(shown.settings, setting.key);
    }
    for (const auto& slot : shown.slots) {
      view["slots"].push_back(slot.title);
      view["movies"].push_back(
          {!slot.file.empty(), slot.frames, slot.soundWritten});
    }
    view["movies"].push_back({!shown.assembledFile.empty(),
                              shown.assembledFrames, shown.soundWritten});
    return view;
  }

  std::string stateFile;
  std::chrono::steady_clock::time_point now{};
  std::optional<RecorderModel> model;
};

// Rows of "STEPS => MEMBERS", a line each (a line that starts with a space
// goes on with the row before): the steps played on a fresh app, keeping
// its state in `stateFile` (removed first), and the members of its view
// that the row names.
void expectViews(const std::string& table, const std::string& stateFile) {
  Texts rows;
  std::istringstream lines(table);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(' ') && !rows.empty()) {
      rows.back() += " " + line.substr(line.find_first_not_of(' '));
    } else if (!line.empty()) {
      rows.push_back(line);
    }
  }
  for (const auto& row : rows) {
    const auto arrow = row.find(" => ");
    if (!stateFile.empty()) fs::remove(stateFile);
    const json view = ScriptedApp(stateFile).play(row.substr(0, arrow)).view();
    const json members = json::parse(row.substr(arrow + 4));
    for (const auto& [key, value] : members.items()) {
      EXPECT_EQ(view[key], value) << row << ": " << key;
    }
  }
}

// What the app makes of each script of messages, from a fresh start.
TEST(SimModel, takesOrRefusesEachMessageAsTheAppDoes) {
  expectViews(
      // The slots are a list: "/source" is the first, a title past the last
      // is appended, and emptying one moves the later ones up.
      R"-(
/source/1 "CAMERA"; /source/5 "scr"; /source/3 "(stage"
  => {"slots": ["Main Camera", "Screen", "STUDIO (Stage)"], "error": ""}
cam; scr; stage; /source/1 ""; /source/2 ""; /source "main"
  => {"slots": ["Main Camera"]}
cam; scr; /source/3 "" => {"slots": ["Main Camera", "Screen"], "error": ""}
/source/9 "cam" => {"slots": [], "error": "Unknown address /source/9."}
/source/0 "cam" => {"error": "Unknown address /source/0."}
/sourcex1 "cam" => {"error": "Unknown address /sourcex1."}
/source/11 "cam" => {"error": "Unknown address /source/11."}
/sim/nope "cam" => {"error": "Unknown address /sim/nope."}
/source/1 1 => {"error": "/source/1 takes one text: a source's title, or
  empty to remove it."}
/source/1 "nope" => {"error": "There is no source called \"nope\"."}
/sim/refuse "source"; cam
  => {"slots": [], "error": "The recorder refused the new source."}
cam; rec; /source/1 "" => {"slots": ["Main Camera"], "state": "recording",
  "error": "The sources cannot be changed while recording."}
)-"
      // Settings: stored as the app shows them, or refused, the old value
      // kept.
      R"-(
/codec "hevc" "hevc" => {"codec": "h264", "error": "codec takes one value."}
/sim/refuse "codec"; /codec "hevc"
  => {"codec": "h264", "error": "The recorder refused the new codec."}
/codec "vp9" => {"codec": "h264", "error": "codec must be h264, hevc,
  prores422 or prores4444."}
/codec 1 => {"error": "codec takes a text."}
/output "Separate"; /layout "GRID" => {"output": "separate", "layout": "grid"}
/output "none" => {"output": "both", "error": "output must be separate,
  assembled or both."}
/layout "stack" => {"error": "layout must be row, column, grid or focus."}
/folder "/"; /name "take 1" => {"folder": "/", "name": "take 1", "error": ""}
/folder "/no/such"
  => {"error": "folder must be an existing folder; \"/no/such\" is not one."}
/name "a/b" => {"name": "", "error": "name must not contain a slash."}
/sound "COMPUTER" => {"sound": "computer"}
/sound "computer"; /sound "" => {"sound": "", "error": ""}
stage; /sound "(stage" => {"sound": "STUDIO (Stage)"}
/sound "stage" => {"sound": "", "error": "sound must be computer, empty, or
  part of a chosen source's title."}
/fps 29.97; /bitrate 0 => {"fps": 29.97, "bitrate": 0, "error": ""}
/fps -0.5 => {"fps": 0, "error": "fps must be a number of 0 or more."}
/bitrate inf => {"error": "bitrate must be a number of 0 or more."}
/fps "30" => {"error": "fps takes a number."}
/gap 2147483647 => {"gap": 2147483647}
/gap 2.5 => {"gap": 0, "error": "gap must be a whole number of 0 or more."}
/gap -1 => {"error": "gap must be a whole number of 0 or more."}
/gap 2147483648.0 => {"error": "gap must be a whole number of 0 or more."}
/width 16384; /height 0; /gap 0 => {"width": 16384, "height": 0, "error": ""}
/width 16385
  => {"width": 0, "error": "width must be a whole number from 0 to 16384."}
/performance 1; /performance 0 => {"performance": 0, "error": ""}
/performance 0.5 => {"error": "performance must be 0 or 1."}
)-"
      // Starting: refused with the reason, or started with the error and
      // the failure cleared; the assembled picture may be 16384 on a side.
      R"-(
rec => {"state": "idle", "error": "No source is chosen."}
cam; /record "1"
  => {"state": "idle", "error": "/record takes 1 to start or 0 to stop."}
cam; /record 2 => {"error": "/record takes 1 to start or 0 to stop."}
cam; stop => {"state": "idle", "error": ""}
cam; /codec "vp9"; rec => {"state": "recording", "error": ""}
cam; rec; rec
  => {"state": "recording", "error": "A recording is already in progress."}
cam; /sim/never_record 1; rec => {"state": "idle", "error": ""}
cam; /sim/fail_start "Disk full."; rec
  => {"state": "idle", "error": "Disk full."}
cam; /sim/fail_start "Disk full."; rec; rec
  => {"state": "recording", "error": ""}
cam; scr; stage; /gap 10000; rec => {"state": "idle", "error": "The assembled
  picture would be 25760 x 1440, larger than 16384 x 16384."}
cam; scr; stage; /gap 5312; rec => {"state": "recording"}
cam; scr; stage; /layout "column"; /gap 6572; rec => {"state": "recording"}
cam; scr; stage; /gap 10000; /output "separate"; rec => {"state": "recording"}
)-"
      // What each movie is written with: the source's rate up to fps, the
      // fastest source's in the assembled movie, sound where it goes.
      R"-(
cam; stage; rec; +1
  => {"elapsed": 1, "movies": [[true, 30, 0], [true, 25, 1], [true, 30, 0]]}
cam; stage; /fps 24; rec; +1
  => {"movies": [[true, 24, 0], [true, 24, 1], [true, 24, 0]]}
cam; scr; /sound "computer"; /output "separate"; rec; +0.7
  => {"movies": [[true, 21, 0.7], [true, 42, 0.7], [false, 0, 0]]}
cam; /fps 0.5; rec; +4 => {"movies": [[true, 2, 0], [true, 2, 0]]}
slow; rec; +4 => {"movies": [[true, 2, 0], [true, 2, 0]]}
cam; rec; +0.999999983 => {"movies": [[true, 30, 0], [true, 30, 0]]}
cam; /sound "computer"; rec; +1 => {"movies": [[true, 30, 0], [true, 30, 1]]}
cam; stage; /sound "stage"; /output "assembled"; rec; +1
  => {"movies": [[false, 0, 0], [false, 0, 0], [true, 30, 1]]}
)-"
      // Stopping: finishing for finish_seconds, then idle with the failure
      // the script gave; the elapsed time ends at the stop. /sim/reset: the
      // settings, slots, faults and recording of a fresh start.
      R"-(
cam; rec; +1; stop; +0.25 => {"state": "finishing", "elapsed": 1}
cam; /sim/finish_seconds 0.5; rec; +1; stop; +0.5
  => {"state": "idle", "elapsed": 1}
cam; /sim/finish_seconds 0; rec; stop => {"state": "idle"}
cam; /sim/fail_recording "Died."; rec; +1; stop; +1
  => {"state": "idle", "failure": "Died."}
cam; /sim/fail_recording "Died."; rec; stop; +1; rec
  => {"state": "recording", "failure": ""}
cam; rec; stop; +1; scr => {"slots": ["Main Camera", "Screen"], "error": ""}
cam; /layout "grid"; /sim/refuse "codec"; /sim/fail_recording "x"; rec; +1;
  stop; +1; /nope; /sim/reset; /codec "hevc" => {"slots": [], "layout": "row",
  "codec": "hevc", "error": "", "failure": "", "elapsed": 0}
cam; rec; /sim/reset; cam
  => {"state": "idle", "slots": ["Main Camera"], "error": ""}
)-",
      "");
}

// The settings and sources outlive the app in its state file, saved at each
// change; each kept value is checked again as a new one would be (without
// NDI, the studio is no longer offered, nor its sound taken).
TEST(SimModel, keepsItsStateInItsFile) {
  const auto path = ::testing::TempDir() + "zindle_model_state.json";
  expectViews(R"-(
stage; cam; restart => {"slots": ["STUDIO (Stage)", "Main Camera"]}
stage; cam; /source/1 ""; restart => {"slots": ["Main Camera"]}
stage; /sound "stage"; /codec "hevc"; restart
  => {"sound": "STUDIO (Stage)", "codec": "hevc"}
stage; /sound "stage"; /codec "hevc"; restart without NDI
  => {"slots": [], "sound": "", "codec": "hevc"}
cam; /codec "hevc"; /sim/reset; restart => {"slots": [], "codec": "h264"}
)-",
              path);
  // One of the user's own: eight sources at most, and what no setting
  // takes left at the default.
  std::ofstream(path) << json{{"sources", Texts(9, "Screen")},
                              {"settings", {{"gap", 4}, {"fps", true}}}};
  const json kept = ScriptedApp(path).view();
  EXPECT_EQ(kept["slots"], json(Texts(8, "Screen")));
  EXPECT_EQ(kept["gap"], 4);
  EXPECT_EQ(kept["fps"], 0);
  fs::remove(path);
  expectViews(R"-(/codec "hevc" => {"error": "The settings could not be saved:
  cannot write beside /no/such/state.json: No such file or directory"})-",
              "/no/such/state.json");
}

// The folder at start-up is the system's for temporary files, shown without
// a trailing slash, or /tmp when there is none; recordings are named by the
// local date and time.
TEST(SimModel, startsInTheTemporaryFolder) {
  const char* saved = std::getenv("TMPDIR");
  const std::vector<std::pair<std::string, std::string>> rows{
      {"/tmp/", "/tmp"}, {"//", "/"}, {"/", "/"}, {"/no/such", "/tmp"}};
  for (const auto& [given, folder] : rows) {
    setenv("TMPDIR", given.c_str(), 1);
    EXPECT_EQ(defaultSettings().folder, folder) << given;
  }
  saved ? setenv("TMPDIR", saved, 1) : unsetenv("TMPDIR");
  EXPECT_TRUE(ModelClock::system().dateTime().starts_with("20"));
}

TEST(SimPicture, placesEachSourceAsItsLayoutSays) {
  using Places = std::vector<PicturePlace>;
  const std::vector<PictureSize> sources{
      {1920, 1080}, {2560, 1440}, {1280, 720}};
  // A grid of 2 x 2 cells of 2560 x 1440, each source centred in its cell;
  // in focus, the others share 1080 - 10 in a column 951 wide.
  const auto grid = assembledPicture(sources, "grid", 10, 0, 0);
  EXPECT_EQ(grid.size, (PictureSize{5130, 2890}));
  EXPECT_EQ(grid.places, (Places{{320, 180, 1920, 1080},
                                 {2570, 0, 2560, 1440},
                                 {640, 1810, 1280, 720}}));
  const auto focus = assembledPicture(sources, "focus", 10, 0, 0);
  EXPECT_EQ(focus.size, (PictureSize{2881, 1080}));
  EXPECT_EQ(
      focus.places,
      (Places{{0, 0, 1920, 1080}, {1930, 0, 951, 535}, {1930, 545, 951, 535}}));
  // A column 2560 wide, fitted into 1000 x 1000: everything times 1000/3260.
  const auto column = assembledPicture(sources, "column", 10, 1000, 1000);
  EXPECT_EQ(column.size, (PictureSize{785, 1000}));
  EXPECT_EQ(
      column.places,
      (Places{{98, 0, 589, 331}, {0, 334, 785, 442}, {196, 779, 393, 221}}));
  EXPECT_EQ(assembledPicture(sources, "row", 10, 1000, 0).size,
            (PictureSize{5780, 1440}));  // fitted only when both are set
}

// Only the port the messages go to changes: whatever else the user's app
// answered, odd or no host information at all, is answered as saved; so is
// a namespace of any bytes at "/" (the e2e test of a report replays a real
// one), one that is no JSON having nothing within.
TEST(SimSavedApp, answersAsSavedButForItsOwnOscPort) {
  const std::vector<std::pair<std::string, std::string>> rows{
      {R"({"NAME":"ZindleRecorder","OSC_PORT":9000,"OSC_IP":"10.0.0.2"})",
       R"({"NAME":"ZindleRecorder","OSC_IP":"10.0.0.2","OSC_PORT":4321})"},
      {R"({"NAME":"ZindleRecorder"})", R"({"NAME":"ZindleRecorder"})"},
      {R"([{"OSC_PORT":9000}])", R"([{"OSC_PORT":9000}])"},
      {"<html>not JSON", "<html>not JSON"},
  };
  for (const auto& [saved, answered] : rows) {
    EXPECT_EQ(hostInfoFor(saved, 4321), answered) << saved;
  }
  const auto path = ::testing::TempDir() + "zindle_saved_namespace.json";
  std::ofstream(path, std::ios::binary) << "<html>not JSON";
  const auto sim = started({"--namespace", path});
  EXPECT_EQ(httplib::Client("127.0.0.1", sim->queryPort()).Get("/")->body,
            "<html>not JSON");
  EXPECT_EQ(get(*sim, "/status"), nullptr);
  fs::remove(path);
}

// What it is given that it cannot use is refused at start, with a sentence
// naming it, and without waiting on it or reading it whole.
TEST(SimStart, refusesFilesAndSourcesItCannotUse) {
  const auto folder = fs::path(::testing::TempDir()) / "zindle_sim_start";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const auto fifo = (folder / "fifo").string();  // no writer ever comes
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Files of zeros, of the largest size taken and of one byte more.
  const auto atMost = (folder / "at_most").string();
  const auto past = (folder / "past").string();
  for (const auto& [path, size] : {std::pair{atMost, kLargestGivenFile},
                                   std::pair{past, kLargestGivenFile + 1}}) {
    std::ofstream{path}.close();
    fs::resize_file(path, size);
  }
  const auto cannotRead = [](const std::string& path, const std::string& why) {
    return "cannot read \"" + path + "\": " + why;
  };
  const std::vector<std::pair<Texts, std::string>> rows{
      {{"--namespace", fifo}, cannotRead(fifo, "it is not a regular file")},
      {{"--state", fifo}, cannotRead(fifo, "it is not a regular file")},
      {{"--host-info", past}, cannotRead(past, "it holds more than 4 MiB")},
      {{"--namespace", atMost, "--host-info", atMost}, ""},
      {{"--namespace", "/no/such"},
       cannotRead("/no/such", "there is no such file")},
      {{"--source", "Fast:syphon:64x64@1000.001"},
       "source \"Fast:syphon:64x64@1000.001\" needs a picture such as "
       "1920x1080@30 (sides 1 to 16384, a frame rate above 0 and at most "
       "1000)"},
      {{"--source", "Fast:ndi:64x64@1000"}, ""},
  };
  for (const auto& [arguments, refusal] : rows) {
    std::string refused;
    try {
      started(arguments);
    } catch (const std::exception& failed) {
      refused = failed.what();
    }
    EXPECT_EQ(refused, refusal) << joined(arguments, " ");
  }
  fs::remove_all(folder);
}

// Whole frames: none, one, and from 2^63 on, the largest 64-bit number.
TEST(SimTake, countsWholeFramesUpToTheLargestNumber) {
  constexpr auto kLargest = std::numeric_limits<std::int64_t>::max();
  const std::vector<std::tuple<double, double, std::int64_t>> rows{
      {0, 25, 0}, {0.04, 25, 1}, {0x1p63, 1, kLargest}, {0.5, 1e300, kLargest}};
  for (const auto& [seconds, rate, frames] : rows) {
    EXPECT_EQ(framesWritten(seconds, rate), frames)
        << seconds << " s at " << rate;
  }
}

// Each simulator saves every change whole to the file a --state path leads
// to: a link stays a link (here two, to a file not yet there), and two
// simulators on one file never meet.
TEST(SimState, savesEachChangeWholeWhereThePathLeads) {
  const auto folder = fs::path(::testing::TempDir()) / "zindle_sim_state";
  fs::remove_all(folder);
  fs::create_directories(folder / "real");
  fs::create_symlink("hop.json", folder / "link.json");
  fs::create_symlink("real/new.json", folder / "hop.json");
  constexpr int kChanges = 100;
  std::vector<std::unique_ptr<RecorderModel>> apps;
  std::vector<std::thread> changing;
  for (int i = 0; i < 2; ++i) {
    apps.push_back(std::make_unique<RecorderModel>(
        ModelConfig{
            defaultSources(), true, "", {}, (folder / "link.json").string()},
        ModelClock::system()));
  }
  for (auto& app : apps) {
    changing.emplace_back([&app] {
      for (int gap = 1; gap <= kChanges; ++gap) {
        app->handle({"/gap", {OscArgument::integer(gap)}});
      }
    });
  }
  for (auto& thread : changing) thread.join();
  for (auto& app : apps) EXPECT_EQ(app->snapshot().error, "");
  EXPECT_TRUE(fs::is_symlink(folder / "link.json"));
  EXPECT_TRUE(fs::is_symlink(folder / "hop.json"));
  std::ifstream saved(folder / "real/new.json");
  EXPECT_EQ(json::parse(saved, nullptr, false)["settings"]["gap"], kChanges);
  // Nothing else is left beside them: no temporary file.
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(folder),
                          fs::recursive_directory_iterator()),
            4);
  fs::remove_all(folder);
}

// The answer to `request`, sent as it is on a fresh connection to
// 127.0.0.1:`port`.
std::string answerTo(int port, const std::string& request) {
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string answer;
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address),
                sizeof address) == 0 &&
      ::send(socket, request.data(), request.size(), 0) ==
          static_cast<ssize_t>(request.size())) {
    char chunk[512];
    // Read to the end, which the request asks for: closing while the
    // simulator still writes would end this process with SIGPIPE.
    for (ssize_t got; (got = ::recv(socket, chunk, sizeof chunk, 0)) > 0;) {
      answer.append(chunk, static_cast<std::size_t>(got));
    }
  }
  ::close(socket);
  return answer;
}

// Both servers answer only what is addressed to this machine by its own
// names (a web page elsewhere may point a name of its own at it), and only
// for paths; the window's refusals are a line of plain text, and none of its
// answers lets a page load anything from elsewhere.
TEST(SimHttp, answersOnlyPathsAddressedToThisMachine) {
  const auto sim = started({"--view", "0"});
  const int query = sim->queryPort();
  const int view = sim->viewPort();
  const auto at = std::to_string(query);
  const std::vector<std::tuple<int, std::string, std::string, std::string>>
      rows{
          // What the server (127.0.0.1 with the port, from libcurl) and a
          // person (localhost) send; a name of another site's, pointed at
          // this machine, or none at all.
          {query, "GET /?HOST_INFO", "127.0.0.1:" + at, "200 OK"},
          {query, "GET /status/state", "localhost:" + at, "200 OK"},
          {query, "GET /?HOST_INFO", "127.0.0.1", "200 OK"},
          {query, "GET /?HOST_INFO", "rebound.example:" + at, "403 Forbidden"},
          {query, "GET /", "127.0.0.1.example", "403 Forbidden"},
          {query, "GET /?HOST_INFO", "", "403 Forbidden"},
          {view, "GET /state", "rebound.example", "403 Forbidden"},
          // Targets that are no path name nothing.
          {query, "GET ?", "127.0.0.1", "404 Not Found"},
          {query, "GET ?HOST_INFO", "127.0.0.1", "404 Not Found"},
          {query, "GET #", "127.0.0.1", "404 Not Found"},
          {view, "GET ?", "127.0.0.1", "404 Not Found"},
          {view, "GET /nope", "127.0.0.1", "404 Not Found"},
          {view, "POST /", "127.0.0.1", "405 Method Not Allowed"},
          // Past the window's own limit, and past the library's, where a
          // newer library closes the connection unanswered; it goes on.
          {view, "GET /" + std::string(2000, 'a'), "127.0.0.1",
           "414 URI Too Long"},
          {view, "GET /" + std::string(65536, 'a'), "127.0.0.1", "414 or none"},
          {view, "GET /", "localhost", "200 OK"},
      };
  for (const auto& [port, request, host, status] : rows) {
    const auto answer =
        answerTo(port, request + " HTTP/1.1\r\n" +
                           (host.empty() ? "" : "Host: " + host + "\r\n") +
                           "Connection: close\r\n\r\n");
    const auto what = request.substr(0, 40) + " for " + host;
    if (status == "414 or none") {
      EXPECT_TRUE(answer.empty() || answer.starts_with("HTTP/1.1 414 "))
          << what;
      continue;
    }
    EXPECT_EQ(answer.substr(0, answer.find("\r\n")), "HTTP/1.1 " + status)
        << what;
    if (port != view) continue;
    EXPECT_NE(answer.find("\r\nContent-Security-Policy: default-src 'self';"),
              answer.npos)
        << what;
    if (status == "200 OK") continue;
    EXPECT_NE(answer.find("\r\nContent-Type: text/plain; charset=utf-8\r\n"),
              answer.npos)
        << what;
    EXPECT_TRUE(answer.ends_with("\r\n\r\n" + status + "\n")) << what;
  }
}

// Each value after the first 4-byte one sits at 4 bytes past an 8-byte
// boundary in liblo's copy, short of its lo_arg's alignment.
TEST(SimOsc, readsNumbersWhereverLibloPlacesThem) {
  const std::vector<std::pair<std::string, std::string>> rows{
      {{"/fps\0\0\0\0,id\0\0\0\0\x01\x40\x3d\xf8\x51\xeb\x85\x1e\xb8", 24},
       "/fps ,id 1 29.97"},
      {{"/x\0\0,ihfs\0\0\0\0\0\0\x02\0\0\0\0\0\0\0\x03\x3f\xc0\0\0ok\0\0", 32},
       "/x ,ihfs 2 3 1.5 \"ok\""},
  };
  for (const auto& [datagram, described] : rows) {
    const auto decoded = decodeOscMessage(datagram.data(), datagram.size());
    EXPECT_EQ(decoded ? describe(*decoded) : "", described);
  }
}

// The window keeps of each message its first kKeptArguments arguments, and
// of its address and each text the first kKeptBytes, cut before a character
// rather than within one.
TEST(SimMessages, keepTheStartOfLongTextsAndOfLongArgumentLists) {
  const auto texts = [](const std::string& address, const Texts& values) {
    OscMessage message{address, {}};
    for (const auto& value : values) {
      message.arguments.push_back(OscArgument::text(value));
    }
    return message;
  };
  const std::string kept(RecentMessages::kKeptBytes, '\x01');
  const std::string dots = "\u2026";
  std::string accents = "a";  // then two-byte characters
  for (int i = 0; i < 200; ++i) accents += "\u00e9";
  const Texts many(RecentMessages::kKeptArguments + 1, "x");
  const std::vector<std::pair<OscMessage, OscMessage>> rows{
      {texts("/" + kept.substr(1), {kept}),
       texts("/" + kept.substr(1), {kept})},
      {texts("/" + kept, {kept + "more", accents}),
       texts("/" + kept.substr(1) + dots,
             {kept + dots, accents.substr(0, 255) + dots})},
      // Bytes that only ever continue a character: nothing of them is whole.
      {texts("/", {std::string(300, '\x80')}), texts("/", {dots})},
      {texts("/", many),
       texts("/", Texts(RecentMessages::kKeptArguments, "x"))},
  };
  for (const auto& [given, shown] : rows) {
    RecentMessages recent;
    recent.add(given);
    EXPECT_EQ(describe(recent.newestFirst().at(0).message), describe(shown));
  }
}

}  // namespace
}  // namespace zindle::sim
