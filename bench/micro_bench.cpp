// Micro-benchmarks of the pure pieces on the hot path of a tool call: the
// namespace read, the status build, the JSON text of the status, a request
// line's parse, the title search and the OSC encoding. Time per node must
// stay flat as namespaces grow, and time per byte as titles do.

#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

#include "link/json_reader.hpp"
#include "link/json_text.hpp"
#include "link/osc.hpp"
#include "link/recorder.hpp"
#include "operations/status.hpp"
#include "operations/text_rules.hpp"

namespace zindle {
namespace {

Json valueNode(const std::string& path, Json value) {
  return {{"FULL_PATH", path},
          {"TYPE", value.is_string() ? "s" : "f"},
          {"ACCESS", 3},
          {"DESCRIPTION", "a value"},
          {"VALUE", Json::array({std::move(value)})}};
}

// A namespace shaped like the app's, padded with extra nodes under /extra so
// that it holds about `nodes` nodes in all.
Json makeNamespace(int nodes) {
  Json root{{"FULL_PATH", "/"}, {"CONTENTS", Json::object()}};
  Json& top = root["CONTENTS"];
  for (const char* key :
       {"codec", "folder", "name", "output", "layout", "sound"}) {
    top[key] = valueNode(std::string("/") + key, "text");
  }
  for (const char* key :
       {"fps", "bitrate", "gap", "width", "height", "performance"}) {
    top[key] = valueNode(std::string("/") + key, 1);
  }
  Json source = valueNode("/source", "Camera 1");
  source["RANGE"] = Json::array({{{"VALS", Json::array()}}});
  for (int n = 1; n <= 8; ++n) {
    std::string title = "Camera " + std::to_string(n);
    source["RANGE"][0]["VALS"].push_back(title);
    source["CONTENTS"][std::to_string(n)] =
        valueNode("/source/" + std::to_string(n), title);
  }
  top["source"] = source;
  Json status{{"FULL_PATH", "/status"}, {"CONTENTS", Json::object()}};
  for (const char* key : {"version", "state", "error", "failure"}) {
    status["CONTENTS"][key] = valueNode(std::string("/status/") + key, "idle");
  }
  Json sources{{"FULL_PATH", "/status/source"}, {"CONTENTS", Json::object()}};
  for (int n = 1; n <= 8; ++n) {
    std::string base = "/status/source/" + std::to_string(n);
    Json slot{{"FULL_PATH", base}, {"CONTENTS", Json::object()}};
    for (const char* key : {"kind", "online", "width", "height", "fps", "file",
                            "frames", "dropped", "sound", "soundwritten"}) {
      slot["CONTENTS"][key] = valueNode(base + "/" + key, 1920);
    }
    sources["CONTENTS"][std::to_string(n)] = slot;
  }
  status["CONTENTS"]["source"] = sources;
  top["status"] = status;
  Json extra{{"FULL_PATH", "/extra"}, {"CONTENTS", Json::object()}};
  for (int i = 0; i < nodes - 120; ++i) {
    std::string path = "/extra/" + std::to_string(i);
    extra["CONTENTS"][std::to_string(i)] = valueNode(path, i);
  }
  top["extra"] = extra;
  return root;
}

// Time per node, which must stay flat as the namespace grows; shown in
// seconds with an SI prefix ("750ns").
void perNode(benchmark::State& state, int nodes) {
  state.counters["per_node"] =
      benchmark::Counter(nodes, benchmark::Counter::kIsIterationInvariantRate |
                                    benchmark::Counter::kInvert);
}

// The namespace read into its values (simdjson's parse and our walk), then
// the status built from them.
void BM_ReadStatus(benchmark::State& state) {
  int nodes = static_cast<int>(state.range(0));
  const std::string text = makeNamespace(nodes).dump();
  for (auto _ : state) {
    link::NamespaceSnapshot reading;
    link::readNamespace(text, reading);
    benchmark::DoNotOptimize(operations::statusFrom(reading));
  }
  perNode(state, nodes);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadStatus)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000);

// The namespace read alone, for the app's size (about 16 KB).
void BM_ReadNamespace(benchmark::State& state) {
  const std::string text = makeNamespace(120).dump();
  for (auto _ : state) {
    link::NamespaceSnapshot reading;
    benchmark::DoNotOptimize(link::readNamespace(text, reading));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadNamespace);

// A namespace by size: 0, the simulator's own; otherwise about that many
// nodes of the app's shape (45000 is about 4 MiB).
std::string namespaceText(std::int64_t nodes) {
  if (nodes != 0) return makeNamespace(static_cast<int>(nodes)).dump();
  std::ifstream file(ZINDLE_GOLDEN_DIR "/sim_namespace.json");
  return {std::istreambuf_iterator<char>(file), {}};
}

// The namespace read into its values, the simulator's and a large one.
void BM_ReadNamespaceOf(benchmark::State& state) {
  const std::string text = namespaceText(state.range(0));
  for (auto _ : state) {
    link::NamespaceSnapshot reading;
    benchmark::DoNotOptimize(link::readNamespace(text, reading));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadNamespaceOf)
    ->Arg(0)
    ->Arg(45000)
    ->Unit(benchmark::kMicrosecond);

// The same texts through nlohmann's parser into a whole Json value, for
// comparison: what the reader would cost built on it.
void BM_NlohmannParseOf(benchmark::State& state) {
  const std::string text = namespaceText(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(Json::parse(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_NlohmannParseOf)
    ->Arg(0)
    ->Arg(45000)
    ->Unit(benchmark::kMicrosecond);

// The same texts through nlohmann's SAX interface with a handler that only
// counts depth and items, as a reader built on it must: the floor of such a
// reader, as the whole parse above is its ceiling.
struct CountingHandler : nlohmann::json_sax<Json> {
  std::size_t depth = 0;
  std::size_t items = 0;
  bool open() { return ++items, ++depth <= link::kMaxJsonDepth; }
  bool close() { return --depth, true; }
  bool item() { return ++items, true; }
  bool null() override { return item(); }
  bool boolean(bool) override { return item(); }
  bool number_integer(std::int64_t) override { return item(); }
  bool number_unsigned(std::uint64_t) override { return item(); }
  bool number_float(double, const std::string&) override { return item(); }
  bool string(std::string&) override { return item(); }
  bool binary(Json::binary_t&) override { return item(); }
  bool start_object(std::size_t) override { return open(); }
  bool key(std::string&) override { return true; }
  bool end_object() override { return close(); }
  bool start_array(std::size_t) override { return open(); }
  bool end_array() override { return close(); }
  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::detail::exception&) override {
    return false;
  }
};

void BM_NlohmannSaxOf(benchmark::State& state) {
  const std::string text = namespaceText(state.range(0));
  for (auto _ : state) {
    CountingHandler handler;
    benchmark::DoNotOptimize(Json::sax_parse(text, &handler));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_NlohmannSaxOf)->Arg(0)->Arg(45000)->Unit(benchmark::kMicrosecond);

void BM_JsonOfStatus(benchmark::State& state) {
  link::NamespaceSnapshot reading;
  link::readNamespace(makeNamespace(120).dump(), reading);
  Json status = operations::statusFrom(reading);
  for (auto _ : state) benchmark::DoNotOptimize(prettyJson(status));
}
BENCHMARK(BM_JsonOfStatus);

void BM_RequestLine(benchmark::State& state) {
  const std::string line =
      R"({"jsonrpc":"2.0","id":7,"method":"tools/call","params":{"name":)"
      R"("recorder_configure","arguments":{"sources":["camera","screen"],)"
      R"("fps":30,"folder":"~/Movies"}}})";
  for (auto _ : state) benchmark::DoNotOptimize(link::readRequest(line));
}
BENCHMARK(BM_RequestLine);

// The title search at its worst: a title of `range(0)` "a"s, and a needle a
// fortieth as long that it almost matches at every position. Time per
// byte must stay flat as the texts grow.
void BM_TitleSearch(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  const std::string title(length, 'a');
  const std::string needle = std::string(length / 40, 'a') + "b";
  for (auto _ : state) {
    benchmark::DoNotOptimize(operations::TextSearch(needle).isFoundIn(title));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(length));
}
BENCHMARK(BM_TitleSearch)
    ->Arg(1 << 16)
    ->Arg(1 << 22)
    ->Unit(benchmark::kMillisecond);

// The normalization at its worst: a letter, then pairs of marks of two
// classes (U+0301, U+0323) that canonical ordering sorts, as long as
// `range(0)` bytes: the line limit (1 MiB) and the body limit (4 MiB). A
// title of the client's sought in one of the app's, and a setting the app
// reads back compared with the one sent. Time per byte must stay flat.
std::string marksAfterALetter(std::size_t length) {
  std::string text = "a";
  while (text.size() + 4 <= length) text += "\u0301\u0323";
  return text;
}

void BM_TitleOfMarks(benchmark::State& state) {
  const std::string title =
      marksAfterALetter(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(operations::TextSearch("a").isFoundIn(title));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(title.size()));
}
BENCHMARK(BM_TitleOfMarks)
    ->Arg(1 << 20)
    ->Arg(1 << 22)
    ->Unit(benchmark::kMillisecond);

void BM_SettingOfMarks(benchmark::State& state) {
  const std::string value =
      marksAfterALetter(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(operations::equivalent(value, "h264"));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(value.size()));
}
BENCHMARK(BM_SettingOfMarks)
    ->Arg(1 << 20)
    ->Arg(1 << 22)
    ->Unit(benchmark::kMillisecond);

void BM_OscEncoding(benchmark::State& state) {
  const link::OscArgument arguments[] = {std::string("Main Camera")};
  for (auto _ : state) {
    benchmark::DoNotOptimize(link::encodeOscMessage("/source/1", arguments));
  }
}
BENCHMARK(BM_OscEncoding);

}  // namespace
}  // namespace zindle

BENCHMARK_MAIN();
