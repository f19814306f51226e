#!/usr/bin/env bash
# Writes the demo's ROM images into the working folder:
#   demo9.srl  first generation, 32 KiB: header, ARM9 slice at 0x4000
#              (from PROGRAM), ARM7 slice at 0x6000, an argument area at 0x7000
#   demo2.srl  second generation, 4 KiB, with its argument area at 0xE00
#   syscall.bin  the 2 KiB system-call image for kidboot
# Usage: make_roms.sh PROGRAM
set -euo pipefail
program=$1

le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
# put FILE OFFSET: writes standard input into FILE at OFFSET, keeping the rest.
put() { dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }

head -c 32768 /dev/zero >demo9.srl
printf 'HALVORNEDEMOCDMJ01' | put demo9.srl 0
{ le32 0x4000; le32 0x02004000; le32 0x02004000; le32 0x2000
  le32 0x6000; le32 0x037F8000; le32 0x037F8000; le32 0x1000; } | put demo9.srl $((0x20))
le32 32768 | put demo9.srl $((0x80))
head -c 8192 "$program" | put demo9.srl $((0x4000))
# The clear region kidboot zeroes by default starts a section: the word
# before it is zero.
head -c 4 /dev/zero | put demo9.srl $((0x4FFC))
tail -c 4096 "$program" | put demo9.srl $((0x6000))
{ printf ':$@$Argument$@$:'; printf '\x00\x00'; printf '\x00\x01'; } | put demo9.srl $((0x7000))
head -c 256 /dev/zero | put demo9.srl $((0x7014))

head -c 4096 /dev/zero >demo2.srl
printf 'HALVORNEZYR2CZYJ01' | put demo2.srl 0

head -c 2048 "$program" >syscall.bin
