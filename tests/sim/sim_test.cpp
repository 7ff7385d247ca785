// The simulated app, checked where the server's own tests do not reach it:
// the shape of its namespace, read over HTTP as the server reads it, how
// its slots shift, as the app's do, where its layouts put each source, what
// it makes of odd datagrams and odd requests.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <limits>
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

using nlohmann::json;
using Texts = std::vector<std::string>;
constexpr auto text = &OscArgument::text;

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
  EXPECT_EQ(tree["CONTENTS"]["source"]["RANGE"], json::parse(R"json(
    [{"VALS": ["Main Camera", "Screen", "STUDIO (Stage)"]}])json"));

  auto hostInfo = json::parse(R"({
    "NAME": "ZindleRecorder", "OSC_IP": "127.0.0.1", "OSC_TRANSPORT": "UDP",
    "EXTENSIONS": {"ACCESS": true, "VALUE": true, "RANGE": true,
      "DESCRIPTION": true, "TYPE": true, "FULL_PATH": true, "CONTENTS": true}})");
  hostInfo["OSC_PORT"] = sim->oscPort();
  EXPECT_EQ(get(*sim, "/?HOST_INFO"), hostInfo);
}

TEST(SimNamespace, leavesNdiOutWhenItIsNotUsable) {
  const auto sim = started({"--no-ndi", "--name", "Other"});
  EXPECT_EQ(get(*sim, "/status/ndi")["VALUE"][0], 0);
  EXPECT_EQ(get(*sim, "/status/ndi/sources")["VALUE"][0], "");
  EXPECT_EQ(get(*sim, "/source")["RANGE"],
            json::parse(R"([{"VALS": ["Main Camera", "Screen"]}])"));
  EXPECT_EQ(get(*sim, "/?HOST_INFO")["NAME"], "Other");
}

// A script of messages, steps apart by ";": an address and its arguments,
// each a "text", a whole number or a real one (with a point, or inf, nan);
// "+S" lets S seconds pass; "cam", "scr", "stage" and "slow" choose that
// source in the next slot, "rec" and "stop" send /record 1 and 0.
std::vector<OscMessage> script(const std::string& given) {
  std::vector<OscMessage> steps;
  std::istringstream in(given);
  for (std::string step; std::getline(in >> std::ws, step, ';');) {
    if (step == "cam" || step == "scr" || step == "stage" || step == "slow") {
      step = "/source/8 \"" + step + "\"";
    }
    if (step == "rec" || step == "stop") {
      step = step == "rec" ? "/record 1" : "/record 0";
    }
    std::istringstream words(step);
    OscMessage message;
    words >> message.address;
    for (std::string word; words >> std::ws, !words.eof();) {
      if (words.peek() == '"') {
        words >> std::quoted(word);
        message.arguments.push_back(text(word));
      } else if (words >> word, word.find_first_of(".in") != word.npos) {
        message.arguments.push_back(OscArgument::real(std::stod(word)));
      } else {
        message.arguments.push_back(OscArgument::integer(std::stoll(word)));
      }
    }
    steps.push_back(std::move(message));
  }
  return steps;
}

// The app with the default sources and a slow one, on a clock that moves
// only when told.
std::vector<Source> scriptedSources() {
  auto sources = defaultSources();
  sources.push_back({"Slow", "syphon", 640, 480, 0.5, false});
  return sources;
}

struct ScriptedApp {
  explicit ScriptedApp(bool ndiUsable = true, std::string stateFile = "")
      : model(ModelConfig{scriptedSources(), ndiUsable, "0.9", {}, stateFile},
              ModelClock{[this] { return now; },
                         [] { return std::string("2026-01-02 03.04.05"); }}) {}

  ScriptedApp& play(const std::string& steps) {
    for (const auto& step : script(steps)) {
      if (!step.address.starts_with('+')) {
        model.handle(step);
      } else {
        now += std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::duration<double>(std::stod(step.address.substr(1))));
      }
    }
    return *this;
  }

  // What is published, as the rows name it: the settings by key, the chosen
  // titles, and each movie (the sources', then the assembled one) as
  // [written, frames, seconds of sound].
  json view() {
    const Snapshot shown = model.snapshot();
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

  std::chrono::steady_clock::time_point now{};
  RecorderModel model;
};

// What the app makes of each script of messages, from a fresh start: the
// members of its view that the row names.
TEST(SimModel, takesOrRefusesEachMessageAsTheAppDoes) {
  const std::vector<std::pair<std::string, std::string>> rows{
      // The slots are a list: "/source" is the first, a title past the last
      // is appended, and emptying one moves the later ones up.
      {R"-(/source/1 "CAMERA"; /source/5 "scr"; /source/3 "(stage")-",
       R"-({"slots": ["Main Camera", "Screen", "STUDIO (Stage)"], "error": ""})-"},
      {R"-(cam; scr; stage; /source/1 ""; /source/2 ""; /source "main")-",
       R"-({"slots": ["Main Camera"]})-"},
      {R"-(cam; scr; /source/3 "")-",
       R"-({"slots": ["Main Camera", "Screen"], "error": ""})-"},
      {R"-(cam; scr; /source/1 ""; /source/1 ""; /source/1 "")-",
       R"-({"slots": [], "error": ""})-"},
      {R"-(/source/9 "cam")-",
       R"-({"slots": [], "error": "Unknown address /source/9."})-"},
      {R"-(/source/0 "cam")-", R"-({"error": "Unknown address /source/0."})-"},
      {R"-(/sourcex1 "cam")-", R"-({"error": "Unknown address /sourcex1."})-"},
      {R"-(/source/11 "cam")-",
       R"-({"error": "Unknown address /source/11."})-"},
      {R"-(/sim/nope "cam")-", R"-({"error": "Unknown address /sim/nope."})-"},
      {"/source/1 1", R"-({"error": "/source/1 takes one text: a source's )-"
                      R"-(title, or empty to remove it."})-"},
      {"/source/2", R"-({"error": "/source/2 takes one text: a source's )-"
                    R"-(title, or empty to remove it."})-"},
      {R"-(/source/1 "nope")-",
       R"-({"error": "There is no source called \"nope\"."})-"},
      {R"-(/sim/refuse "source"; cam)-",
       R"-({"slots": [], "error": "The recorder refused the new source."})-"},
      {R"-(cam; rec; /source/1 "")-",
       R"-({"slots": ["Main Camera"], "state": "recording",
           "error": "The sources cannot be changed while recording."})-"},
      // Settings: stored as the app shows them, or refused, the old value
      // kept.
      {R"-(/codec "HEVC")-", R"-({"codec": "hevc", "error": ""})-"},
      {R"-(/codec "hevc" "hevc")-",
       R"-({"codec": "h264", "error": "codec takes one value."})-"},
      {R"-(/sim/refuse "codec"; /codec "hevc")-",
       R"-({"codec": "h264", "error": "The recorder refused the new codec."})-"},
      {R"-(/codec "vp9")-", R"-({"codec": "h264", "error": "codec must be )-"
                            R"-(h264, hevc, prores422 or prores4444."})-"},
      {"/codec 1", R"-({"error": "codec takes a text."})-"},
      {R"-(/output "Separate"; /layout "GRID")-",
       R"-({"output": "separate", "layout": "grid"})-"},
      {R"-(/output "none")-",
       R"-({"output": "both", "error": "output must be )-"
       R"-(separate, assembled or both."})-"},
      {R"-(/layout "stack")-",
       R"-({"error": "layout must be row, column, grid or focus."})-"},
      {R"-(/folder "/"; /name "take 1")-",
       R"-({"folder": "/", "name": "take 1", "error": ""})-"},
      {R"-(/folder "")-",
       R"-({"error": "folder must be an existing folder; \"\" is not one."})-"},
      {R"-(/folder "/no/such")-",
       R"-({"error": "folder must be an existing folder; \"/no/such\" is )-"
       R"-(not one."})-"},
      {R"-(/name "a/b")-",
       R"-({"name": "", "error": "name must not contain a slash."})-"},
      {R"-(/sound "COMPUTER")-", R"-({"sound": "computer"})-"},
      {R"-(/sound "computer"; /sound "")-", R"-({"sound": "", "error": ""})-"},
      {R"-(stage; /sound "(stage")-", R"-({"sound": "STUDIO (Stage)"})-"},
      {R"-(/sound "stage")-",
       R"-({"sound": "", "error": "sound must be computer, empty, or part )-"
       R"-(of a chosen source's title."})-"},
      {"/fps 29.97; /bitrate 0",
       R"-({"fps": 29.97, "bitrate": 0, "error": ""})-"},
      {"/fps -0.5",
       R"-({"fps": 0, "error": "fps must be a number of 0 or more."})-"},
      {"/bitrate inf",
       R"-({"error": "bitrate must be a number of 0 or more."})-"},
      {R"-(/fps "30")-", R"-({"error": "fps takes a number."})-"},
      {"/gap 2147483647", R"-({"gap": 2147483647})-"},
      {"/gap 2.5",
       R"-({"gap": 0, "error": "gap must be a whole number of 0 or more."})-"},
      {"/gap -1", R"-({"error": "gap must be a whole number of 0 or more."})-"},
      {"/gap 2147483648.0",
       R"-({"error": "gap must be a whole number of 0 or more."})-"},
      {"/width 16384; /height 0; /gap 0",
       R"-({"width": 16384, "height": 0, "error": ""})-"},
      {"/width 16385", R"-({"width": 0, "error": "width must be a whole )-"
                       R"-(number from 0 to 16384."})-"},
      {"/height nan",
       R"-({"error": "height must be a whole number from 0 to 16384."})-"},
      {"/performance 1", R"-({"performance": 1})-"},
      {"/performance 1; /performance 0",
       R"-({"performance": 0, "error": ""})-"},
      {"/performance 0.5", R"-({"error": "performance must be 0 or 1."})-"},
      // Starting: refused with the reason, or started with the error and
      // the failure cleared.
      {"rec", R"-({"state": "idle", "error": "No source is chosen."})-"},
      {R"-(cam; /record "1")-",
       R"-({"state": "idle", "error": )-"
       R"-("/record takes 1 to start or 0 to stop."})-"},
      {"cam; /record 2",
       R"-({"error": "/record takes 1 to start or 0 to stop."})-"},
      {"cam; /record 1 1", R"-({"state": "idle", "error": )-"
                           R"-("/record takes 1 to start or 0 to stop."})-"},
      {"cam; stop", R"-({"state": "idle", "error": ""})-"},
      {R"-(cam; /codec "vp9"; rec)-",
       R"-({"state": "recording", "error": ""})-"},
      {"cam; rec; rec", R"-({"state": "recording",
                           "error": "A recording is already in progress."})-"},
      {"cam; /sim/never_record 1; rec", R"-({"state": "idle", "error": ""})-"},
      {R"-(cam; /sim/fail_start "Disk full."; rec)-",
       R"-({"state": "idle", "error": "Disk full."})-"},
      {R"-(cam; /sim/fail_start "Disk full."; rec; rec)-",
       R"-({"state": "recording", "error": ""})-"},
      // The assembled picture may be 16384 on a side, not more.
      {"cam; scr; stage; /gap 10000; rec",
       R"-({"state": "idle", "error": "The assembled picture would be )-"
       R"-(25760 x 1440, larger than 16384 x 16384."})-"},
      {"cam; scr; stage; /gap 5312; rec", R"-({"state": "recording"})-"},
      {R"-(cam; scr; stage; /layout "column"; /gap 6572; rec)-",
       R"-({"state": "recording"})-"},
      {R"-(cam; scr; stage; /layout "column"; /gap 6573; rec)-",
       R"-({"state": "idle", "error": "The assembled picture would be )-"
       R"-(2560 x 16386, larger than 16384 x 16384."})-"},
      {R"-(cam; scr; stage; /gap 10000; /output "separate"; rec)-",
       R"-({"state": "recording"})-"},
      // What each movie is written with: the source's rate up to fps, the
      // fastest source's in the assembled movie, sound where it goes.
      {"cam; stage; rec; +1",
       R"-({"elapsed": 1, "movies": [[true, 30, 0], [true, 25, 1],
           [true, 30, 0]]})-"},
      {"cam; stage; /fps 24; rec; +1",
       R"-({"movies": [[true, 24, 0], [true, 24, 1], [true, 24, 0]]})-"},
      {R"-(cam; scr; /sound "computer"; /output "separate"; rec; +0.7)-",
       R"-({"movies": [[true, 21, 0.7], [true, 42, 0.7], [false, 0, 0]]})-"},
      {"cam; /fps 0.5; rec; +4",
       R"-({"movies": [[true, 2, 0], [true, 2, 0]]})-"},
      {"slow; rec; +4", R"-({"movies": [[true, 2, 0], [true, 2, 0]]})-"},
      {"cam; rec; +0.999999983",
       R"-({"movies": [[true, 30, 0], [true, 30, 0]]})-"},
      {R"-(cam; /sound "computer"; rec; +1)-",
       R"-({"movies": [[true, 30, 0], [true, 30, 1]]})-"},
      {R"-(cam; stage; /sound "stage"; /output "assembled"; rec; +1)-",
       R"-({"movies": [[false, 0, 0], [false, 0, 0], [true, 30, 1]]})-"},
      // Stopping: finishing for finish_seconds, then idle with the failure
      // the script gave; the elapsed time ends at the stop.
      {"cam; rec; +1; stop; +0.25",
       R"-({"state": "finishing", "elapsed": 1})-"},
      {"cam; /sim/finish_seconds 0.5; rec; +1; stop; +0.5",
       R"-({"state": "idle", "elapsed": 1})-"},
      {"cam; /sim/finish_seconds 0; rec; stop", R"-({"state": "idle"})-"},
      {R"-(cam; /sim/fail_recording "Died."; rec; +1; stop; +1)-",
       R"-({"state": "idle", "failure": "Died."})-"},
      {R"-(cam; /sim/fail_recording "Died."; rec; stop; +1; rec)-",
       R"-({"state": "recording", "failure": ""})-"},
      {"cam; rec; stop; +1; scr",
       R"-({"slots": ["Main Camera", "Screen"], "error": ""})-"},
      // /sim/reset: the settings, slots, faults and recording of a fresh
      // start.
      {R"-(cam; /layout "grid"; /sim/refuse "codec";
          /sim/fail_recording "x"; rec; +1; stop; +1; /nope;
          /sim/reset; /codec "hevc")-",
       R"-({"slots": [], "layout": "row", "codec": "hevc", "error": "",
           "failure": "", "elapsed": 0})-"},
      {"cam; rec; /sim/reset; cam",
       R"-({"state": "idle", "slots": ["Main Camera"], "error": ""})-"},
  };
  for (const auto& [steps, expected] : rows) {
    const json view = ScriptedApp().play(steps).view();
    const json members = json::parse(expected);
    for (const auto& [key, value] : members.items()) {
      EXPECT_EQ(view[key], value) << steps << ": " << key;
    }
  }
}

// The settings and sources outlive the app in its state file, saved at each
// change; each kept value is checked again as a new one would be (without
// NDI, the studio is no longer offered, nor its sound taken).
TEST(SimModel, keepsItsStateInItsFile) {
  const auto path = ::testing::TempDir() + "zindle_model_state.json";
  const std::vector<std::tuple<std::string, bool, std::string>> rows{
      {"stage; cam", true, R"-({"slots": ["STUDIO (Stage)", "Main Camera"]})-"},
      {R"-(stage; cam; /source/1 "")-", true,
       R"-({"slots": ["Main Camera"]})-"},
      {R"-(stage; /sound "stage"; /codec "hevc")-", true,
       R"-({"sound": "STUDIO (Stage)", "codec": "hevc"})-"},
      {R"-(stage; /sound "stage"; /codec "hevc")-", false,
       R"-({"slots": [], "sound": "", "codec": "hevc"})-"},
      {R"-(cam; /codec "hevc"; /sim/reset)-", true,
       R"-({"slots": [], "codec": "h264"})-"},
  };
  for (const auto& [steps, ndiUsable, expected] : rows) {
    std::remove(path.c_str());
    ScriptedApp(true, path).play(steps);
    const json view = ScriptedApp(ndiUsable, path).view();
    const json members = json::parse(expected);
    for (const auto& [key, value] : members.items()) {
      EXPECT_EQ(view[key], value) << steps << ": " << key;
    }
  }
  std::ofstream(path) << json{{"sources", Texts(9, "Screen")},
                              {"settings", {{"gap", 4}, {"fps", true}}}};
  const json kept = ScriptedApp(true, path).view();
  EXPECT_EQ(kept["slots"], json(Texts(8, "Screen")));
  EXPECT_EQ(kept["gap"], 4);
  EXPECT_EQ(kept["fps"], 0);
  std::remove(path.c_str());
  const json unsaved = ScriptedApp(true, "/no/such/state.json")
                           .play(R"-(/codec "hevc")-")
                           .view();
  EXPECT_TRUE(unsaved["error"].get<std::string>().starts_with(
      "The settings could not be saved: "));
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
// answered, odd or no host information at all, is answered as saved.
TEST(SimSavedApp, takesTheMessagesOnItsOwnPortAndKeepsTheRest) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {R"({"NAME":"ZindleRecorder","OSC_PORT":9000,"OSC_IP":"10.0.0.2"})",
       R"({"NAME":"ZindleRecorder","OSC_IP":"10.0.0.2","OSC_PORT":4321})"},
      {R"({"NAME":"Other","OSC_PORT":"nine"})",
       R"({"NAME":"Other","OSC_PORT":4321})"},
      {R"({"NAME":"ZindleRecorder"})", R"({"NAME":"ZindleRecorder"})"},
      {R"([{"OSC_PORT":9000}])", R"([{"OSC_PORT":9000}])"},
      {"<html>not JSON", "<html>not JSON"},
      {"", ""},
  };
  for (const auto& [saved, answered] : cases) {
    EXPECT_EQ(hostInfoFor(saved, 4321), answered) << saved;
  }
}

// A saved namespace of any bytes is answered at "/" as saved (the e2e test
// of a report replays a real one); one that is no JSON has nothing within.
TEST(SimSavedApp, answersEvenANamespaceThatIsNoJson) {
  const auto path = ::testing::TempDir() + "zindle_saved_namespace.json";
  std::ofstream(path, std::ios::binary) << "<html>not JSON";
  const auto sim = started({"--namespace", path});
  EXPECT_EQ(httplib::Client("127.0.0.1", sim->queryPort()).Get("/")->body,
            "<html>not JSON");
  EXPECT_EQ(get(*sim, "/status"), nullptr);
  std::remove(path.c_str());
  EXPECT_THROW(started({"--namespace", path}), std::runtime_error);
}

// What it is given that it cannot use is refused at start, with a sentence
// naming it, and without waiting on it or reading it whole.
TEST(SimStart, refusesFilesAndSourcesItCannotUse) {
  namespace fs = std::filesystem;
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
  const std::string notRegular = "it is not a regular file";
  const std::string tooLarge = "it holds more than 4 MiB";
  const std::vector<std::pair<Texts, std::string>> rows{
      {{"--namespace", fifo}, cannotRead(fifo, notRegular)},
      {{"--host-info", fifo}, cannotRead(fifo, notRegular)},
      {{"--state", fifo}, cannotRead(fifo, notRegular)},
      {{"--namespace", "/dev/zero"}, cannotRead("/dev/zero", notRegular)},
      {{"--state", folder.string()}, cannotRead(folder.string(), notRegular)},
      {{"--host-info", past}, cannotRead(past, tooLarge)},
      {{"--namespace", atMost, "--host-info", atMost}, ""},
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

TEST(SimTake, countsWholeFramesUpToTheLargestNumber) {
  constexpr auto kLargest = std::numeric_limits<std::int64_t>::max();
  const std::vector<std::tuple<double, double, std::int64_t>> rows{
      {0.7, 30, 21},  // 20.999999999999996 by the product alone
      {0.5, 1000, 500},       {0, 25, 0},
      {0.5, 1e300, kLargest}, {1e300, 1000, kLargest},
  };
  for (const auto& [seconds, rate, frames] : rows) {
    EXPECT_EQ(framesWritten(seconds, rate), frames)
        << seconds << " s at " << rate;
  }
}

// Each simulator saves every change whole to the file a --state path leads
// to: a link stays a link, and two of them on one file never meet.
TEST(SimState, savesEachChangeWholeWhereThePathLeads) {
  namespace fs = std::filesystem;
  const auto folder = fs::path(::testing::TempDir()) / "zindle_sim_state";
  struct Row {
    std::string given;                                       // the --state path
    std::vector<std::pair<std::string, std::string>> links;  // link, target
    std::string saved;  // the file that holds the settings
    int simulators;
  };
  const std::vector<Row> rows{
      {"state.json", {}, "state.json", 2},
      {"link.json", {{"link.json", "real/state.json"}}, "real/state.json", 1},
      // Through two links, to a file not yet there.
      {"link.json",
       {{"link.json", "hop.json"}, {"hop.json", "real/new.json"}},
       "real/new.json",
       1},
  };
  constexpr int kChanges = 100;
  for (const auto& row : rows) {
    fs::remove_all(folder);
    fs::create_directories(folder / "real");
    std::ofstream(folder / "real/state.json") << "{}";
    for (const auto& [link, target] : row.links) {
      fs::create_symlink(target, folder / link);
    }
    std::vector<std::unique_ptr<RecorderModel>> apps;
    for (int i = 0; i < row.simulators; ++i) {
      ModelConfig config;
      config.sources = defaultSources();
      config.stateFile = (folder / row.given).string();
      apps.push_back(std::make_unique<RecorderModel>(std::move(config),
                                                     ModelClock::system()));
    }
    std::vector<std::thread> changing;
    for (auto& app : apps) {
      changing.emplace_back([&app] {
        for (int gap = 1; gap <= kChanges; ++gap) {
          app->handle({"/gap", {OscArgument::integer(gap)}});
        }
      });
    }
    for (auto& thread : changing) thread.join();
    for (auto& app : apps) EXPECT_EQ(app->snapshot().error, "") << row.given;
    for (const auto& [link, target] : row.links) {
      EXPECT_TRUE(fs::is_symlink(folder / link)) << link;
    }
    std::ifstream saved(folder / row.saved);
    EXPECT_EQ(json::parse(saved, nullptr, false)["settings"]["gap"], kChanges)
        << row.saved;
    // Nothing else is left beside them: no temporary file.
    const auto entries = std::distance(fs::recursive_directory_iterator(folder),
                                       fs::recursive_directory_iterator());
    EXPECT_EQ(entries, static_cast<long>(row.links.size()) +
                           (row.saved == "real/state.json" ? 2 : 3))
        << row.given;
  }
  fs::remove_all(folder);
}

// The status line of the answer to `request`, sent as it is on a fresh
// connection to 127.0.0.1:`port`.
std::string statusLine(int port, const std::string& request) {
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
  return answer.substr(0, answer.find("\r\n"));
}

TEST(SimHttp, answersOnlyPathsAddressedToThisMachine) {
  const auto sim = started({"--view", "0"});
  const auto query = std::to_string(sim->queryPort());
  struct Row {
    int port;
    std::string target;
    std::string host;  // empty: none sent
    std::string status;
  };
  const std::vector<Row> rows{
      // What the server (127.0.0.1 with the port, from libcurl) and a
      // person (localhost) send.
      {sim->queryPort(), "/?HOST_INFO", "127.0.0.1:" + query, "200 OK"},
      {sim->queryPort(), "/status/state", "localhost:" + query, "200 OK"},
      {sim->queryPort(), "/?HOST_INFO", "127.0.0.1", "200 OK"},
      // A name of another site's, pointed at this machine, or none at all.
      {sim->queryPort(), "/?HOST_INFO", "rebound.example:" + query,
       "403 Forbidden"},
      {sim->queryPort(), "/", "127.0.0.1.example", "403 Forbidden"},
      {sim->queryPort(), "/?HOST_INFO", "", "403 Forbidden"},
      // Targets that are no path name nothing, on either port.
      {sim->queryPort(), "?", "127.0.0.1", "404 Not Found"},
      {sim->queryPort(), "?HOST_INFO", "127.0.0.1", "404 Not Found"},
      {sim->queryPort(), "#", "127.0.0.1", "404 Not Found"},
      {sim->viewPort(), "?", "127.0.0.1", "404 Not Found"},
      {sim->viewPort(), "#", "127.0.0.1", "404 Not Found"},
      {sim->viewPort(), "/state", "localhost", "200 OK"},
  };
  for (const auto& row : rows) {
    const std::string host =
        row.host.empty() ? "" : "Host: " + row.host + "\r\n";
    EXPECT_EQ(statusLine(row.port, "GET " + row.target + " HTTP/1.1\r\n" +
                                       host + "Connection: close\r\n\r\n"),
              "HTTP/1.1 " + row.status)
        << row.target << " for " << row.host;
  }
}

TEST(SimOsc, readsNumbersWhereverLibloPlacesThem) {
  // Each value after the first 4-byte one sits at 4 bytes past an 8-byte
  // boundary in liblo's copy, short of its lo_arg's alignment.
  const std::string fps(
      "/fps\0\0\0\0,id\0\0\0\0\x01"
      "\x40\x3d\xf8\x51\xeb\x85\x1e\xb8",
      24);
  const auto decoded = decodeOscMessage(fps.data(), fps.size());
  ASSERT_TRUE(decoded);
  EXPECT_EQ(describe(*decoded), "/fps ,id 1 29.97");
  const std::string mixed(
      "/x\0\0,ihfs\0\0\0\0\0\0\x02\x00\x00\x00\x00\x00\x00\x00\x03"
      "\x3f\xc0\x00\x00ok\0\0",
      32);
  const auto more = decodeOscMessage(mixed.data(), mixed.size());
  ASSERT_TRUE(more);
  EXPECT_EQ(describe(*more), "/x ,ihfs 2 3 1.5 \"ok\"");
}

TEST(SimMessages, keepTheStartOfLongTextsAndOfLongArgumentLists) {
  RecentMessages recent;
  const std::string kept(RecentMessages::kKeptBytes, '\x01');
  // Two-byte characters after one of one byte: the cut would split one, so
  // 255 bytes are kept.
  std::string accents = "a";
  for (int i = 0; i < 200; ++i) accents += "\u00e9";
  OscMessage message{
      "/" + kept,
      {OscArgument::text(kept + "more"), OscArgument::text(accents)}};
  for (int i = 0; i < 10; ++i) {
    message.arguments.push_back(OscArgument::integer(i));
  }
  recent.add(message);
  recent.add({"/" + kept.substr(1), {OscArgument::text(kept)}});
  // Bytes that only ever continue a character: nothing of them is whole.
  recent.add({"/", {OscArgument::text(std::string(300, '\x80'))}});
  const auto all = recent.newestFirst();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(std::get<std::string>(all[0].message.arguments[0].value), "\u2026");
  const std::vector both(all.begin() + 1, all.end());
  // Exactly kKeptBytes is kept whole.
  EXPECT_EQ(both[0].message.address, "/" + kept.substr(1));
  EXPECT_EQ(std::get<std::string>(both[0].message.arguments[0].value), kept);
  const auto& cut = both[1].message;
  EXPECT_EQ(cut.address, "/" + kept.substr(1) + "\u2026");
  ASSERT_EQ(cut.arguments.size(), RecentMessages::kKeptArguments);
  EXPECT_EQ(std::get<std::string>(cut.arguments[0].value), kept + "\u2026");
  EXPECT_EQ(std::get<std::string>(cut.arguments[1].value),
            accents.substr(0, 255) + "\u2026");
  EXPECT_EQ(std::get<std::int64_t>(cut.arguments.back().value), 5);
}

}  // namespace
}  // namespace zindle::sim
