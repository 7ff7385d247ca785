#!/usr/bin/env bash
# macOS: one server binary for Apple silicon and Intel Macs, from macOS 13
# on, needing nothing but the system at run time, ad hoc signed: ready to be
# signed with a Developer ID and notarized by whoever distributes it. Tests
# and the simulator are left out.
#
# Usage: scripts/universal.sh [build folder]   (make universal)
# Prints the path of the binary on its last line.
set -euo pipefail

if [ "$(uname -s)" != Darwin ]; then
  echo "universal.sh: a universal binary is made on macOS" >&2
  exit 1
fi
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mkdir -p "${1:-build/universal}"
build="$(cd "${1:-build/universal}" && pwd)"
archs="arm64;x86_64"
minimum=13.0
# Named outright: CMake 4 names no SDK, and the system's libcurl is in it.
sdk="$(xcrun --sdk macosx --show-sdk-path)"

say() { printf 'universal: %s\n' "$*" >&2; }

# Homebrew's simdjson holds the architecture of this Mac alone, so both are
# built from the source its formula pins (checksum and all), into a folder
# of the build's own, again whenever that source changes: the name of
# Homebrew's download carries its version.
deps="$build/deps"
archive_lib="$deps/lib/libsimdjson.a"
source_archive="$(brew --cache --build-from-source simdjson)"
built_from="$deps/built-from"
if [ "$(cat "$built_from" 2>/dev/null)" != "${source_archive##*/}" ] ||
  ! lipo "$archive_lib" -verify_arch arm64 x86_64 >/dev/null 2>&1; then
  say "building simdjson for arm64 and x86_64 from Homebrew's source"
  brew fetch --build-from-source simdjson >/dev/null
  rm -rf "$build/simdjson-source" "$build/simdjson" "$deps"
  mkdir -p "$build/simdjson-source"
  tar -xf "$source_archive" -C "$build/simdjson-source" --strip-components 1
  cmake -S "$build/simdjson-source" -B "$build/simdjson" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_OSX_ARCHITECTURES="$archs" \
    -DCMAKE_OSX_DEPLOYMENT_TARGET="$minimum" -DCMAKE_OSX_SYSROOT="$sdk" \
    -DBUILD_SHARED_LIBS=OFF -DSIMDJSON_DEVELOPER_MODE=OFF \
    -DCMAKE_INSTALL_PREFIX="$deps" >/dev/null
  cmake --build "$build/simdjson"
  cmake --install "$build/simdjson" >/dev/null
  printf '%s\n' "${source_archive##*/}" >"$built_from"
fi

# Of Homebrew, only nlohmann-json's own folder (looked for afresh): the
# include folder of Homebrew's prefix holds its simdjson.h too, which the
# compiler would read in place of the one built above.
say "building the server"
cmake -S "$root" -B "$build/server" -G Ninja -Wno-dev -Unlohmann_json_DIR \
  -DCMAKE_BUILD_TYPE=Release -DZINDLE_WERROR=ON -DZINDLE_TESTS=OFF \
  -DZINDLE_SIM=OFF -DCMAKE_OSX_ARCHITECTURES="$archs" \
  -DCMAKE_OSX_DEPLOYMENT_TARGET="$minimum" -DCMAKE_OSX_SYSROOT="$sdk" \
  -DCMAKE_PREFIX_PATH="$(brew --prefix nlohmann-json)" \
  -DSIMDJSON_INCLUDE_DIR="$deps/include" -DSIMDJSON_ARCHIVE="$archive_lib" \
  >/dev/null
cmake --build "$build/server"

binary="$build/zindle_recorder_mcp"
cp "$build/server/zindle_recorder_mcp" "$binary"
# Ad hoc: signed, with no identity. The embedded information dictionary
# gives the signature its identifier.
codesign --force --sign - "$binary"

say "checking it"
# No include folder of Homebrew's prefix reached the compiler (grep: 1, no
# such line; 2, no file to tell).
found=0
grep -q "$(brew --prefix)/include[ \"]" "$build/server/compile_commands.json" ||
  found=$?
if [ "$found" -ne 1 ]; then
  say "Homebrew's include folder, and its simdjson.h, may have been read"
  exit 1
fi
lipo "$binary" -verify_arch arm64 x86_64
sh "$root/scripts/check_runtime.sh" "$binary"
codesign --verify --strict "$binary"
# otool reads the slice of this Mac alone unless told otherwise; each slice
# has one build version, and both must name the same oldest macOS.
oldest=$(otool -arch all -l "$binary" |
  awk '/LC_BUILD_VERSION/ { seen = 1 } seen && $1 == "minos" { print $2; seen = 0 }' |
  paste -sd ' ' -)
if [ "$oldest" != "$minimum $minimum" ]; then
  say "built for macOS $oldest (one a slice), not $minimum"
  exit 1
fi
version=$(sed -n 's/^project(zindle_recorder_mcp VERSION \([0-9.]*\).*/\1/p' \
  "$root/CMakeLists.txt")
# Each slice carries the information dictionary whose version initialize
# reports: otool prints it (-P) once a slice.
dictionaries=$(otool -arch all -P "$binary" |
  grep -A1 '<key>CFBundleShortVersionString</key>' |
  grep -c "<string>$version</string>" || true)
if [ "$dictionaries" -ne 2 ]; then
  say "$dictionaries slices of 2 carry an information dictionary of $version"
  exit 1
fi
# The stand-in Mac (scripts/mac_standin), on Linux, builds and checks all the
# rest but cannot run a Mach-O; the workflow's universal job runs both
# slices.
if [ -z "${ZINDLE_MAC_STANDIN:-}" ]; then
  answer=$(printf '%s\n' '{"jsonrpc":"2.0","id":1,"method":"initialize"}' |
    "$binary")
  case "$answer" in
    *"\"version\":\"$version\""*) ;;
    *) say "initialize did not report version $version: $answer"; exit 1 ;;
  esac
fi
say "arm64 and x86_64, macOS $minimum on, system libraries only, signed ad hoc"
echo "$binary"
