#!/usr/bin/env bash
# Runs each program of a build once, end to end, on small inputs made here,
# under valgrind memcheck; fails on the first error or leak valgrind reports.
#   scripts/valgrind-check.sh BUILD_DIR [PROGRAM...]
# The PROGRAMs (the build's list of programs) must each have been run: a
# program added to the kit without a line here fails the check.
# Exits 77 (skipped under ctest) when valgrind is not installed.
set -uo pipefail
if [ $# -lt 1 ]; then
  echo "usage: scripts/valgrind-check.sh BUILD_DIR [PROGRAM...]" >&2
  exit 2
fi
command -v valgrind >/dev/null || { echo "valgrind is not installed: skipped"; exit 77; }
bin="$(cd "$1" && pwd)/bin"
lib="$(cd "$1" && pwd)/lib"
shift
required=("$@")
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# A small first-generation ROM image: header, ARM9 and ARM7 slices, a
# version record, and an argument area.
python3 - <<'PY'
import struct
h = bytearray(0x1000)
h[0:12] = b'HALVORNEGAME'; h[12:16] = b'BB\x02D'; h[16:18] = b'01'
struct.pack_into('<8I', h, 0x20, 0x200, 0x2004000, 0x2004000, 0x80, 0x300, 0x37F8000, 0x37F8000, 0x40)
struct.pack_into('<I', h, 0x80, 0x1000)
struct.pack_into('<3I', h, 0x210, 0x04020001, 0xDEC00621, 0x2106C0DE)
area = b':$@$Argument$@$:' + bytes(2) + struct.pack('<H', 64) + bytes(64)
h[0x100:0x100 + len(area)] = area
open('game.srl', 'wb').write(h)
open('sign.bin', 'wb').write(b'ac\x01\x00' + bytes(132) + h[0:12] + h[12:16] + h[16:18] + bytes(1))
ppm = b'P6\n8 8\n255\n' + bytes(range(96)) * 2
open('image.ppm', 'wb').write(ppm)
open('key.bin', 'wb').write(b'secretkey')
open('data.bin', 'wb').write(b'abcabcabcabc' * 40)
open('syscall.bin', 'wb').write(bytes(range(256)) * 8)
open('desc.res', 'w').write('')
PY
printf 'print 0 hello\\n\nexit 0\n' > script.txt
printf 'print 0 0 hello\\n\nexit 0\n' > zscript.txt

failed=0
checked=" "
check() {  # check NAME COMMAND...: valgrind's status 99 is a finding
  local name="$1"; shift
  checked+="$name "
  if [ ! -x "$1" ]; then
    echo "valgrind: $name: $1 is not built" >&2
    failed=1
    return
  fi
  valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    "$@" >"$name.out" 2>"$name.err" </dev/null
  local status=$?
  if [ $status -eq 99 ]; then
    echo "valgrind: $name: errors" >&2
    cat "$name.err" >&2
    failed=1
  else
    echo "valgrind: $name: clean (exit $status)"
  fi
}

cp game.srl p1.srl; cp game.srl p2.srl
check parmsink "$bin/parmsink" -q p1.srl one two
check parmsink.ZYR "$bin/parmsink.ZYR" -q p2.srl one two
check tailpack "$bin/tailpack" -o packed.bin data.bin
check kidboot "$bin/kidboot" -a 0x400 -A 0x100 -c 0x600 -C 0x100 game.srl syscall.bin child.srl
check cartcleave "$bin/cartcleave" game.srl
check stampview "$bin/stampview" game.srl
check signmerge "$bin/signmerge" game.srl sign.bin signed.srl
check huecast "$bin/huecast" image.ppm
check huemap "$bin/huemap" image.ppm label
check huetile "$bin/huetile" -b image.ppm tiles.bin
check kelvane_convert "$bin/kelvane_convert" --quality refined --dither --near --data tex image.ppm palette16 preview.png
check parser "$bin/parser" -o desc.c desc.res
check aescli "$bin/aescli" -m ctr -k hex:000102030405060708090a0b0c0d0e0f -c hex:00000000000000000000000000000000 -p data.bin -o aes.out
check keyedbin "$bin/keyedbin" -s -o rc4.bin data.bin key.bin
BOOTCAST_TEST_SETTLE_MS=0 ISDRAVO_SIM_SCRIPT=script.txt ISDRAVO_SIM_LOG=sim.log ISDRAVO_SIM_ROM=rom.bin \
  LD_LIBRARY_PATH="$lib" check bootcast "$bin/bootcast" -t=10 game.srl
BOOTCAST_TEST_SETTLE_MS=0 ISZYR_SIM_SCRIPT=zscript.txt ISZYR_SIM_LOG=zsim.log \
  LD_LIBRARY_PATH="$lib" check bootcast.ZYR "$bin/bootcast.ZYR" -t=10 game.srl
for program in "${required[@]}"; do
  case "$checked" in
    *" $program "*) ;;
    *) echo "valgrind: $program: no check in scripts/valgrind-check.sh" >&2; failed=1 ;;
  esac
done
exit $failed
