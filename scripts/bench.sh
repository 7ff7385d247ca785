#!/usr/bin/env bash
# Prints the benchmark tables of a Release build: the end-to-end figures of
# the server beside the floor, then the micro-benchmarks.
set -euo pipefail
build="${1:-build/bench}"
echo "== End to end (server vs. floor) =="
# The official TypeScript SDK's smallest server is timed too when Node and
# the SDK (installed by the set-up for the end-to-end tests) are here.
sdk=()
if command -v node >/dev/null && [ -d node_modules/@modelcontextprotocol/sdk ]; then
  sdk=("$(command -v node)" bench/sdk_server.mjs)
fi
# ${sdk[@]+...}: an empty array is an unbound variable to macOS's bash 3.2.
"$build/bench/e2e_bench" "$build/zindle_recorder_mcp" "$build/bench/floor_server" \
  "$build/sim/zindle_recorder_sim" ${sdk[@]+"${sdk[@]}"}
echo
echo "== Micro-benchmarks =="
"$build/bench/micro_bench" --benchmark_min_time=0.2
