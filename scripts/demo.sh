#!/usr/bin/env bash
# A guided tour of the four tools on media that the demo makes itself, in a temporary directory
# that is removed at the end. usage: demo.sh BUILD_DIR
set -euo pipefail

build=$(cd "${1:-build}" && pwd)
velkor=$build/velkor
drasil=$build/drasil
pandrel=$build/pandrel
mztape=$build/mztape
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
# line NUMBER TEXT: one BASIC line record: its length (counted from its own first byte), the line
# number, then TEXT, a printf format of the line's bytes with its end (0x00, or 0x0D in tape BASIC).
line() {
  local number=$1 text
  text=$(printf "$2" | od -An -v -tx1)
  local count=$(printf '%s' "$text" | wc -w)
  le16 $(( count + 4 )); le16 "$number"
  for b in $text; do byte "0x$b"; done
}
# bits FILE: the number of 1 bits in the file's bytes
bits() {
  local total=0 b
  for b in $(od -An -v -tu1 "$1"); do
    while [ "$b" -gt 0 ]; do total=$(( total + (b & 1) )); b=$(( b >> 1 )); done
  done
  echo "$total"
}
step=0
say() { step=$((step + 1)); printf '\n== %d. %s\n' "$step" "$*"; }
# show PROGRAM ARGS...: prints the command (the tools by their bare names), then runs it
show() { local shown=("${1##*/}" "${@:2}"); printf '$ %s\n' "${shown[*]}"; "$@"; }

printf 'A tour of Velkor, Drasil, Pandrel and mztape in a scratch directory (removed at the end).\n'
printf 'Each command is shown after "$"; velkor, drasil, pandrel and mztape are the programs in %s/.\n' "$build"

# --- 1. MZF files ---------------------------------------------------------------------------
say "Four MZF files: a machine-code program and a BASIC program in each of the three dialects"

# Machine code: LD A,0x41 / CALL 0x0012 (the monitor's print-a-character) / RET
printf '\x3e\x41\xcd\x12\x00\xc9' > code.bin
mzf 1 "DEMO CODE" 0x1200 0x1200 code.bin > democode.mzf

# Tape BASIC of the MZ-80K: the first line is a REM line, every line ends in 0x0D; numbers are
# kept as digits. Tokens: 0x80 REM, 0x85 PRINT, 0x87 FOR, 0x8D NEXT, 0xAE TO, 0xB6 =.
{ line 10 '\x80 MZ-80K TAPE BASIC\x0d'
  line 20 '\x87 I\xb61 \xae 3\x0d'
  line 30 '\x85 "HELLO";I\x0d'
  line 40 '\x8d I\x0d'
  le16 0; } > tape.btx
mzf 2 "TAPE HELLO" 0x4806 0 tape.btx > tape.mzf

# Disk BASIC: every statement is 0x80 and a second byte, lines end in 0x00; 0x0B and two bytes is
# an integer. Statements: 0x88 PRINT, 0x93 ON ERROR GOTO, 0xC0 DIR, 0x92 END, 0xC8 RESUME.
{ line 10 '\x80\x88 "DISK BASIC"\x00'
  line 20 '\x80\x93 \x0b\x64\x00\x00'
  line 30 '\x80\xc0\x00'
  line 40 '\x80\x92\x00'
  line 100 '\x80\x88 "NO DISK":\x80\xc8\x00'
  le16 0; } > disk.btx
mzf 2 "DISK HELLO" 0 0 disk.btx > disk.mzf

# MZ-700 BASIC, the graphics dialect: 0x15 and five bytes is a floating constant (81 00 00 00 00
# is 1, 82 40 .. is 3, 82 20 .. is 2.5); 0x92 0xB8 0xB8 0xB7 are the MZ's lower-case e, l, l, o;
# 0xFE 0xA2 is MUSIC. Type 5 (RB), as the MZ-700 saves BASIC.
{ line 10 '\x97 MZ-700 BASIC\x00'
  line 20 '\x8d I\xf4\x15\x81\x00\x00\x00\x00 \xe0 \x15\x82\x40\x00\x00\x00\x00'
  line 30 '\x8f "H\x92\xb8\xb8\xb7";I\xfc\x15\x82\x20\x00\x00\x00\x00'
  line 40 '\x8e I\x00'
  line 50 '\xfe\xa2 "C3E3G3"\x00'
  le16 0; } > mz700.btx
mzf 5 "MZ-700 HELLO" 0x6BCF 0 mz700.btx > mz700.mzf

show wc -c democode.mzf tape.mzf disk.mzf mz700.mzf
printf 'An MZF file is a 128-byte header, then the data. The header of mz700.mzf begins with the\n'
printf 'type 05, the name "MZ-700 HELLO" filled up with CRs (0d), size 005c, load 6bcf, exec 0000:\n'
show od -A d -t x1 -N 32 mz700.mzf

# --- 2. Pandrel -----------------------------------------------------------------------------
say "Pandrel packs the four files, in order, into a new QD image, QDisk.mzq"
printf "Begin is where a file's blocks start in the image; Len, Start and Exec come from its header.\n"
show "$pandrel" democode.mzf tape.mzf disk.mzf mz700.mzf

# --- 3. Velkor on the QD image --------------------------------------------------------------
say "Velkor lists the QD image with columns (-Q) and unpacks every file into an empty directory"
mkdir out && cd out
show "$velkor" -Q ../QDisk.mzq
printf 'Every file came back as name.mzf; each BASIC program also as name.btx (the raw program)\n'
printf 'and name.bas (the listing). Pandrel stored the RB program as BTX (type 2), as Drasil does too.\n'
show ls
for f in democode:demo_code tape:tape_hello disk:disk_hello mz700:mz-700_hello; do
  if cmp -s <(tail -c +129 "../${f%%:*}.mzf") <(tail -c +129 "${f#*:}.mzf"); then
    printf '%s.mzf holds the same data bytes as ../%s.mzf\n' "${f#*:}" "${f%%:*}"
  else
    printf '%s.mzf differs from ../%s.mzf!\n' "${f#*:}" "${f%%:*}"
    exit 1
  fi
done

# --- 4. Listings ----------------------------------------------------------------------------
say "The listings, one per dialect; Velkor chose each program's dialect from its first line"
printf 'Their lines end in CR LF on every system; the CRs are taken out here for the terminal.\n'
for f in tape_hello disk_hello mz-700_hello; do
  printf -- '--- %s.bas\n' "$f"
  tr -d '\r' < "$f.bas"
done
cd ..

# --- 5. Drasil ------------------------------------------------------------------------------
say "Drasil keeps one QD image, MZ700.qd, in the current directory: format, add three files, dir"
mkdir qd && cd qd
show "$drasil" format
for f in democode tape mz700; do
  show "$drasil" add "../$f.mzf"
done
show "$drasil" dir
printf 'A file shorter than an MZF header is refused, and the image is not touched:\n'
head -c 100 ../democode.mzf > short.mzf
cp MZ700.qd before.qd
show "$drasil" add short.mzf
if cmp -s MZ700.qd before.qd; then
  printf 'MZ700.qd is byte for byte as it was.\n'
else
  printf 'MZ700.qd has changed!\n'
  exit 1
fi
printf 'Velkor reads the image Drasil made:\n'
mkdir out && cd out
show "$velkor" -q ../MZ700.qd
cd ../..

# --- 6. MZT tape ----------------------------------------------------------------------------
say "An MZT tape is MZF files back to back; Velkor reads it with -t (or -T for columns)"
cat democode.mzf disk.mzf > demo.mzt
mkdir tape && cd tape
show "$velkor" -t ../demo.mzt
printf 'A single MZF file is a tape of one file. Here the file Velkor would write, demo_code.mzf,\n'
printf 'is the very file it reads, and Velkor never writes over a file it was given:\n'
cp ../democode.mzf demo_code.mzf
show "$velkor" -t demo_code.mzf
cd ..

# --- 7. RAM disk ----------------------------------------------------------------------------
say "A RAM-disk image: a 16-byte header with the magic run 08..0F, then one entry per file"
{ le16 $((16 * 1024)); le16 $((72 + 6 + 2)); zeros 4; printf '\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f'
  le16 $((70 + 6)); zeros 3; byte 1; name17 "RAMCODE"; zeros 2; le16 6; le16 0xD000; le16 0xD000
  zeros 41; cat code.bin; le16 0; } > ram.bin
mkdir ram && cd ram
show "$velkor" -v ../ram.bin
cd ..

# --- 8. ROM disk ----------------------------------------------------------------------------
say "A ROM-disk image: size, load, exec, two bit counts, the program; Velkor checks the counts"
{ le16 6; le16 0x1200; le16 0x1200; le16 "$(bits code.bin)"; } > rom.head
{ cat rom.head; byte "$(bits rom.head)"; cat code.bin; } > rom.bin
show "$velkor" rom.bin
printf 'The same image with one program byte changed (3E became 3F), and one byte too many:\n'
{ cat rom.head; byte "$(bits rom.head)"; printf '\x3f'; tail -c +2 code.bin; byte 0; } > rombad.bin
show "$velkor" rombad.bin

# --- 9. Cassette recordings -----------------------------------------------------------------
say "mztape records the four MZF files as one cassette recording, and reads them back from it"
printf 'The fast form (each block once) keeps the recording short; without --fast every block is\n'
printf 'recorded twice, as the machine itself saves. Each line: where the file starts, its type and\n'
printf 'name, size, load and exec address.\n'
mkdir cassette && cd cassette
show "$mztape" encode --fast -o demo.wav ../democode.mzf ../tape.mzf ../disk.mzf ../mz700.mzf
printf 'Decoding finds every file, says how each block was read, and writes it under its name:\n'
show "$mztape" decode demo.wav
for f in democode:demo_code tape:tape_hello disk:disk_hello mz700:mz-700_hello; do
  if cmp -s "../${f%%:*}.mzf" "${f#*:}.mzf"; then
    printf '%s.mzf is byte for byte ../%s.mzf\n' "${f#*:}" "${f%%:*}"
  else
    printf '%s.mzf differs from ../%s.mzf!\n' "${f#*:}" "${f%%:*}"
    exit 1
  fi
done
printf 'A recording cut off in the middle of a file: the file is reported, not written as sound;\n'
printf -- '-k keeps the bytes read as name.damaged.mzf. The exit status 2 says a file is damaged.\n'
head -c 1098000 demo.wav > cut.wav
mkdir cut && cd cut
show "$mztape" decode -k ../cut.wav || printf '(exit status %d)\n' $?
show wc -c demo_code.mzf tape_hello.damaged.mzf
cd ../..

printf '\nThat was the tour. "man -l docs/velkor.1" (drasil.1, pandrel.1, mztape.1) tells the rest.\n'
