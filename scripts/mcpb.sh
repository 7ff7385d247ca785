#!/usr/bin/env bash
# Packs a built server into an MCP Bundle (.mcpb) with the format's own
# packer, which validates the manifest first.
#
# Usage: scripts/mcpb.sh <server binary> <manifest.json> <output folder>
# Prints the path of the bundle on its last line.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
binary=$1
manifest=$2
mkdir -p "$3"
output="$(cd "$3" && pwd)"
mcpb() { node "$root/node_modules/@anthropic-ai/mcpb/dist/cli/cli.js" "$@"; }

stage="$output/stage"
rm -rf "$stage"
mkdir -p "$stage/server"
cp "$binary" "$stage/server/zindle_recorder_mcp"
cp "$manifest" "$stage/manifest.json"
cp "$root/LICENSE" "$stage/LICENSE"
cp "$root/packaging/mcpb/icon.png" "$stage/icon.png"
mcpb validate "$stage/manifest.json" >/dev/null
version=$(sed -n 's/^  "version": "\(.*\)",$/\1/p' "$stage/manifest.json")
platform=$(sed -n 's/^    "platforms": \["\(.*\)"\]$/\1/p' "$stage/manifest.json")
bundle="$output/zindle-recorder-mcp-$version-$platform.mcpb"
mcpb pack "$stage" "$bundle" >/dev/null
echo "$bundle"
