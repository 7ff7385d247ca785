#!/bin/sh
# Fails when the program at $1 would load a library outside the set it is
# allowed. On a Mac: the system's own alone (/usr/lib and the system's
# frameworks), so that it runs on any Mac, moved or not, with or without
# Homebrew. On Linux: the C and C++ runtimes and simdjson; libcurl and ICU are
# opened on first use and do not show here.
set -eu
program=$1
case "$(uname -s)" in
  Darwin)
    # Every slice of a universal binary: otool reads this Mac's alone unless
    # told otherwise.
    libraries=$(otool -arch all -L "$program" | awk '/^\t/ {print $1}')
    allowed='^(/usr/lib/|/System/Library/Frameworks/)'
    ;;
  *)
    libraries=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
    allowed='^(libc|libm|libstdc\+\+|libgcc_s|libsimdjson)\.so(\.[0-9]+)*$|^ld-linux'
    ;;
esac
# Every program loads the C library at least: none listed means the tool
# could not read the program, not that it is clean.
if [ -z "$libraries" ]; then
  printf '%s: no libraries listed; could not read it\n' "$program" >&2
  exit 1
fi
outside=$(printf '%s\n' "$libraries" | grep -Ev "$allowed" || true)
if [ -n "$outside" ]; then
  printf '%s would load libraries it must not need:\n%s\n' "$program" "$outside" >&2
  exit 1
fi
