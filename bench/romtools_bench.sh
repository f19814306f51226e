#!/usr/bin/env bash
# Times the ROM image utilities on a large generated image beside cp of the
# same bytes. Usage: bench/romtools_bench.sh [BIN_DIR] [SIZE_MIB] [RUNS]
# BIN_DIR defaults to build/bin. The image and every output live in a
# temporary folder that is removed at the end.
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
size_mib=${2:-512}
runs=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Random bytes with a ROM header: ARM9 in the first half, ARM7 in the
# second, a recorded size 4 KiB short of the end, and a few version and
# build-type records in the ARM9 segment.
head -c "$((size_mib << 20))" /dev/urandom > big.srl
python3 - "$size_mib" <<'PY'
import struct, sys
size = int(sys.argv[1]) << 20
half = size // 2
with open("big.srl", "r+b") as f:
    f.write(b"HALVORNE")
    f.seek(0x20)
    f.write(struct.pack("<8I", 0x4000, 0x2004000, 0x2000000, half - 0x4000,
                        half, 0x37F8000, 0x37F8000, size - half))
    f.seek(0x80)
    f.write(struct.pack("<I", size - 0x1000))
    for at in (0x10000, half // 2, half - 0x100):
        f.seek(at)
        f.write(struct.pack("<3I", 0x02017530, 0xDEC00621, 0x2106C0DE))
        f.write(struct.pack("<4I", 0x0901, 1, 0xDEC08133, 0x3381C0DE))
PY

# Median wall time in seconds of `runs` runs of the command. Each command
# first removes the output it is about to write, so that every run writes a
# new file (replacing a large file that is still being written back costs
# far more than writing it).
median() {
  local times=() t
  for ((i = 0; i < runs; i++)); do
    t=$( { TIMEFORMAT=%R; time "$@" > /dev/null 2>&1; } 2>&1 )
    times+=("$t")
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}
copy() { rm -f copy.srl; cp big.srl copy.srl; }
scan() { "$bin/stampview" big.srl; }
slice() { rm -f big.srl.arm9.sbin big.srl.arm7.sbin; "$bin/cartcleave" big.srl; }
sign() { rm -f signed.srl; "$bin/signmerge" -D big.srl signed.srl; }

cat big.srl > /dev/null  # into the page cache
printf '%-40s %s\n' "command" "median s"
printf '%-40s %s\n' "cp big.srl copy.srl" "$(median copy)"
printf '%-40s %s\n' "stampview big.srl" "$(median scan)"
printf '%-40s %s\n' "cartcleave big.srl" "$(median slice)"
printf '%-40s %s\n' "signmerge -D big.srl signed.srl" "$(median sign)"
