#!/usr/bin/env bash
# Installs what building, testing and the demo need, and only what is missing:
# Debian/Ubuntu packages through apt-get (as root, or with sudo), Homebrew
# formulas on macOS (as yourself: Homebrew refuses root), then the Node
# packages from the committed lock file. Building and installing the server
# (`make release`, `make install`) never run this.
#
# Usage: scripts/setup.sh          everything (make setup, demo, test, ...)
#        scripts/setup.sh bench    that, and on a Mac the benchmark library
#        scripts/setup.sh mac-standin  that, and on Linux what the stand-in Mac
#                                  builds with (make mac-standin, make test)
#        scripts/setup.sh clients  only the Codex and Gemini CLIs of the
#                                  clients' test (make test)
#        scripts/setup.sh packer   only the MCP Bundle's packer (make mcpb)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

say() { printf 'setup: %s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null 2>&1; then
    sudo "$@"
  else
    say "need root (or sudo) to run: $*"
    exit 1
  fi
}

setup_debian() {
  # clang-19 with libc++ builds the sanitizer build, the nearest stand-in for
  # Apple's toolchain; its sanitizer and fuzzer runtimes are packaged apart
  # and only recommended, so they are named here.
  # cpack reads the libraries a package needs with file and dpkg-shlibdeps.
  local packages=(
    build-essential cmake ninja-build pkg-config file clang-format
    clang-19 libc++-19-dev libc++abi-19-dev libclang-rt-19-dev
    nlohmann-json3-dev libsimdjson-dev libcurl4-openssl-dev libicu-dev
    libcpp-httplib-dev liblo-dev libgtest-dev libbenchmark-dev
    chromium  # the browser test of the simulator's page
    strace  # the clients' test watches where they connect
    lld-19 llvm-19  # the stand-in Mac's linker, lipo and otool
  )
  # Node.js may come from another source than Debian's own packages; only
  # when node or npm is missing do we ask apt for them.
  command -v node >/dev/null 2>&1 || packages+=(nodejs)
  command -v npm >/dev/null 2>&1 || packages+=(npm)

  local missing=()
  for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
        grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    say "installing ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

setup_macos() {
  if [ "$(id -u)" -eq 0 ]; then
    say "run this as yourself, not as root: Homebrew refuses root"
    exit 1
  fi
  if ! command -v brew >/dev/null 2>&1; then
    say "Homebrew is needed: https://brew.sh"
    exit 1
  fi
  if ! xcrun --find clang++ >/dev/null 2>&1; then
    say "Xcode's command-line tools are needed: xcode-select --install"
    exit 1
  fi
  # The server is built with the system's libcurl and CoreFoundation, and
  # links simdjson statically; ICU, cpp-httplib and liblo are the
  # simulator's. Only what the Mac's `make test` needs: Homebrew builds
  # every formula from source on an Intel Mac (no bottles from its third
  # tier), so clang-format (all of LLVM, hours) is left to the Linux job,
  # which checks the format with the version it is pinned to, and Google
  # Benchmark to `make bench`.
  local formulas=(cmake ninja pkg-config nlohmann-json simdjson icu4c
                  cpp-httplib liblo googletest node)
  if [ "$mode" = bench ]; then formulas+=(google-benchmark); fi
  local missing=()
  for formula in "${formulas[@]}"; do
    # Node.js may come from its own installer or a versioned formula (a
    # linked node@22), which `brew install node` would collide with: as on
    # Debian, it is asked for only when node or npm is missing.
    if [ "$formula" = node ] && command -v node >/dev/null 2>&1 &&
      command -v npm >/dev/null 2>&1; then
      continue
    fi
    brew list --formula "$formula" >/dev/null 2>&1 || missing+=("$formula")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    say "installing ${missing[*]}"
    brew install "${missing[@]}"
  fi
  # The browser test of the simulator's page drives Google Chrome (GitHub's
  # macOS runners have it) or Chromium, where tests/e2e/view.test.mjs looks.
  local chrome="Applications/Google Chrome.app/Contents/MacOS/Google Chrome"
  if [ -z "${ZINDLE_BROWSER:-}" ] && [ ! -x "/$chrome" ] &&
      [ ! -x "$HOME/$chrome" ] &&
      [ ! -x /Applications/Chromium.app/Contents/MacOS/Chromium ]; then
    say "installing Google Chrome, for the browser test"
    brew install --cask google-chrome
  fi
}

# The Debian archive the system's simdjson came from; apt's lists name it.
debian_archive() {
  where() { apt-get download --print-uris libsimdjson-dev 2>/dev/null |
    sed -n "s|^'\(.*\)/pool/.*|\1|p"; }
  if [ -z "$(where)" ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  fi
  where
}

# The packages pinned by the lock file in folder $2, installed into the
# cache folder $3 unless the same lock is there already; npm ci takes the
# further arguments.
install_pinned() {
  local what=$1 from=$2 into=$3
  shift 3
  if ! cmp -s "$from/package-lock.json" "$into/package-lock.json" ||
    [ ! -d "$into/node_modules" ]; then
    say "installing $what into $into"
    rm -rf "${into:?}" && mkdir -p "$into"
    cp "$from/package.json" "$from/package-lock.json" "$into/"
    (cd "$into" && npm ci "$@" --no-audit --no-fund --loglevel=error >/dev/null)
  fi
}

# The stand-in Mac's own (scripts/mac_standin/run.sh), kept out of the
# project's folder in a cache of its own, so that neither `npm ci` nor
# `make clean` costs its 380 MB again: Apple's libc headers and libSystem's
# stub, as the Zig package that scripts/mac_standin/package-lock.json pins
# ships them; and the source of simdjson that the Mac's build compiles,
# which is Debian's copy of the upstream release Debian builds its own
# simdjson from, fetched with apt-get from the archive the system's simdjson
# came from, checked as every Debian package is; and Homebrew's versions
# (below).
setup_mac_standin() {
  local cache=${ZINDLE_MAC_STANDIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zindle-mac-standin}
  install_pinned "the stand-in Mac's SDK headers" \
    "$root/scripts/mac_standin" "$cache/sdk"
  local package version
  read -r package version < <(dpkg-query -W \
    -f='${source:Package} ${source:Version}\n' libsimdjson-dev)
  if ! compgen -G "$cache/$package/${package}_${version%-*}.orig.tar.*" \
    >/dev/null; then
    say "fetching the source of $package $version into $cache"
    local uri codename apt="$cache/apt"
    uri=$(debian_archive)
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    mkdir -p "$apt/lists/partial" "$apt/archives/partial"
    echo "deb-src $uri $codename main" >"$apt/sources.list"
    local options=(-o "Dir::Etc::SourceList=$apt/sources.list"
      -o Dir::Etc::SourceParts=/dev/null -o "Dir::State::Lists=$apt/lists"
      -o "Dir::Cache=$apt")
    # As root, apt hands downloads to its own user, who cannot write here.
    [ "$(id -u)" -ne 0 ] || options+=(-o APT::Sandbox::User=root)
    apt-get -qq "${options[@]}" update
    rm -rf "${cache:?}/$package" && mkdir -p "$cache/$package"
    (cd "$cache/$package" &&
      apt-get -qq "${options[@]}" source --download-only \
        "$package=$version" >/dev/null)
  fi
  setup_homebrew_versions "$cache"
}

# The versions of simdjson and cpp-httplib that Homebrew ships are newer
# than this Debian's; the stand-in Mac compiles the server and the simulator
# against the nearest that Debian publishes, those of its development suite
# (sid), fetched once into the cache with apt-get and checked as every
# Debian package is: cpp-httplib's source, whose header the simulator takes
# alone, as it takes Homebrew's; and simdjson's development package, its
# header and static archive (the newer source archives of simdjson are not
# served here, so the universal binary builds from the one above).
setup_homebrew_versions() {
  local cache=$1/homebrew-versions
  if [ -f "$cache/versions" ]; then return; fi
  say "fetching the newer simdjson and cpp-httplib into $cache"
  local apt="$1/apt-sid" uri
  uri=$(debian_archive)
  mkdir -p "$apt/lists/partial" "$apt/archives/partial"
  printf 'deb %s sid main\ndeb-src %s sid main\n' "$uri" "$uri" >"$apt/sources.list"
  local options=(-o "Dir::Etc::SourceList=$apt/sources.list"
    -o Dir::Etc::SourceParts=/dev/null -o "Dir::State::Lists=$apt/lists"
    -o "Dir::State::Status=/dev/null" -o "Dir::Cache=$apt")
  [ "$(id -u)" -ne 0 ] || options+=(-o APT::Sandbox::User=root)
  apt-get -qq "${options[@]}" update
  rm -rf "$cache" && mkdir -p "$cache/download" "$cache/httplib" "$cache/simdjson"
  (cd "$cache/download" &&
    apt-get -qq "${options[@]}" source --download-only cpp-httplib >/dev/null &&
    apt-get -qq "${options[@]}" download libsimdjson-dev >/dev/null)
  local archive
  archive=$(compgen -G "$cache/download/cpp-httplib_*.orig.tar.*" | head -n 1)
  tar -xf "$archive" -C "$cache/httplib" --strip-components 1 --wildcards '*/httplib.h'
  dpkg-deb -x "$cache"/download/libsimdjson-dev_*.deb "$cache/simdjson"
  {
    echo "cpp-httplib $(sed -n 's/^#define CPPHTTPLIB_VERSION "\(.*\)"$/\1/p' "$cache/httplib/httplib.h")"
    echo "simdjson $(dpkg-deb -f "$cache"/download/libsimdjson-dev_*.deb Version)"
  } >"$cache/versions.new"
  mv "$cache/versions.new" "$cache/versions"
  rm -rf "$apt"
}

# The Codex and Gemini CLIs of tests/e2e/clients.test.mjs, each pinned by a
# lock file of its own in tests/clients/ and installed into a cache folder
# of its own, so that the project's `npm ci` does not carry their 520 MB
# (Codex ships its program for the platform, 420 MB on Linux). No install
# script runs: neither CLI needs one for what the test asks of it.
setup_clients() {
  local cache=${ZINDLE_CLIENTS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zindle-clients}
  local client
  for client in codex gemini; do
    install_pinned "the $client CLI" "$root/tests/clients/$client" \
      "$cache/$client" --ignore-scripts
  done
}

mode=${1:-all}
if [ "$mode" = clients ]; then
  setup_clients
  exit 0
fi
if [ "$mode" = all ] || [ "$mode" = bench ] || [ "$mode" = mac-standin ]; then
  case "$(uname -s)" in
    Linux)
      if command -v apt-get >/dev/null 2>&1; then
        setup_debian
        # 380 MB that only the stand-in Mac reads: not for the demo.
        if [ "$mode" = mac-standin ]; then setup_mac_standin; fi
      else
        say "not a Debian-like system: install the packages named in README.md"
      fi
      ;;
    Darwin) setup_macos ;;
    *) say "unknown system $(uname -s): install the packages named in README.md" ;;
  esac
fi

# package-lock.json pins the Node packages: under "dependencies" the MCP
# Bundle's packer alone, under "devDependencies" the MCP client, the
# Inspector, Claude Code's CLI and the browser driver of the end-to-end tests
# and the demo.
# Reinstall when the lock file changed since the last install, or when that
# one was the packer's alone and more is wanted now.
if [ "$mode" = packer ]; then
  wanted="$root/node_modules/@anthropic-ai/mcpb/package.json"
  omit=--omit=dev
else
  wanted="$root/node_modules/@modelcontextprotocol/sdk/package.json"
  omit=
fi
stamp="$root/node_modules/.package-lock.json"
if [ ! -f "$wanted" ] || [ "$root/package-lock.json" -nt "$stamp" ]; then
  if ! command -v npm >/dev/null 2>&1; then
    say "Node.js and npm are needed for the Node packages"
    exit 1
  fi
  say "installing the Node packages${omit:+: the bundle packer alone}"
  (cd "$root" && npm ci $omit --no-audit --no-fund --loglevel=error >/dev/null)
fi
