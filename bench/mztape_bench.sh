#!/usr/bin/env bash
# The whole process of `mztape decode` on a 20-minute recording at 44.1 kHz, 16 bits: files of
# 4 KiB each, recorded by `mztape encode` in the machine's own form until the recording is 20
# minutes long. Prints the real-time factor (recording length over wall time) and the peak
# memory, and checks that every file comes back byte for byte.
# usage: mztape_bench.sh MZTAPE [MINUTES]
set -euo pipefail

mztape=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
minutes=${2:-20}
work=$(mktemp -d "${TMPDIR:-/tmp}/mztape-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# mzf NUMBER: an MZF file of 4096 bytes of data, different for every NUMBER.
mzf() {
  local n=$1
  {
    printf '\x01'
    # the name BENCHn, ended by CR
    local name="BENCH$n"
    printf '%s' "$name"
    head -c $(( 17 - ${#name} )) /dev/zero | tr '\0' '\r'
    printf '\x00\x10\x00\x12\x00\x12'
    head -c 104 /dev/zero
    # 4096 bytes that differ from file to file
    awk -v n="$n" 'BEGIN {
      while (length(text) < 4096) text = text "file " n " of the bench, a line of text to record\n"
      printf "%s", substr(text, 1, 4096)
    }'
  } > "bench$n.mzf"
}

# Each file takes about 73 s in the conventional form, one second of silence between files.
files=()
n=0
while [ $(( n * 74 )) -lt $(( minutes * 60 )) ]; do
  n=$((n + 1))
  mzf "$n"
  files+=("bench$n.mzf")
done
"$mztape" encode -o bench.wav "${files[@]}" > encode.out
length=$(tail -n 1 encode.out | sed -E 's/.* ([0-9]+):([0-9]+\.[0-9]) ?;.*/\1 \2/')
seconds=$(echo "$length" | awk '{ print $1 * 60 + $2 }')

mkdir decoded
cd decoded
/usr/bin/time -f '%e %M' -o ../time.out "$mztape" decode ../bench.wav > ../decode.out
cd ..
read -r wall peak < time.out
for f in "${files[@]}"; do
  cmp -s "$f" "decoded/$f" || { echo "FAIL: $f did not come back" >&2; exit 1; }
done
[ "$(ls decoded | wc -l)" -eq "${#files[@]}" ] || { echo "FAIL: extra files decoded" >&2; exit 1; }

printf 'mztape decode: %d files on a %s s recording (44100 Hz, 16-bit, %d bytes)\n' \
  "${#files[@]}" "$seconds" "$(stat -c %s bench.wav)"
awk -v s="$seconds" -v w="$wall" -v p="$peak" 'BEGIN {
  if (w < 0.01) w = 0.01
  printf "  wall time %.2f s: %.0f times real time; peak memory %.1f MB\n", w, s / w, p / 1024
}'
