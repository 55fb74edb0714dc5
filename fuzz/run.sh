#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds on its corpus, seeded by make_seeds.
# usage: fuzz/run.sh BUILD_DIR SECONDS [TARGET...]
# FUZZ_FLAGS adds libFuzzer flags (e.g. -max_len=70000); FUZZ_KEEP_SEEDS=1 keeps the seeds made
# by an earlier run, for runs side by side.
set -euo pipefail
build=$1
seconds=$2
shift 2
cd "$build/fuzz"
here=$(pwd)  # the targets change directory: every path they get is absolute
if [ "${FUZZ_KEEP_SEEDS:-0}" != 1 ] || [ ! -d seeds ]; then
  rm -rf seeds
  ./make_seeds seeds
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=($(find . -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x -printf '%f\n' | sort))
fi
status=0
for target in "${targets[@]}"; do
  mkdir -p "corpus/$target" "seeds/$target" artifacts logs
  echo "== $target: ${seconds}s"
  if ! "./$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 ${FUZZ_FLAGS:-} \
      -artifact_prefix="$here/artifacts/$target-" "$here/corpus/$target" "$here/seeds/$target" 2> "logs/$target.log"; then
    status=1
    echo "!! $target failed; see $build/fuzz/logs/$target.log"
    tail -n 40 "logs/$target.log"
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|cov: ' "logs/$target.log" | tail -n 3 || true
done
exit $status
