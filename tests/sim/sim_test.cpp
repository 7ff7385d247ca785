// The simulated app, checked where the server's own tests do not reach it:
// the shape of its namespace and its HTTP faults, read over HTTP as the
// server reads them; and its own rules, on its model and its parts: how the
// slots shift, which values it refuses, what it keeps between runs, how
// large the assembled picture is and what its movies are called.

#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <random>

#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>

#include "sim/movie_names.hpp"
#include "sim/namespace_tree.hpp"
#include "sim/options.hpp"
#include "sim/picture_layout.hpp"
#include "sim/recorder_model.hpp"
#include "sim/simulator.hpp"

namespace zindle::sim {
namespace {

using nlohmann::json;
using Texts = std::vector<std::string>;
using namespace std::chrono_literals;
constexpr auto text = &OscArgument::text;

// A folder of its own for one test, removed with everything in it.
struct TemporaryFolder {
  TemporaryFolder() { std::filesystem::create_directories(path); }
  ~TemporaryFolder() {
    std::error_code ignored;  // a folder already gone is fine
    std::filesystem::remove_all(path, ignored);
  }
  std::string file(const std::string& name) const { return path + "/" + name; }

  const std::string path =
      std::filesystem::temp_directory_path() /
      ("zindle_sim_" + std::to_string(std::random_device()()));
};

// The app offering the default sources, keeping its settings in `stateFile`
// when one is given.
RecorderModel appModel(const std::string& stateFile = "") {
  ModelConfig config;
  config.sources = defaultSources();
  config.stateFile = stateFile;
  return RecorderModel(std::move(config), ModelClock::system());
}

// The simulator started in-process with `arguments` and "--port 0".
std::unique_ptr<Simulator> started(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"--port", "0"});
  auto sim = std::make_unique<Simulator>(parseOptions(arguments), std::cerr);
  sim->start();
  return sim;
}

httplib::Result fetch(const Simulator& sim, const std::string& target) {
  return httplib::Client("127.0.0.1", sim.queryPort()).Get(target);
}

// The JSON body of a GET of `target`; null unless it answered 200.
json get(const Simulator& sim, const std::string& target) {
  const auto answer = fetch(sim, target);
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

TEST(SimNamespace, publishesEveryNodeAndAnswersForAnyOneOfThem) {
  const auto sim = started({});
  auto tree = get(*sim, "/");
  json typed;
  collect(tree, "", typed);
  // The value nodes under each parent: [TYPE, ACCESS, VALUE].
  auto nodes = json::parse(R"json({
    "/status/": {"version": ["s", 1, ["0.9"]], "state": ["s", 1, ["idle"]],
      "elapsed": ["f", 1, [0.0]], "dropped": ["i", 1, [0]],
      "error": ["s", 1, [""]], "failure": ["s", 1, [""]], "ndi": ["i", 1, [1]]},
    "/status/ndi/": {"sources": ["s", 1, ["STUDIO (Stage)"]]},
    "/status/sound/": {"leftout": ["f", 1, [0.0]], "written": ["f", 1, [0.0]]},
    "/status/assembled/": {"width": ["i", 1, [0]], "height": ["i", 1, [0]],
      "file": ["s", 1, [""]], "frames": ["i", 1, [0]], "dropped": ["i", 1, [0]]},
    "/": {"codec": ["s", 3, ["h264"]], "fps": ["f", 3, [0.0]],
      "bitrate": ["f", 3, [0.0]], "name": ["s", 3, [""]],
      "output": ["s", 3, ["both"]], "layout": ["s", 3, ["row"]],
      "gap": ["i", 3, [0]], "width": ["i", 3, [0]], "height": ["i", 3, [0]],
      "sound": ["s", 3, [""]], "performance": ["i", 3, [0]],
      "source": ["s", 3, [""]], "record": ["i", 2, null]},
    "/sim/": {"refuse": ["s", 3, [""]], "fail_start": ["s", 3, [""]],
      "never_record": ["i", 3, [0]], "finish_seconds": ["f", 3, [0.3]],
      "fail_recording": ["s", 3, [""]], "http_fault": ["s", 3, ["none"]],
      "reset": ["", 2, null]},
    "/status/source/1/": {"kind": ["s", 1, [""]], "online": ["i", 1, [0]],
      "width": ["i", 1, [0]], "height": ["i", 1, [0]], "fps": ["f", 1, [0.0]],
      "file": ["s", 1, [""]], "frames": ["i", 1, [0]],
      "dropped": ["i", 1, [0]], "sound": ["i", 1, [0]],
      "soundwritten": ["f", 1, [0.0]]}})json");
  nodes["/"]["folder"] = {"s", 3, json::array({defaultSettings().folder})};
  for (int k = 1; k <= 8; ++k) {
    nodes["/source/"][std::to_string(k)] = nodes["/"]["source"];
    nodes["/status/source/" + std::to_string(k) + "/"] =
        nodes["/status/source/1/"];
  }
  // Dumped, so that 0 and 0.0 differ: the server reads each by its type.
  EXPECT_EQ(typed.size(), nodes.size());
  for (const auto& [parent, children] : nodes.items()) {
    EXPECT_EQ(typed[parent].dump(), children.dump()) << parent;
  }
  EXPECT_EQ(tree["CONTENTS"]["source"]["RANGE"], json::parse(R"json(
    [{"VALS": ["Main Camera", "Screen", "STUDIO (Stage)"]}])json"));

  auto& status = tree["CONTENTS"]["status"]["CONTENTS"];
  EXPECT_EQ(get(*sim, "/status/assembled"), status["assembled"]);
  EXPECT_EQ(get(*sim, "/status/state/"), status["state"]);
  EXPECT_EQ(get(*sim, "/status/state?VALUE"),
            json::parse(R"({"VALUE":["idle"]})"));
  for (const auto* target : {"/nothing", "/status/nothing",
                             "/status/state/deeper", "/status/state?RANGE"}) {
    const auto answer = fetch(*sim, target);
    EXPECT_EQ(answer ? answer->status : 0, 404) << target;
  }
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

TEST(SimFaults, answerEveryGetWith404OrGarbageWhenToldTo) {
  const auto notFound = started({"--http-fault", "404"});
  const auto garbage = started({"--http-fault", "garbage"});
  for (const auto* target : {"/?HOST_INFO", "/", "/status/state"}) {
    const auto missing = fetch(*notFound, target);
    const auto broken = fetch(*garbage, target);
    ASSERT_TRUE(missing && broken) << target;
    EXPECT_EQ(missing->status, 404) << target;
    EXPECT_EQ(missing->body, "") << target;
    EXPECT_EQ(broken->status, 200) << target;
    EXPECT_EQ(broken->body, "<html>this is not JSON") << target;
  }
}

TEST(SimFaults, releaseHeldRequestsPromptlyWhenTheSimulatorStops) {
  auto sim = started({"--http-fault", "hang"});
  const auto port = sim->queryPort();
  auto held = std::async(std::launch::async, [port] {
    return httplib::Client("127.0.0.1", port).Get("/");
  });
  EXPECT_EQ(held.wait_for(200ms), std::future_status::timeout);
  const auto before = std::chrono::steady_clock::now();
  sim.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
  ASSERT_EQ(held.wait_for(1s), std::future_status::ready);
  const auto answer = held.get();
  EXPECT_TRUE(!answer || answer->status == 503);
}

Texts slotTitles(RecorderModel& app) {
  Texts titles;
  for (const auto& slot : app.snapshot().slots) titles.push_back(slot.title);
  return titles;
}

TEST(SimSlots, appendBeyondTheLastAndMoveUpWhenOneIsEmptied) {
  auto app = appModel();
  app.handle({"/source/1", {text("CAMERA")}});
  app.handle({"/source/5", {text("scr")}});
  app.handle({"/source/3", {text("(stage")}});
  EXPECT_EQ(slotTitles(app),
            (Texts{"Main Camera", "Screen", "STUDIO (Stage)"}));
  app.handle({"/source/1", {text("")}});
  EXPECT_EQ(slotTitles(app), (Texts{"Screen", "STUDIO (Stage)"}));
  app.handle({"/source", {text("main")}});  // slot 1
  EXPECT_EQ(slotTitles(app), (Texts{"Main Camera", "STUDIO (Stage)"}));
  for (int removal = 0; removal < 8; ++removal)
    app.handle({"/source/1", {text("")}});
  EXPECT_EQ(slotTitles(app), Texts{});
  EXPECT_EQ(app.snapshot().error, "");
}

TEST(SimSettings, refuseWhatTheAppWouldNotTakeChangingOnlyTheError) {
  // The address, its one argument (none when null) and the error it leaves.
  const auto refusals = json::parse(R"json([
    ["/codec", "mpeg2", "codec must be h264, hevc, prores422 or prores4444."],
    ["/output", "all", "output must be separate, assembled or both."],
    ["/layout", "ring", "layout must be row, column, grid or focus."],
    ["/codec", 1, "codec takes a text."], ["/fps", "30", "fps takes a number."],
    ["/fps", null, "fps takes one value."],
    ["/bitrate", -0.5, "bitrate must be a number of 0 or more."],
    ["/gap", 2.5, "gap must be a whole number of 0 or more."],
    ["/width", 16385, "width must be a whole number from 0 to 16384."],
    ["/folder", "/no/such",
     "folder must be an existing folder; \"/no/such\" is not one."],
    ["/name", "a/b", "name must not contain a slash."],
    ["/sound", "screen",
     "sound must be computer, empty, or part of a chosen source's title."],
    ["/performance", 2, "performance must be 0 or 1."],
    ["/source/2", "Nothing", "There is no source called \"Nothing\"."]])json");
  auto app = appModel();
  app.handle({"/source/1", {text("cam")}});
  for (const auto& refusal : refusals) {
    const auto& given = refusal[1];
    std::vector<OscArgument> arguments;
    if (given.is_string()) arguments = {text(given)};
    if (given.is_number_integer()) arguments = {OscArgument::integer(given)};
    if (given.is_number_float()) arguments = {OscArgument::real(given)};
    auto expected = namespaceTree(app.snapshot());
    expected[json::json_pointer("/CONTENTS/status/CONTENTS/error/VALUE/0")] =
        refusal[2];
    app.handle({refusal[0], arguments});
    EXPECT_EQ(json::diff(expected, namespaceTree(app.snapshot())),
              json::array())
        << refusal[0];
  }
}

TEST(SimStateFile, keepsSettingsAndSourcesForTheNextRun) {
  TemporaryFolder folder;
  const auto state = folder.file("state.json");
  {
    auto app = appModel(state);
    app.handle({"/source/1", {text("cam")}});
    app.handle({"/source/2", {text("studio")}});
    app.handle({"/sound", {text("stud")}});
    app.handle({"/codec", {text("HEVC")}});
    app.handle({"/folder", {text(folder.path)}});
    app.handle({"/fps", {OscArgument::real(29.97)}});
    app.handle({"/gap", {OscArgument::integer(12)}});
  }
  const auto sim = started({"--state", state});
  auto kept = json::parse(R"json({
    "/source": "Main Camera", "/source/2": "STUDIO (Stage)", "/source/3": "",
    "/sound": "STUDIO (Stage)", "/codec": "hevc", "/fps": 29.97, "/gap": 12,
    "/layout": "row", "/status/assembled/width": 3212})json");
  kept["/folder"] = folder.path;
  for (const auto& [path, keptValue] : kept.items()) {
    EXPECT_EQ(get(*sim, path)["VALUE"][0], keptValue) << path;
  }
}

using Sizes = std::vector<PictureSize>;

struct Layout {
  Sizes sources;
  std::string layout;
  std::int64_t gap, boxWidth, boxHeight;
  PictureSize size;
};

TEST(SimLayout, sizesTheAssembledPictureByLayoutGapAndBox) {
  const Sizes three = {{1920, 1080}, {1280, 720}, {640, 480}};
  const Sizes five(5, {100, 50});
  for (const auto& c : std::vector<Layout>{
           {three, "row", 10, 0, 0, {3860, 1080}},
           {three, "column", 10, 0, 0, {1920, 2300}},
           {three, "grid", 10, 0, 0, {3850, 2170}},  // 2 x 2 cells
           // The others share the first one's height: (1080 - 10) / 2 = 535
           // each, the widest of them 1280 * 535 / 720 = 951.
           {three, "focus", 10, 0, 0, {2881, 1080}},
           {{{100, 50}}, "focus", 10, 0, 0, {100, 50}},
           {five, "grid", 0, 0, 0, {300, 100}},
           {three, "row", 0, 1600, 1600, {1600, 450}},
           {three, "row", 0, 1600, 0, {3840, 1080}},  // a box needs both sides
           {{}, "grid", 10, 1920, 1080, {0, 0}}}) {
    const auto size =
        assembledSize(c.sources, c.layout, c.gap, c.boxWidth, c.boxHeight);
    EXPECT_EQ(size, c.size)
        << c.layout << ": " << size.width << " x " << size.height;
  }
}

TEST(SimMovieNames, nameMoviesAfterTheRecordingAndNeverHandOutOneTwice) {
  TemporaryFolder folder;
  std::ofstream(folder.file("Old.mov")) << "an earlier movie";
  // Name, output and titles; then the movies, the assembled one first, ""
  // where none is written. Old.mov is on the disk already; the only movie
  // bears the recording's name; a slash or a colon in a title would reach
  // out of the folder.
  const auto recordings = json::parse(R"json([
    ["Take", "both", ["A", "B"], ["Take.mov", "Take A.mov", "Take B.mov"]],
    ["Take", "both", ["A"], ["Take 2.mov", "Take A 2.mov"]],
    ["Old", "separate", ["A"], ["", "Old 2.mov"]],
    ["Mix", "assembled", ["A", "B"], ["Mix.mov", "", ""]],
    ["", "both", ["A/B: 1"], ["ZindleRecorder 2024-05-01 14.03.22.mov",
                              "ZindleRecorder 2024-05-01 14.03.22 A-B- 1.mov"]]
  ])json");
  MovieNamer namer;
  for (const auto& recording : recordings) {
    Settings settings;
    settings.folder = folder.path;
    settings.name = recording[0];
    settings.output = recording[1];
    const auto plan =
        planMovies(namer, settings, recording[2], "2024-05-01 14.03.22");
    Texts movies{plan.assembledFile};
    movies.insert(movies.end(), plan.sourceFiles.begin(),
                  plan.sourceFiles.end());
    for (auto& movie : movies) {
      movie = std::filesystem::path(movie).lexically_relative(folder.path);
    }
    EXPECT_EQ(movies, recording[3].get<Texts>()) << recording;
  }
}

}  // namespace
}  // namespace zindle::sim
