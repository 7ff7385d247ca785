// End-to-end figures of the server binary, spawned as an MCP client spawns
// it, beside the same figures of a do-nothing floor program: start-up, round
// trips, pipelined throughput, recorder_status against the simulator, and
// memory. Prints a table; asserts nothing.
//
// Usage: e2e_bench <server> <floor> <simulator> [<node> <sdk_server.mjs>]

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "child_process.hpp"
#include "http_floor.hpp"

namespace zindle::bench {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kPing =
    "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"ping\"}\n";
const std::string kList =
    "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"tools/list\"}\n";
const std::string kInitialize =
    "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"initialize\",\"params\":"
    "{\"protocolVersion\":\"2025-06-18\",\"capabilities\":{},"
    "\"clientInfo\":{\"name\":\"bench\",\"version\":\"1\"}}}\n";
const std::string kStatus =
    "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"tools/call\",\"params\":"
    "{\"name\":\"recorder_status\",\"arguments\":{}}}\n";

double microseconds(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

struct Spread {
  double median = 0;
  double p99 = 0;
};

Spread spread(std::vector<double> samples) {
  if (samples.empty()) return {-1, -1};
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2],
          samples[std::min(samples.size() - 1, samples.size() * 99 / 100)]};
}

double coldStart(const std::vector<std::string>& argv, int runs) {
  std::vector<double> samples;
  for (int i = 0; i < runs; ++i) {
    auto started = Clock::now();
    ChildProcess child(argv);  // ended when it leaves the scope
    child.write(kInitialize);
    auto line = child.readLine(Milliseconds(10000));
    samples.push_back(microseconds(Clock::now() - started));
    if (!line) return -1;
  }
  return spread(samples).median;
}

Spread roundTrips(ChildProcess& child, const std::string& request, int count) {
  std::vector<double> samples;
  samples.reserve(count);
  for (int i = 0; i < count; ++i) {
    auto started = Clock::now();
    child.write(request);
    if (!child.readLine(Milliseconds(10000))) return {-1, -1};
    samples.push_back(microseconds(Clock::now() - started));
  }
  return spread(samples);
}

double burst(ChildProcess& child, int count) {
  std::string burst;
  for (int i = 0; i < count; ++i) burst += kPing;
  auto started = Clock::now();
  std::thread writer([&] { child.write(burst); });
  int answered = 0;
  while (answered < count && child.readLine(Milliseconds(10000))) ++answered;
  auto elapsed = Clock::now() - started;
  writer.join();
  return answered == count ? count / (microseconds(elapsed) / 1e6) : -1;
}

// One burst lasts a few milliseconds, short enough for a single stall of
// this machine to halve it: the median of several is reported.
double pipelined(ChildProcess& child, int count) {
  std::vector<double> rates;
  for (int i = 0; i < 7; ++i) rates.push_back(burst(child, count));
  return spread(rates).median;
}

struct Row {
  std::string what;
  double ours;
  double floor;  // < 0: no floor for this row
  std::string unit;
  std::string target;
};

void print(const std::vector<Row>& rows) {
  std::printf("| %-44s | %14s | %14s | %7s | %-14s |\n", "measure", "server",
              "floor", "ratio", "target");
  std::printf("|%s|%s|%s|%s|%s|\n", std::string(46, '-').c_str(),
              std::string(16, '-').c_str(), std::string(16, '-').c_str(),
              std::string(9, '-').c_str(), std::string(16, '-').c_str());
  for (const auto& row : rows) {
    char floorText[32] = "";
    char ratioText[16] = "";
    if (row.floor > 0) {
      std::snprintf(floorText, sizeof floorText, "%.1f %s", row.floor,
                    row.unit.c_str());
      std::snprintf(ratioText, sizeof ratioText, "%.2fx", row.ours / row.floor);
    }
    char oursText[32];
    std::snprintf(oursText, sizeof oursText, "%.1f %s", row.ours,
                  row.unit.c_str());
    std::printf("| %-44s | %14s | %14s | %7s | %-14s |\n", row.what.c_str(),
                oursText, floorText, ratioText, row.target.c_str());
  }
}

int run(const std::string& server, const std::string& floor,
        const std::string& simulator,
        const std::vector<std::string>& sdkServer) {
  std::vector<Row> rows;
  rows.push_back({"cold start to initialize (median of 20)",
                  coldStart({server}, 20), coldStart({floor}, 20), "us",
                  "<= 2x floor"});

  ChildProcess ours({server});
  ChildProcess bare({floor});
  auto ping = roundTrips(ours, kPing, 2000);
  auto pingFloor = roundTrips(bare, kPing, 2000);
  rows.push_back({"ping round trip, median (2000)", ping.median,
                  pingFloor.median, "us", "<= 1.2x floor"});
  rows.push_back({"ping round trip, p99", ping.p99, pingFloor.p99, "us", ""});
  auto list = roundTrips(ours, kList, 2000);
  auto listFloor = roundTrips(bare, kList, 2000);
  rows.push_back({"tools/list round trip, median (2000)", list.median,
                  listFloor.median, "us", ""});
  rows.push_back(
      {"tools/list round trip, p99", list.p99, listFloor.p99, "us", ""});
  rows.push_back({"pipelined pings (5000 at once, median of 7)",
                  pipelined(ours, 5000), pipelined(bare, 5000), "req/s",
                  ">= 0.7x floor"});

  // The simulator on a free port, which it announces on its first line.
  ChildProcess sim({simulator, "--port", "0"});
  const std::string ready = sim.readLine(Milliseconds(5000)).value_or("");
  const std::size_t at = ready.find("query port ");
  const int queryPort =
      at == std::string::npos ? 0 : std::atoi(ready.c_str() + at + 11);
  ChildProcess withApp({server},
                       {{"ZINDLE_OSCQUERY_PORT", std::to_string(queryPort)}});
  auto status = roundTrips(withApp, kStatus, 500);
  auto get = spread(httpFloor(queryPort, 500));
  rows.push_back({"recorder_status round trip, median (500)", status.median,
                  get.median, "us", "<= 2x floor"});
  rows.push_back(
      {"recorder_status round trip, p99", status.p99, get.p99, "us", ""});

  // Memory: the peak after 1,000 tool calls and after 10,000, and what the
  // process holds of its own (heap, stacks, written data) beside what it
  // maps unchanged from the program and its libraries.
  roundTrips(withApp, kStatus, 500);
  const auto mib = [](long kb) { return static_cast<double>(kb) / 1024; };
  const ChildProcess::Memory after1000 = withApp.memory();
  roundTrips(withApp, kStatus, 9000);
  const ChildProcess::Memory after10000 = withApp.memory();
  rows.push_back(
      {"peak memory after 1,000 calls", mib(after1000.peakKb), -1, "MiB", ""});
  rows.push_back(
      {"  its own after 1,000 calls", mib(after1000.ownKb), -1, "MiB", ""});
  rows.push_back({"  its own after 10,000 calls", mib(after10000.ownKb), -1,
                  "MiB", "<= 2 MiB"});
  rows.push_back({"growth of the peak from call 1,000 to 10,000",
                  mib(after10000.peakKb - after1000.peakKb), -1, "MiB", "0"});
  std::printf(
      "\nThe floor of recorder_status is its two GETs of the simulator (the "
      "host information and the namespace) on one kept-alive connection.\n\n");
  print(rows);
  if (!sdkServer.empty()) {
    std::printf(
        "\nThe smallest server of the official TypeScript SDK "
        "(bench/sdk_server.mjs) starts to its initialize answer in %.1f ms "
        "(median of 20).\n",
        coldStart(sdkServer, 20) / 1000);
  }
  return 0;
}

}  // namespace
}  // namespace zindle::bench

int main(int argc, char** argv) {
  // A server that ends early must not end the benchmark with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  if (argc != 4 && argc != 6) {
    std::fprintf(stderr,
                 "usage: %s <server> <floor> <simulator> "
                 "[<node> <sdk_server.mjs>]\n",
                 argv[0]);
    return 2;
  }
  std::vector<std::string> sdkServer;
  if (argc == 6) sdkServer = {argv[4], argv[5]};
  return zindle::bench::run(argv[1], argv[2], argv[3], sdkServer);
}
