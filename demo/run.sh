#!/usr/bin/env bash
# Runs every tool of the kit on the bundled sample data, in a scratch folder,
# and says what each step produced. Usage: demo/run.sh [build-dir [keep-dir]]
# (build-dir defaults to build; with keep-dir the results, such as the
# texture previews coffee16.png and coffee4x4.png, are left there to look at).
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
cp "$here"/data/* "$here"/dravo.h "$work"/
cd "$work"

step() { printf '\n== %s\n' "$*"; }
made() { for f in "$@"; do printf '   -> %s (%s bytes)\n' "$f" "$(wc -c <"$f")"; done; }

photo=photo-coffee-64.ppm
step "huecast: the photograph as 15-bit colour values (C initialiser text)"
"$bin/huecast" "$photo" >coffee_direct.inc
head -n 2 coffee_direct.inc; made coffee_direct.inc

# huemap and huetile take images of few colours: the 16-colour preview of the
# texture step below is one.
step "kelvane_convert: the photograph to a 16-colour palette texture (data + PNG preview)"
"$bin/kelvane_convert" --data coffee16 "$photo" palette16 coffee16.png
made coffee16.tex coffee16.pal coffee16.png
"$bin/kelvane_convert" --data coffee256 "$photo" palette256 coffee256.ppm >/dev/null
made coffee256.tex coffee256.pal coffee256.ppm

step "kelvane_convert: the photograph to the 4x4-block type"
"$bin/kelvane_convert" --data coffee4x4 "$photo" tex4x4 coffee4x4.png
made coffee4x4.tex coffee4x4.pal coffee4x4.pidx coffee4x4.png

step "huemap: the 256-colour preview as a texel and palette array"
"$bin/huemap" coffee256.ppm coffee >coffee_map.c
grep -m 2 'const' coffee_map.c; made coffee_map.c

step "huetile: the same in 8x8 tiles, binary and C source"
"$bin/huetile" coffee256.ppm coffee_tiles.bin
"$bin/huetile" -a coffee coffee256.ppm coffee_tiles.c
made coffee_tiles.bin coffee_tiles.c

step "tailpack: compress an ARM program binary in place-expandable form"
"$bin/tailpack" arm-code-16k.bin
made arm-code-16k_BLZ.bin
step "lz_expand_example: expand it in place again and compare"
"$bin/lz_expand_example" arm-code-16k_BLZ.bin arm-code-16k.bin

step "make_roms.sh: generate a first- and a second-generation ROM image"
"$here/make_roms.sh" arm-code-16k.bin
made demo9.srl demo2.srl syscall.bin

step "parmsink + bootcast: bury arguments, run the image on the simulated debugger"
"$bin/parmsink" demo9.srl -x level3
status=0
"$bin/bootcast" demo9.srl || status=$?
echo "   bootcast exit status: $status"
printf 'args\nprint 0 leaving with status 3\\n\nexit 3\n' >exit3.script
status=0
ISDRAVO_SIM_SCRIPT=exit3.script "$bin/bootcast" demo9.srl || status=$?
echo "   bootcast exit status (program exits with 3): $status"

step "parmsink.ZYR + bootcast.ZYR: the same on the second generation, with tags"
"$bin/parmsink.ZYR" demo2.srl --mode fast
status=0
"$bin/bootcast.ZYR" -A -n demo2.srl || status=$?
echo "   bootcast.ZYR exit status: $status"

step "stampview: kit version records in the image"
status=0
"$bin/stampview" demo9.srl || status=$?
echo "   stampview status: $status (0: records agree, or none)"

step "cartcleave: slice the image into its ARM9 and ARM7 binaries"
"$bin/cartcleave" demo9.srl
made demo9.srl.arm9.sbin demo9.srl.arm7.sbin demo9.srl.arm9_defs.sbin demo9.srl.arm7_defs.sbin
cmp <(tail -c +$((0x4000 + 1)) demo9.srl | head -c 8192) demo9.srl.arm9.sbin
echo "   ARM9 slice: the image's 8 KiB at 0x4000, as its header says"

step "kidboot: the child-boot image"
"$bin/kidboot" demo9.srl syscall.bin demo9_child.srl
made demo9_child.srl

step "signmerge: attach a placeholder signature block"
"$bin/signmerge" -D demo9.srl demo9_signed.srl
made demo9_signed.srl

step "parser: compile a resource description into C tables, then with cc"
"$bin/parser" -o settings.c settings.res
grep -m 3 'Net\.' settings.c
"${CC:-cc}" -std=c99 -I. -c settings.c -o settings.o
made settings.o

step "aescli: encrypt the compressed binary with AES-128 CTR and decrypt it again"
payload=arm-code-16k_BLZ.bin
key=hex:000102030405060708090a0b0c0d0e0f
ctr=hex:f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff
"$bin/aescli" -m ctr -k "$key" -c "$ctr" -p "$payload" -o payload.enc
"$bin/aescli" -m ctr -k "$key" -c "$ctr" -p payload.enc -o payload.dec
cmp "$payload" payload.dec && echo "   round trip: identical ($(wc -c <payload.enc) bytes)"
step "aescli: CCM with an 8-byte tag, then verified decryption"
"$bin/aescli" -m ccm -k "$key" -n hex:101112131415161718191a1b -t 8 -p "$payload" -o payload.ccm
"$bin/aescli" -m ccm_decrypt -k "$key" -n hex:101112131415161718191a1b -t 8 -p payload.ccm -o payload.ccm.dec
cmp "$payload" payload.ccm.dec && echo "   round trip: identical, tag verified ($(wc -c <payload.ccm) bytes with tag)"

step "keyedbin: RC4 into a C array of u32, and raw bytes back again"
"$bin/keyedbin" -t4 -o payload_rc4.c "$payload" demo.key
head -n 4 payload_rc4.c
"$bin/keyedbin" -o payload.rc4 "$payload" demo.key
"$bin/keyedbin" -o payload.rc4.dec payload.rc4 demo.key
cmp "$payload" payload.rc4.dec && echo "   round trip: identical"

printf '\nDemo finished: every step ran.\n'
