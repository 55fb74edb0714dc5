#!/bin/sh
# Installs the build into a scratch prefix, as `make install PREFIX=...` does, and checks that
# exactly the programs, their manual pages, the copyright and the changelog arrive there and
# that the programs run.
# usage: install_test.sh CMAKE BUILD_DIR SOURCE_DIR
set -u
cmake=$1 build=$2 source=$3
. "$source/tests/installed_files.sh"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/mz-install.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' HUP INT TERM
mkdir "$scratch/work"

unset DESTDIR
if ! "$cmake" --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log"
  exit 1
fi
check_tree "$scratch/prefix" bin share/man share/doc/mztools "$source" "$scratch/work"

[ $failures -eq 0 ] && echo "installed into a scratch prefix: $program_count programs, as many manual pages, copyright and changelog; all run"
[ $failures -eq 0 ]
