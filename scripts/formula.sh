#!/usr/bin/env bash
# Writes the Homebrew formulas of the server and of the simulator for a
# source archive of this project: the version (from CMakeLists.txt, when the
# address does not carry it), the archive's address and its SHA-256.
#
# Usage: scripts/formula.sh <archive file> <its URL> <output folder>
#   The release:  scripts/formula.sh zindle_recorder_mcp-1.0.0.tar.gz \
#                   https://…/v1.0.0.tar.gz packaging/out
#   A local tap:  git archive --prefix=zindle_recorder_mcp/ -o /tmp/z.tar.gz HEAD
#                 scripts/formula.sh /tmp/z.tar.gz file:///tmp/z.tar.gz "$(brew --repository)/Library/Taps/local/homebrew-zindle/Formula"
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
archive=$1
url=$2
mkdir -p "$3"
version=$(sed -n 's/^project(zindle_recorder_mcp VERSION \([0-9.]*\).*/\1/p' \
  "$root/CMakeLists.txt")
if command -v sha256sum >/dev/null; then
  sha256=$(sha256sum "$archive" | cut -d' ' -f1)
else
  sha256=$(shasum -a 256 "$archive" | cut -d' ' -f1)
fi
# Where the project lives: set once with the packages' other details, over
# https as brew audit asks; ZINDLE_HOMEPAGE, when set (the CI sets its own
# repository's), stands in for it.
homepage=${ZINDLE_HOMEPAGE:-$(sed -n 's/^set(ZINDLE_HOMEPAGE "\(.*\)")$/\1/p' \
  "$root/cmake/packaging.cmake")}
# Homebrew reads the version from an address that carries it, and its audit
# calls a version line redundant then: the line is for an address without.
case "$url" in
  *"$version"*) redundant='/^  version "@VERSION@"$/d' ;;
  *) redundant='' ;;
esac
for name in zindle-recorder-mcp zindle-recorder-sim; do
  sed -e "$redundant" -e "s|@VERSION@|$version|" -e "s|@URL@|$url|" \
      -e "s|@SHA256@|$sha256|" -e "s|@HOMEPAGE@|$homepage|" \
      "$root/packaging/homebrew/$name.rb.in" >"$3/$name.rb"
done
echo "$3/zindle-recorder-mcp.rb"
