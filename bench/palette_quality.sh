#!/bin/bash
# Palette quality: for each image, at 256 and 16 colours, the PSNR, SSIM and
# CPU time (user + system, whole process) of
#   reference        kelvane_convert (the library's own processor)
#   refined          kelvane_convert --quality refined
#   refined+dither   kelvane_convert --quality refined --dither
#   pngquant         pngquant --posterize 3 --nofs (when installed)
#   pngquant+dither  pngquant --posterize 3 (its default dithering)
# Every result is limited to the console's 5-bit channels before it is
# compared with the original (see palette_psnr.cc).
#
#   bench/palette_quality.sh [-b BUILD_DIR] IMAGE.ppm|IMAGE.png...
#
# BUILD_DIR (default build-bench) holds bin/kelvane_convert and
# bin/palette_psnr: cmake --preset bench && cmake --build build-bench
# --target kelvane_convert palette_psnr. pngquant reads PNG only: a PPM image
# is given to it through ImageMagick's convert (not timed).
set -u

build=build-bench
if [ "${1-}" = "-b" ] && [ $# -ge 2 ]; then
  build=$2
  shift 2
fi
if [ $# -eq 0 ]; then
  echo "usage: palette_quality.sh [-b BUILD_DIR] IMAGE.ppm|IMAGE.png..." >&2
  exit 1
fi
convert_bin=$build/bin/kelvane_convert
psnr_bin=$build/bin/palette_psnr
for program in "$convert_bin" "$psnr_bin"; do
  if [ ! -x "$program" ]; then
    echo "palette_quality.sh: $program is missing (build kelvane_convert and palette_psnr)" >&2
    exit 1
  fi
done
pngquant_bin=$(command -v pngquant || true)
if [ -z "$pngquant_bin" ]; then
  echo "palette_quality.sh: pngquant is not installed: its rows are left out" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command, quietly; prints the CPU seconds (user + system) it took,
# or "failed".
cpu_seconds() {
  local TIMEFORMAT='%U %S' times
  if ! times=$({ time "$@" >/dev/null 2>&1; } 2>&1); then
    echo failed
    return
  fi
  awk -v t="$times" 'BEGIN { split(t, a, " "); printf "%.2f", a[1] + a[2] }'
}

# One row: method name, CPU seconds, original, result.
row() {
  local colours=$1 method=$2 seconds=$3 original=$4 result=$5 quality="- -"
  if [ "$seconds" != failed ]; then quality=$("$psnr_bin" "$original" "$result" 2>/dev/null || echo "- -"); fi
  read -r psnr ssim <<<"$quality"
  printf '%-8s %-16s %8s %7s %6s\n' "$colours" "$method" "$psnr" "$ssim" "$seconds"
}

for image in "$@"; do
  if [ ! -r "$image" ]; then
    echo "palette_quality.sh: cannot read $image" >&2
    continue
  fi
  name=$(basename "$image")
  echo "== $name"
  printf '%-8s %-16s %8s %7s %6s\n' colours method "PSNR dB" SSIM "CPU s"
  png=$image
  case "$image" in
    *.png) ;;
    *)
      png=$work/input.png
      if [ -n "$pngquant_bin" ] && ! convert "$image" "$png" 2>/dev/null; then png=""; fi
      ;;
  esac
  for colours in 256 16; do
    type=palette$colours
    row $colours reference "$(cpu_seconds "$convert_bin" "$image" $type "$work/r.ppm")" "$image" "$work/r.ppm"
    row $colours refined \
      "$(cpu_seconds "$convert_bin" --quality refined "$image" $type "$work/q.ppm")" "$image" "$work/q.ppm"
    row $colours refined+dither \
      "$(cpu_seconds "$convert_bin" --quality refined --dither "$image" $type "$work/d.ppm")" "$image" "$work/d.ppm"
    if [ -n "$pngquant_bin" ] && [ -n "$png" ]; then
      row $colours pngquant "$(cpu_seconds "$pngquant_bin" --posterize 3 --nofs --force --output "$work/p.png" \
        $colours "$png")" "$image" "$work/p.png"
      row $colours pngquant+dither "$(cpu_seconds "$pngquant_bin" --posterize 3 --force --output "$work/pd.png" \
        $colours "$png")" "$image" "$work/pd.png"
    fi
  done
done
