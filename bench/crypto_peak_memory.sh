#!/bin/sh
# Peak memory (maximum resident set) of aescli and keyedbin over a large
# input, in every mode, from a file and from a pipe on standard input; the
# output goes to /dev/null, so nothing large is written. CCM refuses texts
# of 16 MiB or more (its length field), so from a file it stops at once and
# from a pipe it reads to the end, counting, with at most 16 MiB set aside in
# a temporary file.
#
#   bench/crypto_peak_memory.sh BIN_DIR [SIZE_MIB]
set -eu
bin=${1:?usage: crypto_peak_memory.sh BIN_DIR [SIZE_MIB]}
size=${2:-1024}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
# A sparse file reads as zeros at memory speed and takes no disk.
truncate -s "$((size * 1048576))" "$work/in"
printf 'sixteen-byte-key' >"$work/key"
key=hex:2b7e151628aed2a6abf7158809cf4f3c
block=hex:000102030405060708090a0b0c0d0e0f
nonce=hex:101112131415161718191a1b

# peak LABEL COMMAND...: the command from the file, then from a pipe.
peak() {
  label=$1
  shift
  /usr/bin/time -f "%M" -o "$work/file" "$@" -p "$work/in" >/dev/null 2>&1 || true
  cat "$work/in" | /usr/bin/time -f "%M" -o "$work/pipe" "$@" >/dev/null 2>&1 || true
  printf '%-26s file %6d KiB  pipe %6d KiB\n' "$label" "$(tail -1 "$work/file")" "$(tail -1 "$work/pipe")"
}

echo "input: $size MiB; peak resident memory"
peak "aescli ctr" "$bin/aescli" -m ctr -k "$key" -c "$block" -o /dev/null
peak "aescli ctr -r" "$bin/aescli" -r -m ctr -k "$key" -c "$block" -o /dev/null
peak "aescli cbc" "$bin/aescli" -m cbc -k "$key" -i "$block" -o /dev/null
peak "aescli cbc_decrypt" "$bin/aescli" -m cbc_decrypt -k "$key" -i "$block" -o /dev/null
peak "aescli ccm (refused)" "$bin/aescli" -m ccm -k "$key" -n "$nonce" -t 8 -o /dev/null
peak "aescli ccm_decrypt (refused)" "$bin/aescli" -m ccm_decrypt -k "$key" -n "$nonce" -t 8 -o /dev/null
head -c 16777000 "$work/in" >"$work/in_ccm"
/usr/bin/time -f "%M" -o "$work/file" "$bin/aescli" -m ccm -k "$key" -n "$nonce" -t 8 -p "$work/in_ccm" -o /dev/null
cat "$work/in_ccm" | /usr/bin/time -f "%M" -o "$work/pipe" "$bin/aescli" -m ccm -k "$key" -n "$nonce" -t 8 -o /dev/null
printf '%-26s file %6d KiB  pipe %6d KiB\n' "aescli ccm 16 MiB - 216" "$(tail -1 "$work/file")" "$(tail -1 "$work/pipe")"
for t in "" -t1 -t4; do
  /usr/bin/time -f "%M" -o "$work/file" "$bin/keyedbin" -s $t -o /dev/null "$work/in" "$work/key"
  printf '%-26s file %6d KiB\n' "keyedbin ${t:-raw}" "$(tail -1 "$work/file")"
done
