# Checks shared by install_test.sh, package_test.sh and lintian_test.sh (sourced, not run): an installed tree holds
# exactly the programs, their manual pages, the licence as copyright and the changelog; the
# programs run, and man finds the pages.

failures=0
# The programs of the build, from its list of programs.
programs=${MZ_PROGRAMS:-velkor drasil pandrel}
program_count=$(echo $programs | wc -w)

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# build_package CPACK BUILD_DIR SCRATCH: the Debian package of the build, made by CPack in
# SCRATCH/out; sets deb to its path, or ends the test with cpack's log.
build_package() {
  out=$3/out
  if ! "$1" --config "$2/CPackConfig.cmake" -B "$out" >"$3/cpack.log" 2>&1; then
    cat "$3/cpack.log"
    exit 1
  fi
  set -- "$out"/*.deb
  if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "FAIL: cpack made no single .deb file:"
    ls -la "$out"
    exit 1
  fi
  deb=$1
}

# check_programs BIN_DIR WORK_DIR: runs each installed program in WORK_DIR and checks its banner.
check_programs() {
  bin=$1 work=$2
  printf '\nVelkor ver. 1.6\n\n' >"$work/velkor.expected"
  printf '\nDrasil V 0.30\n\n' >"$work/drasil.expected"
  printf '\nPandrel ver. 1.2\n\n' >"$work/pandrel.expected"

  # Without arguments Velkor prints only its banner; Drasil does so for an unknown command.
  (cd "$work" && "$bin/velkor" >velkor.out 2>velkor.err)
  status=$?
  [ $status -eq 0 ] || fail "velkor ended with status $status"
  cmp -s "$work/velkor.out" "$work/velkor.expected" || fail "velkor's banner: $(cat "$work/velkor.out")"
  (cd "$work" && "$bin/drasil" version >drasil.out 2>drasil.err)
  status=$?
  [ $status -eq 0 ] || fail "drasil version ended with status $status"
  cmp -s "$work/drasil.out" "$work/drasil.expected" || fail "drasil's banner: $(cat "$work/drasil.out")"
  # Pandrel goes on after its banner (and writes an empty image into the work directory).
  (cd "$work" && "$bin/pandrel" >pandrel.out 2>pandrel.err)
  status=$?
  [ $status -eq 0 ] || fail "pandrel ended with status $status"
  head -c "$(wc -c <"$work/pandrel.expected")" "$work/pandrel.out" | cmp -s - "$work/pandrel.expected" ||
    fail "pandrel's banner: $(cat "$work/pandrel.out")"
  # mztape --help prints its usage on standard output.
  case " $programs " in
    *" mztape "*)
      (cd "$work" && "$bin/mztape" --help >mztape.out 2>mztape.err)
      status=$?
      [ $status -eq 0 ] || fail "mztape --help ended with status $status"
      grep -q '^usage: mztape decode' "$work/mztape.out" || fail "mztape's usage: $(cat "$work/mztape.out")"
      ;;
  esac
  for program in $programs; do
    [ -s "$work/$program.err" ] && fail "$program wrote to standard error: $(cat "$work/$program.err")"
  done
}

# check_tree ROOT BIN_DIR MAN_DIR DOC_DIR SOURCE_DIR WORK_DIR: the tree under ROOT holds the
# programs in BIN_DIR, the compressed pages in MAN_DIR/man1, the licence as DOC_DIR/copyright and
# the compressed changelog as DOC_DIR/changelog.gz (all relative to ROOT), and nothing else.
check_tree() {
  root=$1 bindir=$2 mandir=$3 docdir=$4 source=$5 work=$6
  {
    for program in $programs; do echo "./$bindir/$program"; done
    for program in $programs; do echo "./$mandir/man1/$program.1.gz"; done
    echo "./$docdir/copyright"
    echo "./$docdir/changelog.gz"
  } | LC_ALL=C sort >"$work/files.expected"
  (cd "$root" && find . ! -type d) | LC_ALL=C sort >"$work/files.found"
  if ! cmp -s "$work/files.expected" "$work/files.found"; then
    fail "installed files differ from the expected ones:"
    diff "$work/files.expected" "$work/files.found"
  fi

  for program in $programs; do
    [ -x "$root/$bindir/$program" ] || fail "$bindir/$program is not an executable file"
    page="$root/$mandir/man1/$program.1.gz"
    if [ -f "$page" ]; then
      gzip -dc "$page" | cmp -s - "$source/docs/$program.1" ||
        fail "$mandir/man1/$program.1.gz is not docs/$program.1"
      if command -v man >/dev/null 2>&1; then
        found=$(man -M "$root/$mandir" -w "$program" 2>&1)
        [ "$found" = "$page" ] || fail "man -w $program found '$found', not $page"
        MANWIDTH=80 man -l "$page" >"$work/page.txt" 2>"$work/page.err" || fail "man -l $page failed"
        [ -s "$work/page.err" ] && fail "man -l $page: $(cat "$work/page.err")"
        grep -q '^NAME' "$work/page.txt" || fail "man -l $page shows no NAME section"
      fi
    fi
  done

  if [ -f "$root/$docdir/copyright" ]; then
    cmp -s "$root/$docdir/copyright" "$source/LICENSE" || fail "$docdir/copyright is not LICENSE"
  fi
  if [ -f "$root/$docdir/changelog.gz" ]; then
    gzip -dc "$root/$docdir/changelog.gz" | cmp -s - "$source/docs/changelog" ||
      fail "$docdir/changelog.gz is not docs/changelog"
  fi

  check_programs "$root/$bindir" "$work"
}
