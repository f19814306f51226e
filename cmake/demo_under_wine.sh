#!/usr/bin/env bash
# Runs the demo's steps (demo/run.sh) twice, with the Linux build's programs
# and with the Windows build's under wine, and compares what they leave:
# every file byte for byte, and the transcript (standard output) with each
# CR LF of a text stream taken as LF. Usage:
#   cmake/demo_under_wine.sh LINUX_BUILD WINDOWS_BUILD WORK_DIR
# Programs the Windows build lacks, and the examples (kelvane_convert, whose
# Windows build has no PNG, lz_expand_example), come from the Linux build;
# the report names which ran under wine. Exit status 77: no Linux build.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/.." && pwd)
linux=$1 windows=$(cd "$2" && pwd) work=$3
if [ ! -x "$linux/bin/tailpack" ]; then
  echo "demo under wine skipped: no Linux build in $linux (cmake --workflow --preset default)"
  exit 77
fi
linux=$(cd "$linux" && pwd)
rm -rf "$work"
mkdir -p "$work/bin" "$work/linux" "$work/windows"
under_wine=()
for program in "$linux"/bin/*; do
  name=$(basename "$program")
  wrapper=$work/bin/$name
  if [ -f "$windows/bin/$name.exe" ] && [ "$name" != kelvane_convert ] && [ "$name" != lz_expand_example ]; then
    under_wine+=("$name")
    # Standard output carries data for aescli and for parmsink's --stdout:
    # binary there, text (CR LF read as LF) everywhere else; standard error
    # is always text.
    cat >"$wrapper" <<WRAP
#!/usr/bin/env bash
raw=0
case "$name" in aescli) raw=1 ;; esac
for arg in "\$@"; do case "\$arg" in --stdout|-o-) raw=1 ;; esac; done
set -o pipefail
if [ \$raw = 1 ]; then
  "$here/wine-run" --prefix "$windows/wine-prefix" "$windows/bin/$name.exe" "\$@" 2> >(sed 's/\r\$//' >&2)
else
  "$here/wine-run" --prefix "$windows/wine-prefix" "$windows/bin/$name.exe" "\$@" 2> >(sed 's/\r\$//' >&2) | sed 's/\r\$//'
fi
WRAP
  else
    printf '#!/usr/bin/env bash\nexec "%s" "$@"\n' "$program" >"$wrapper"
  fi
  chmod +x "$wrapper"
done
# The Linux side's folder of the simulated libraries, as run.sh expects it.
for folder in "$linux"/lib*; do [ -d "$folder" ] && ln -s "$folder" "$work/$(basename "$folder")"; done

status=0
"$source_dir/demo/run.sh" "$linux" "$work/linux/out" >"$work/linux/transcript" 2>"$work/linux/errors" || status=$?
echo "Linux demo: status $status"
wstatus=0
"$source_dir/demo/run.sh" "$work" "$work/windows/out" >"$work/windows/transcript" 2>"$work/windows/errors" || wstatus=$?
echo "demo with the Windows programs: status $wstatus"
echo "under wine: ${under_wine[*]}"
# Times vary from run to run.
for side in linux windows; do
  sed -E 's/^(conversion: )[0-9.]+ s$/\1(time) s/' "$work/$side/transcript" >"$work/$side/transcript.timeless"
done
same=0
if [ $status = $wstatus ] && diff "$work/linux/transcript.timeless" "$work/windows/transcript.timeless" &&
  diff -r "$work/linux/out" "$work/windows/out"; then
  same=1
fi
if [ $same = 1 ]; then
  echo "the same transcript and files: $(ls "$work/linux/out" | wc -l) files"
  exit 0
fi
echo "the Windows programs differ from the Linux build (see $work)"
exit 1
