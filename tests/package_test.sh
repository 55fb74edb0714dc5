#!/bin/sh
# Builds the Debian package with CPack, unpacks it into a scratch root with dpkg -x, and checks its
# control fields, that it holds exactly the files that make install installs, and that the
# programs run from there.
# usage: package_test.sh CPACK BUILD_DIR SOURCE_DIR
set -u
cpack=$1 build=$2 source=$3
. "$source/tests/installed_files.sh"

if ! command -v dpkg >/dev/null 2>&1 || ! command -v dpkg-deb >/dev/null 2>&1; then
  echo "dpkg is not installed: Debian package not tested"
  exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/mz-package.XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
trap 'exit 1' HUP INT TERM
mkdir "$scratch/work" "$scratch/root"

build_package "$cpack" "$build" "$scratch"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = mztools ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
[ "$(field Section)" = otherosfs ] || fail "Section: $(field Section)"
[ -n "$(field Version)" ] || fail "no Version"
case "$(field Maintainer)" in *"<"*@*">") ;; *) fail "Maintainer: $(field Maintainer)" ;; esac
case "$(field Depends)" in *libc6*) ;; *) fail "Depends: $(field Depends)" ;; esac
case " $programs " in
  *" mztape "*)
    case "$(field Depends)" in *libsndfile1*) ;; *) fail "Depends names no libsndfile1: $(field Depends)" ;; esac ;;
esac
case "$(field Description)" in *MZ-700*) ;; *) fail "Description: $(field Description)" ;; esac

dpkg -x "$deb" "$scratch/root" || fail "dpkg -x $deb"
check_tree "$scratch/root" usr/bin usr/share/man usr/share/doc/mztools "$source" "$scratch/work"

[ $failures -eq 0 ] && echo "$(basename "$deb"): $program_count programs, as many manual pages, copyright and changelog; all run"
[ $failures -eq 0 ]
