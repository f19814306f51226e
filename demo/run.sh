#!/usr/bin/env bash
# Runs the tool chain on the bundled sample data, in a scratch folder:
# texture conversion, compression, encryption and a run of a ROM image on the
# simulated debugger. Usage: demo/run.sh [build-dir [keep-dir]]
# (build-dir defaults to build; with keep-dir the results, such as the
# texture preview coffee16.ppm, are left there to look at).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
bin=$build/bin
if [ -n "${2:-}" ]; then
  mkdir -p "$2"
  work=$(cd "$2" && pwd)
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/tools-demo-XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
cp "$here"/data/* "$work"/
cd "$work"

step() { printf '\n== %s\n' "$*"; }

if [ -x "$bin/kelvane_convert" ]; then
  step "kelvane: convert a photograph to a 16-colour palette texture"
  "$bin/kelvane_convert" photo-coffee-64.ppm palette16 coffee16.ppm
fi

if [ -x "$bin/tailpack" ]; then
  step "tailpack: compress an ARM program binary in place-expandable form"
  "$bin/tailpack" arm-code-16k.bin
  payload=arm-code-16k_BLZ.bin
else
  payload=arm-code-16k.bin
fi

step "aescli: encrypt the binary with AES-128 CTR and decrypt it again"
key=hex:000102030405060708090a0b0c0d0e0f
ctr=hex:f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff
"$bin/aescli" -m ctr -k "$key" -c "$ctr" -p "$payload" -o payload.enc
"$bin/aescli" -m ctr -k "$key" -c "$ctr" -p payload.enc -o payload.dec
cmp "$payload" payload.dec && echo "round trip: identical ($(wc -c <payload.enc) bytes)"

step "keyedbin: encrypt it with RC4 into a C array of u32"
"$bin/keyedbin" -t4 -o payload_rc4.c "$payload" demo.key
head -n 4 payload_rc4.c

step "bootcast: run game.srl on the simulated debugger"
"$bin/bootcast" game.srl
echo "bootcast exit status: $?"
