#!/usr/bin/env bash
# Runs the demo session against the built programs in the given folder.
set -euo pipefail
cd "$(dirname "$0")/.."
exec node scripts/demo.mjs "${1:-build/release}" "${@:2}"
