#!/usr/bin/env bash
# Lays out the stand-in Mac's SDK at $2, as `xcrun --show-sdk-path` names it,
# from what is here: Apple's libc headers and libSystem's stub as Zig ships
# them (folder $1, the package that package.json pins), LLVM's libc++ headers
# from the same package, Debian's curl headers, and stubs (.tbd) for the
# SDK's libcurl and libc++ listing what Debian's builds of those libraries
# export. CoreFoundation's header and stub are ours (sdk/). Files are linked,
# not copied, and the SDK is laid out again only when it is missing or older
# than what lays it out, so that a second run rebuilds nothing.
#
# Usage: make_sdk.sh <Zig's package folder> <SDK folder>
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
zig=$1
sdk=$2
if [ -f "$sdk/SDKSettings.json" ] && [ -z "$(find "$here/make_sdk.sh" \
  "$here/tbd.mjs" -newer "$sdk/SDKSettings.json")" ]; then
  exit 0
fi
rm -rf "$sdk" "$sdk.part"
mkdir -p "$sdk.part/usr/include/c++/v1" "$sdk.part/usr/lib"

# The SDK's headers are one folder for every architecture; Zig keeps those
# that differ apart, in folders that do not overlap, and those of macOS 13
# ahead of older ones.
libc="$zig/lib/libc/include"
for part in aarch64-macos.13-none x86_64-macos.13-none any-macos.13-any \
  any-macos-any; do
  cp -rsn "$libc/$part/." "$sdk.part/usr/include/"
done
cp -rs "$zig/lib/libcxx/include/." "$zig/lib/libcxxabi/include/." \
  "$sdk.part/usr/include/c++/v1/"
for curl in /usr/include/curl /usr/include/*/curl; do
  [ -f "$curl/curl.h" ] && break
done
ln -s "$curl" "$sdk.part/usr/include/curl"

ln -s "$zig/lib/libc/darwin/libSystem.13.tbd" "$sdk.part/usr/lib/libSystem.tbd"
ln -s libSystem.tbd "$sdk.part/usr/lib/libSystem.B.tbd"
stub() { # install name, output, libraries whose exports it lists
  local name=$1 output=$2
  shift 2
  node "$here/tbd.mjs" "$name" "$@" >"$output"
}
stub /usr/lib/libcurl.4.dylib "$sdk.part/usr/lib/libcurl.tbd" \
  "$(ldconfig -p | sed -n 's/.*libcurl\.so\.4 (.*=> //p' | sed -n 1p)"
llvm=/usr/lib/llvm-19/lib
# On a Mac libc++ re-exports libc++abi; one stub holds both here.
stub /usr/lib/libc++.1.dylib "$sdk.part/usr/lib/libc++.tbd" \
  "$llvm/libc++.so.1" "$llvm/libc++abi.so.1"
ln -s libc++.tbd "$sdk.part/usr/lib/libc++.1.tbd"

frameworks="$sdk.part/System/Library/Frameworks"
mkdir -p "$frameworks/CoreFoundation.framework/Headers"
ln -s "$here/sdk/CoreFoundation.h" \
  "$frameworks/CoreFoundation.framework/Headers/CoreFoundation.h"
ln -s "$here/sdk/CoreFoundation.tbd" \
  "$frameworks/CoreFoundation.framework/CoreFoundation.tbd"

# The SDK's version, as clang reads it.
printf '{"CanonicalName": "macosx14.0", "Version": "14.0", %s}\n' \
  '"MaximumDeploymentTarget": "14.0.99"' \
  >"$sdk.part/SDKSettings.json"
mv "$sdk.part" "$sdk"
