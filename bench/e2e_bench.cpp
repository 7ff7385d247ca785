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

// The time from spawning `argv` to its initialize answer, in microseconds;
// -1 when it gives none.
double coldStart(const std::vector<std::string>& argv) {
  auto started = Clock::now();
  ChildProcess child(argv);  // ended when it leaves the scope
  child.write(kInitialize);
  if (!child.readLine(Milliseconds(10000))) return -1;
  return microseconds(Clock::now() - started);
}

// The server's figure and the floor's, each the median of `rounds` samples
// taken in turns, so that a spell of load on this shared machine weighs on
// both alike rather than on whichever ran during it.
struct Paired {
  Spread ours;
  Spread floor;
};

// The median and 99th percentile of `samples`; -1 for both when there are
// none or when one of them says that a measurement failed (-1).
Spread summary(std::vector<double> samples) {
  if (samples.empty() ||
      std::find(samples.begin(), samples.end(), -1.0) != samples.end()) {
    return {-1, -1};
  }
  std::sort(samples.begin(), samples.end());
  return {samples[samples.size() / 2],
          samples[std::min(samples.size() - 1, samples.size() * 99 / 100)]};
}

Paired inTurns(int rounds,
               const std::function<void(std::vector<double>&)>& ours,
               const std::function<void(std::vector<double>&)>& floor) {
  std::vector<double> oursSamples, floorSamples;
  for (int i = 0; i < rounds; ++i) {
    ours(oursSamples);
    floor(floorSamples);
  }
  return {summary(oursSamples), summary(floorSamples)};
}

// Appends the time of each of `count` round trips of `request`, in
// microseconds; -1 for the first that goes unanswered, and no more.
void roundTrips(ChildProcess& child, const std::string& request, int count,
                std::vector<double>& samples) {
  for (int i = 0; i < count; ++i) {
    auto started = Clock::now();
    child.write(request);
    if (!child.readLine(Milliseconds(10000))) {
      samples.push_back(-1);
      return;
    }
    samples.push_back(microseconds(Clock::now() - started));
  }
}

// Round trips of `request` to both, in turns of a hundred.
Paired roundTripsInTurns(ChildProcess& ours, ChildProcess& floor,
                         const std::string& request, int count) {
  return inTurns(
      count / 100,
      [&](std::vector<double>& samples) {
        roundTrips(ours, request, 100, samples);
      },
      [&](std::vector<double>& samples) {
        roundTrips(floor, request, 100, samples);
      });
}

// The rate of answers to `count` pings written at once, in requests per
// second; -1 when some go unanswered. One burst lasts a few milliseconds,
// short enough for a single stall of this machine to halve it: the median
// of several is reported.
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
    // A figure that could not be measured says so, rather than passing for
    // a small one.
    char oursText[32] = "unknown";
    if (row.ours >= 0) {
      // A count has no unit and no fraction.
      std::snprintf(oursText, sizeof oursText,
                    row.unit.empty() ? "%.0f%s" : "%.1f %s", row.ours,
                    row.unit.c_str());
    }
    std::printf("| %-44s | %14s | %14s | %7s | %-14s |\n", row.what.c_str(),
                oursText, floorText, ratioText, row.target.c_str());
  }
}

int run(const std::string& server, const std::string& floor,
        const std::string& simulator,
        const std::vector<std::string>& sdkServer) {
  std::vector<Row> rows;
  const Paired cold = inTurns(
      20, [&](std::vector<double>& s) { s.push_back(coldStart({server})); },
      [&](std::vector<double>& s) { s.push_back(coldStart({floor})); });
  rows.push_back({"cold start to initialize (median of 20)", cold.ours.median,
                  cold.floor.median, "us", "<= 2x floor"});

  ChildProcess ours({server});
  ChildProcess bare({floor});
  const Paired ping = roundTripsInTurns(ours, bare, kPing, 2000);
  rows.push_back({"ping round trip, median (2000)", ping.ours.median,
                  ping.floor.median, "us", "<= 1.2x floor"});
  rows.push_back(
      {"ping round trip, p99", ping.ours.p99, ping.floor.p99, "us", ""});
  const Paired list = roundTripsInTurns(ours, bare, kList, 2000);
  rows.push_back({"tools/list round trip, median (2000)", list.ours.median,
                  list.floor.median, "us", ""});
  rows.push_back(
      {"tools/list round trip, p99", list.ours.p99, list.floor.p99, "us", ""});
  const Paired pipelined = inTurns(
      7, [&](std::vector<double>& s) { s.push_back(burst(ours, 5000)); },
      [&](std::vector<double>& s) { s.push_back(burst(bare, 5000)); });
  rows.push_back({"pipelined pings (5000 at once, median of 7)",
                  pipelined.ours.median, pipelined.floor.median, "req/s",
                  ">= 0.7x floor"});

  // The simulator on a free port, which it announces on its first line.
  ChildProcess sim({simulator, "--port", "0"});
  const std::string ready = sim.readLine(Milliseconds(5000)).value_or("");
  const std::size_t at = ready.find("query port ");
  const int queryPort =
      at == std::string::npos ? 0 : std::atoi(ready.c_str() + at + 11);
  ChildProcess withApp({server},
                       {{"ZINDLE_OSCQUERY_PORT", std::to_string(queryPort)}});
  // A server of its own for the cost of the first call: what it maps at
  // start, and what reading the app adds (on Linux libcurl, opened then, and
  // the libraries it needs in turn), after the first call and the 20th.
  {
    ChildProcess fresh({server},
                       {{"ZINDLE_OSCQUERY_PORT", std::to_string(queryPort)}});
    fresh.write(kPing);
    fresh.readLine(Milliseconds(10000));
    std::vector<ChildProcess::Memory> taken{fresh.memory()};
    std::vector<double> unused;
    for (const int calls : {1, 19}) {
      roundTrips(fresh, kStatus, calls, unused);
      taken.push_back(fresh.memory());
    }
    const char* const when[] = {"before the first tool call",
                                "after the first recorder_status",
                                "after 20 recorder_status calls"};
    const char* const mapped[] = {"at start", "after the first call"};
    for (std::size_t i = 0; i < taken.size(); ++i) {
      rows.push_back({std::string("peak memory ") + when[i],
                      taken[i].peakKb < 0 ? -1.0 : taken[i].peakKb / 1024.0, -1,
                      "MiB", ""});
      if (i < 2) {
        rows.push_back({std::string("  shared libraries ") + mapped[i],
                        static_cast<double>(taken[i].libraries), -1, "", ""});
      }
    }
  }
  const Paired status = inTurns(
      10, [&](std::vector<double>& s) { roundTrips(withApp, kStatus, 50, s); },
      [&](std::vector<double>& s) {
        const std::vector<double> gets = httpFloor(queryPort, 50);
        s.insert(s.end(), gets.begin(), gets.end());
      });
  rows.push_back({"recorder_status round trip, median (500)",
                  status.ours.median, status.floor.median, "us",
                  "<= 2x floor"});
  rows.push_back({"recorder_status round trip, p99", status.ours.p99,
                  status.floor.p99, "us", ""});

  // Memory: the peak after 1,000 tool calls and after 10,000, and what the
  // process holds of its own (heap, stacks, written data) beside what it
  // maps unchanged from the program and its libraries.
  std::vector<double> unused;
  roundTrips(withApp, kStatus, 500, unused);
  const auto mib = [](long kb) {
    return kb < 0 ? -1.0 : static_cast<double>(kb) / 1024;
  };
  const ChildProcess::Memory after1000 = withApp.memory();
  roundTrips(withApp, kStatus, 9000, unused);
  const ChildProcess::Memory after10000 = withApp.memory();
  rows.push_back(
      {"peak memory after 1,000 calls", mib(after1000.peakKb), -1, "MiB", ""});
  rows.push_back(
      {"  its own after 1,000 calls", mib(after1000.ownKb), -1, "MiB", ""});
  rows.push_back({"  its own after 10,000 calls", mib(after10000.ownKb), -1,
                  "MiB", "<= 2 MiB"});
  rows.push_back({"growth of the peak from call 1,000 to 10,000",
                  after1000.peakKb < 0 || after10000.peakKb < 0
                      ? -1.0
                      : mib(after10000.peakKb - after1000.peakKb),
                  -1, "MiB", "0"});
  std::printf(
      "\nThe floor of recorder_status is its two GETs of the simulator (the "
      "host information and the namespace) on one kept-alive connection.\n\n");
  print(rows);
  if (!sdkServer.empty()) {
    std::vector<double> starts;
    for (int i = 0; i < 20; ++i) starts.push_back(coldStart(sdkServer));
    const double sdkStart = summary(starts).median;
    std::printf(
        "\nThe smallest server of the official TypeScript SDK "
        "(bench/sdk_server.mjs) starts to its initialize answer in %.1f ms "
        "(median of 20).\n",
        sdkStart / 1000);
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
