#!/bin/sh
# Builds the Debian package with CPack and runs lintian on it: errors, warnings and notes alike
# must be absent. Skipped where lintian or dpkg is not installed.
# usage: lintian_test.sh CPACK BUILD_DIR SOURCE_DIR
set -u
cpack=$1 build=$2 source=$3
. "$source/tests/installed_files.sh"

for tool in dpkg dpkg-deb lintian; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$tool is not installed: Debian package not checked by lintian"
    exit 77
  fi
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/mz-lintian.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' HUP INT TERM

build_package "$cpack" "$build" "$scratch"

# Standard error carries lintian's own remarks (such as running as root); tags go to standard
# output.
lintian --display-info "$deb" >"$scratch/tags" 2>"$scratch/remarks"
status=$?
if [ $status -ne 0 ] || [ -s "$scratch/tags" ]; then
  echo "FAIL: lintian $(basename "$deb") (status $status):"
  cat "$scratch/tags" "$scratch/remarks"
  exit 1
fi
echo "lintian $(basename "$deb"): no tags"
