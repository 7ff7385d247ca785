#include "sim/namespace_tree.hpp"

#include <string>

#include "sim/text.hpp"

namespace zindle::sim {
namespace {

using nlohmann::json;

constexpr int kReadOnly = 1;
constexpr int kWriteOnly = 2;
constexpr int kReadWrite = 3;

class Node {
 public:
  Node(json& node, std::string path) : node_(node), path_(std::move(path)) {
    node_["FULL_PATH"] = path_.empty() ? "/" : path_;
  }

  // A child container, created empty.
  Node container(std::string_view name, std::string_view description) {
    auto& child = node_["CONTENTS"][std::string(name)];
    child["DESCRIPTION"] = description;
    return Node(child, path_ + "/" + std::string(name));
  }

  // A child value node.
  Node value(std::string_view name, std::string_view type, int access,
             json value, std::string_view description) {
    auto child = container(name, description);
    child.node_["TYPE"] = type;
    child.node_["ACCESS"] = access;
    if (access != kWriteOnly) child.node_["VALUE"] = json::array({value});
    return child;
  }

  json& attributes() { return node_; }

 private:
  json& node_;
  std::string path_;
};

void addSlotStatus(Node status, const SlotStatus& slot) {
  status.value("kind", "s", kReadOnly, slot.kind, "syphon, ndi, or empty");
  status.value("online", "i", kReadOnly, slot.online ? 1 : 0,
               "1 when the source delivers pictures");
  status.value("width", "i", kReadOnly, slot.width, "Picture width");
  status.value("height", "i", kReadOnly, slot.height, "Picture height");
  status.value("fps", "f", kReadOnly, slot.fps, "Frames per second");
  status.value("file", "s", kReadOnly, slot.file, "Path of its movie");
  status.value("frames", "i", kReadOnly, slot.frames, "Frames written");
  status.value("dropped", "i", kReadOnly, slot.dropped, "Frames dropped");
  status.value("sound", "i", kReadOnly, slot.sound ? 1 : 0,
               "1 when the source sends sound");
  status.value("soundwritten", "f", kReadOnly, slot.soundWritten,
               "Seconds of sound in its movie");
}

void addStatus(Node root, const Snapshot& now) {
  auto status = root.container("status", "The recorder's state");
  status.value("version", "s", kReadOnly, now.version, "Version");
  status.value("state", "s", kReadOnly, now.state,
               "idle, recording or finishing");
  status.value("elapsed", "f", kReadOnly, now.elapsed,
               "Seconds recorded; after a stop, the recording's length");
  status.value("dropped", "i", kReadOnly, now.dropped, "Frames dropped");
  status.value("error", "s", kReadOnly, now.error, "The last error");
  status.value("failure", "s", kReadOnly, now.failure,
               "Why the last recording failed");
  auto ndi = status.value("ndi", "i", kReadOnly, now.ndi ? 1 : 0,
                          "1 when NDI is usable");
  ndi.value("sources", "s", kReadOnly, joined(now.ndiTitles, "\n"),
            "Titles of the NDI sources, one per line");
  auto sound = status.container("sound", "Sound of the recording");
  sound.value("leftout", "f", kReadOnly, now.soundLeftOut,
              "Seconds of sound left out");
  sound.value("written", "f", kReadOnly, now.soundWritten,
              "Seconds of sound in the assembled movie");
  auto assembled = status.container("assembled", "The assembled picture");
  assembled.value("width", "i", kReadOnly, now.assembled.width, "Width now");
  assembled.value("height", "i", kReadOnly, now.assembled.height, "Height now");
  assembled.value("file", "s", kReadOnly, now.assembledFile,
                  "Path of the assembled movie");
  assembled.value("frames", "i", kReadOnly, now.assembledFrames,
                  "Frames written");
  assembled.value("dropped", "i", kReadOnly, now.assembledDropped,
                  "Frames dropped");
  auto sources = status.container("source", "The chosen sources, by slot");
  for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
    addSlotStatus(sources.container(std::to_string(slot + 1), "One slot"),
                  slot < now.slots.size() ? now.slots[slot] : SlotStatus{});
  }
}

void addSources(Node root, const Snapshot& now) {
  const auto titleOf = [&now](std::size_t slot) {
    return slot < now.slots.size() ? now.slots[slot].title : std::string();
  };
  auto source = root.value("source", "s", kReadWrite, titleOf(0),
                           "The sources to record; this is slot 1");
  source.attributes()["RANGE"] = json::array({{{"VALS", now.offeredTitles}}});
  for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
    source.value(std::to_string(slot + 1), "s", kReadWrite, titleOf(slot),
                 "Title of the source in this slot; empty: none");
  }
}

void addScript(Node root, const Faults& faults) {
  auto script = root.container("sim", "Faults the simulator is told to show");
  std::vector<std::string> refused(faults.refused.begin(),
                                   faults.refused.end());
  script.value("refuse", "s", kReadWrite, joined(refused, ","),
               "Settings that take no value");
  script.value("fail_start", "s", kReadWrite, faults.failStart,
               "Error of the next start");
  script.value("never_record", "i", kReadWrite, faults.neverRecord ? 1 : 0,
               "1: a start never shows recording");
  script.value("finish_seconds", "f", kReadWrite, faults.finishSeconds,
               "Seconds spent finishing");
  script.value("fail_recording", "s", kReadWrite, faults.failRecording,
               "Failure of the next recording");
  script.value("http_fault", "s", kReadWrite,
               std::string(nameOf(faults.httpFault)),
               "none, 404, garbage or hang");
  script.value("reset", "", kWriteOnly, nullptr, "Back to the defaults");
}

}  // namespace

json namespaceTree(const Snapshot& snapshot) {
  json tree;
  Node root(tree, "");
  tree["DESCRIPTION"] = "ZindleRecorder";
  addStatus(root, snapshot);
  for (const auto& setting : kSettings) {
    root.value(setting.key, std::string(1, setting.type), kReadWrite,
               settingValue(snapshot.settings, setting.key), setting.help());
  }
  addSources(root, snapshot);
  root.value("record", "i", kWriteOnly, nullptr, "1: start; 0: stop");
  addScript(root, snapshot.faults);
  return tree;
}

const json* findNode(const json& tree, std::string_view path) {
  const json* node = &tree;
  std::size_t at = 0;
  while (at < path.size()) {
    if (path[at] == '/') {
      ++at;
      continue;
    }
    const auto end = std::min(path.find('/', at), path.size());
    const auto name = std::string(path.substr(at, end - at));
    const auto contents = node->find("CONTENTS");
    if (contents == node->end() || !contents->contains(name)) return nullptr;
    node = &(*contents)[name];
    at = end;
  }
  return node;
}

json hostInfo(std::string_view name, int oscPort) {
  return {{"NAME", name},
          {"OSC_PORT", oscPort},
          {"OSC_IP", "127.0.0.1"},
          {"OSC_TRANSPORT", "UDP"},
          {"EXTENSIONS",
           {{"ACCESS", true},
            {"VALUE", true},
            {"RANGE", true},
            {"DESCRIPTION", true},
            {"TYPE", true},
            {"FULL_PATH", true},
            {"CONTENTS", true}}}};
}

}  // namespace zindle::sim
