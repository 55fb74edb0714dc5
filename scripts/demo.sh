#!/usr/bin/env bash
# Shows the tools at work on sample media that the demo makes itself, in a temporary directory.
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# --- small byte writers -------------------------------------------------------------------
byte() { printf "\\x$(printf %02x $(( $1 & 255 )))"; }
le16() { byte "$1"; byte $(( $1 >> 8 )); }
zeros() { head -c "$1" /dev/zero; }
# name17 NAME: the name, then CR up to 17 bytes
name17() { printf '%s' "$1"; local n=${#1}; while [ "$n" -lt 17 ]; do printf '\r'; n=$((n + 1)); done; }
# mzf ATTRIBUTE NAME LOAD EXEC DATAFILE: an MZF file on standard output
mzf() {
  byte "$1"; name17 "$2"; le16 "$(stat -c %s "$5")"; le16 "$3"; le16 "$4"; zeros 104; cat "$5"
}
# bits FILE: the number of 1 bits in the file's bytes
bits() {
  local total=0 b
  for b in $(od -An -v -tu1 "$1"); do
    while [ "$b" -gt 0 ]; do total=$(( total + (b & 1) )); b=$(( b >> 1 )); done
  done
  echo "$total"
}
say() { printf '\n== %s\n' "$*"; }
show() { printf '$ %s\n' "$*"; "$@"; }

# --- sample files -------------------------------------------------------------------------
# A machine-code program: LD A,0x41 / CALL 0x0012 (print a character) / RET
printf '\x3e\x41\xcd\x12\x00\xc9' > code.bin
# An MZ-700 BASIC program: 10 PRINT "HELLO" / 20 GOTO 10
{ le16 14; le16 10; printf '\x8f\x20"HELLO"\x00'
  le16 10; le16 20; printf '\x80\x20\x0b'; le16 10; printf '\x00'
  le16 0; } > hello.bas.bin
mzf 1 "DEMO CODE" 0x1200 0x1200 code.bin > democode.mzf
mzf 2 "HELLO" 0x6BCF 0 hello.bas.bin > hello.mzf

say "An MZT tape is MZF files back to back: two files, listed with their columns and unpacked"
cat democode.mzf hello.mzf > demo.mzt
mkdir tape && cd tape
show "$build/velkor" -T ../demo.mzt
show ls
cd ..

say "A RAM-disk image: a 16-byte header with its magic run, then one entry per file"
{ le16 $((16 * 1024)); le16 $((72 + 6 + 2)); zeros 4; printf '\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f'
  le16 $((70 + 6)); zeros 3; byte 1; name17 "RAMCODE"; zeros 2; le16 6; le16 0xD000; le16 0xD000
  zeros 41; cat code.bin; le16 0; } > ram.bin
mkdir ram && cd ram
show "$build/velkor" -v ../ram.bin
cd ..

say "A ROM-disk image: size, load, exec, two bit counts, the program; Velkor checks the counts"
{ le16 6; le16 0x1200; le16 0x1200; le16 "$(bits code.bin)"; } > rom.head
{ cat rom.head; byte "$(bits rom.head)"; cat code.bin; } > rom.bin
show "$build/velkor" rom.bin
