#!/bin/sh
# The README's two installs one after the other, by two users: the owner of
# a checkout builds, root installs (sudo make install: it configures the
# build again and installs into the system), and then the owner installs
# into a prefix of their own and takes it away again. A project of one
# program stands in for the checkout; scripts/install.sh and the configure
# step of make install are what run. Linux, as root; skipped elsewhere.
set -eu
[ "$(id -u)" = 0 ] && command -v setpriv >/dev/null 2>&1 || { echo "skipped: needs root and setpriv"; exit 77; }
install_sh=$PWD/scripts/install.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# nobody: a user with no rights of its own anywhere here.
owner() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
# The configure step of make install: as root, or by way of `owner`.
configure() { "$@" cmake -S src -B build/release -G Ninja -Wno-dev >/dev/null; }
mkdir -p "$work/checkout/src"
cd "$work/checkout"
printf '#!/bin/sh\necho tool\n' >src/tool
printf 'cmake_minimum_required(VERSION 3.20)\nproject(two_users LANGUAGES NONE)\n%s\n' \
  'install(PROGRAMS tool DESTINATION bin)' >src/CMakeLists.txt
chown -R 65534:65534 "$work"
configure owner

# sudo make install: the build configured again, by root, and installed;
# nothing of root's is left in the checkout.
configure
"$install_sh" install build/release "$work/system" >/dev/null
test -x "$work/system/bin/tool"
left=$(find . -user 0)
test -z "$left" || { echo "root's install left files of root's in the checkout: $left"; exit 1; }

# make install PREFIX=... by the owner, and make uninstall, which leaves
# root's install as it was.
configure owner
owner "$install_sh" install build/release "$work/home" >/dev/null
test -x "$work/home/bin/tool"
owner "$install_sh" uninstall build/release >/dev/null
test ! -e "$work/home"
test -x "$work/system/bin/tool"
echo "root's install, then the owner's into a prefix of their own: both took"
