#!/bin/sh
# Whole-process CPU time (user + system) of aescli and keyedbin against
# `openssl enc` doing the same work on the same file, in paired runs, with
# each tool's peak memory. Prints, per mode, the medians (min-max) and the
# ratio of the medians.
#
#   bench/crypto_whole_process.sh BIN_DIR [SIZE_MIB [RUNS]]
#
# BIN_DIR holds aescli and keyedbin (build/bin). The input is SIZE_MIB (64)
# of random bytes, CCM's at most 15 MiB (its length field holds less than
# 16 MiB), so CCM is set against CBC encryption of the same size. Needs
# openssl (with the legacy provider for RC4) and GNU time.
set -eu
bin=${1:?usage: crypto_whole_process.sh BIN_DIR [SIZE_MIB [RUNS]]}
size=${2:-64}
runs=${3:-7}
time_cmd=/usr/bin/time
for tool in "$bin/aescli" "$bin/keyedbin" openssl "$time_cmd"; do
  command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
key=2b7e151628aed2a6abf7158809cf4f3c
iv=000102030405060708090a0b0c0d0e0f
nonce=101112131415161718191a1b
ccm_size=$((size < 15 ? size : 15))
head -c "$((size * 1048576))" /dev/urandom >"$work/in"
head -c "$((ccm_size * 1048576))" "$work/in" >"$work/in_ccm"
printf '\053\176\025\026\050\256\322\246\253\367\025\210\011\317\117\074' >"$work/key"
openssl enc -aes-128-cbc -nopad -K "$key" -iv "$iv" -in "$work/in" -out "$work/in_cbc"

# One measured run: "cpu_seconds peak_kib" of the command. The output is
# removed first: replacing a large old output costs the file system's work
# of freeing and flushing (at the rename for aescli and keyedbin, at the
# truncation and close for openssl), which varies from run to run far more
# than the tools' own work.
measure() {
  rm -f "$work/out"
  "$time_cmd" -f "%U %S %M" -o "$work/time" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  awk '{ printf "%.3f %d\n", $1 + $2, $3 }' "$work/time"
}

# The median and range of the numbers in a file, one a line.
summary() {
  sort -n "$1" | awk '{ v[NR] = $1 } END { printf "%.3f (%.3f-%.3f)", v[int((NR + 1) / 2)], v[1], v[NR] }'
}

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# compare NAME -- OURS... -- THEIRS...
compare() {
  name=$1
  shift 2
  ours=""
  while [ "$1" != "--" ]; do ours="$ours $1"; shift; done
  shift
  : >"$work/ours" && : >"$work/theirs" && : >"$work/peak"
  i=0
  while [ "$i" -lt "$runs" ]; do
    # shellcheck disable=SC2086
    measure $ours | tee -a "$work/peak" | cut -d' ' -f1 >>"$work/ours"
    measure "$@" | cut -d' ' -f1 >>"$work/theirs"
    i=$((i + 1))
  done
  peak=$(cut -d' ' -f2 "$work/peak" | sort -n | tail -1)
  ratio=$(awk -v a="$(median "$work/ours")" -v b="$(median "$work/theirs")" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-22s ours %s s  openssl %s s  ratio %s  peak %d KiB\n' "$name" "$(summary "$work/ours")" \
    "$(summary "$work/theirs")" "$ratio" "$peak"
}

out="$work/out"
echo "input: $size MiB (CCM: $ccm_size MiB), $runs paired runs, CPU seconds (user + system)"
compare "ctr" -- "$bin/aescli" -m ctr -k "hex:$key" -c "hex:$iv" -p "$work/in" -o "$out" \
  -- openssl enc -aes-128-ctr -K "$key" -iv "$iv" -in "$work/in" -out "$out"
compare "cbc encrypt" -- "$bin/aescli" -m cbc -k "hex:$key" -i "hex:$iv" -p "$work/in" -o "$out" \
  -- openssl enc -aes-128-cbc -nopad -K "$key" -iv "$iv" -in "$work/in" -out "$out"
compare "cbc decrypt" -- "$bin/aescli" -m cbc_decrypt -k "hex:$key" -i "hex:$iv" -p "$work/in_cbc" -o "$out" \
  -- openssl enc -d -aes-128-cbc -nopad -K "$key" -iv "$iv" -in "$work/in_cbc" -out "$out"
compare "ccm vs cbc encrypt" -- "$bin/aescli" -m ccm -k "hex:$key" -n "hex:$nonce" -t 16 -p "$work/in_ccm" -o "$out" \
  -- openssl enc -aes-128-cbc -nopad -K "$key" -iv "$iv" -in "$work/in_ccm" -out "$out"
compare "ctr -r" -- "$bin/aescli" -r -m ctr -k "hex:$key" -c "hex:$iv" -p "$work/in" -o "$out" \
  -- openssl enc -aes-128-ctr -K "$key" -iv "$iv" -in "$work/in" -out "$out"
compare "keyedbin rc4" -- "$bin/keyedbin" -s -o "$out" "$work/in" "$work/key" \
  -- openssl enc -rc4 -provider legacy -provider default -K "$key" -in "$work/in" -out "$out"
# The same work: keyedbin's key file holds the bytes of openssl's -K.
"$bin/keyedbin" -s -o "$work/out_ours" "$work/in" "$work/key"
openssl enc -rc4 -provider legacy -provider default -K "$key" -in "$work/in" -out "$work/out_theirs"
cmp -s "$work/out_ours" "$work/out_theirs" || { echo "keyedbin rc4: the outputs differ" >&2; exit 1; }
