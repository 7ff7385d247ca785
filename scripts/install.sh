#!/bin/sh
# Installs a build into a prefix (make install), or takes away what that
# install put there (make uninstall). CMake lists the files it installs in
# the build's install_manifest.txt; the folders it had to make for them are
# listed beside it, in install_folders.txt, so that an uninstall leaves the
# prefix as it was, with the folders that were there before.
#
# Run as root (sudo make install), the build before it and the install
# leave files of root's in the build folder, which the checkout's owner could
# not rewrite at a later make install into a prefix of their own: at the end
# the build folder goes back to whoever owns the folder this runs from (the
# checkout).
#
# Usage: scripts/install.sh install <build folder> <prefix>
#        scripts/install.sh uninstall <build folder>
set -eu
mode=$1
build=$2
files="$build/install_manifest.txt"
folders="$build/install_folders.txt"

give_back() {
  if [ "$(id -u)" = 0 ] && [ -d "$build" ]; then
    owner=$(ls -nd . | awk '{ print $3 ":" $4 }')
    chown -R "$owner" "$build"
    # A build folder made by root in the checkout made its parent too.
    parent=$(cd "$build/.." && pwd)
    case "$parent" in
      "$PWD"/*) chown "$owner" "$parent" ;;
    esac
  fi
}
trap give_back EXIT

case "$mode" in
  install)
    case "$3" in
      /*) prefix=$3 ;;
      *) prefix="$PWD/$3" ;;
    esac
    prefix=$(printf '%s\n' "$prefix" | sed 's:/*$::')
    # The folders the install would make: the prefix and those above it
    # that are missing, and those of a trial install, staged apart, that the
    # prefix lacks. What an earlier install recorded stays recorded: the
    # uninstall removes a folder only once it is empty.
    trial=$(mktemp -d)
    trap 'rm -rf "$trial"; give_back' EXIT
    DESTDIR="$trial" cmake --install "$build" --prefix "$prefix" >/dev/null
    {
      if [ -f "$folders" ]; then
        cat "$folders"
      fi
      dir=$prefix
      while [ ! -d "$dir" ]; do
        echo "$dir"
        dir=$(dirname "$dir")
      done
      (cd "$trial$prefix" && find . -type d ! -name .) | while IFS= read -r dir; do
        [ -d "$prefix/${dir#./}" ] || echo "$prefix/${dir#./}"
      done
    } | sort -u >"$trial/folders"
    cmake --install "$build" --prefix "$prefix"
    cp "$trial/folders" "$folders"
    ;;
  uninstall)
    if [ ! -f "$files" ]; then
      echo "make uninstall: nothing to remove: $files, which make install writes, is not there" >&2
      exit 1
    fi
    # CMake ends the list without a line feed.
    while IFS= read -r file || [ -n "$file" ]; do
      if [ -e "$file" ] || [ -L "$file" ]; then
        rm -f "$file"
        echo "removed $file"
      fi
    done <"$files"
    # Deepest first; a folder that holds anything else by now is left.
    if [ -f "$folders" ]; then
      sort -r "$folders" | while IFS= read -r dir; do
        if rmdir "$dir" 2>/dev/null; then
          echo "removed $dir/"
        fi
      done
    fi
    rm -f "$files" "$folders"
    ;;
  *)
    echo "usage: scripts/install.sh install <build> <prefix> | uninstall <build>" >&2
    exit 2
    ;;
esac
