#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every fuzz target for SECONDS each,
# starting from its committed corpus. New inputs go to a scratch folder,
# never into the tracked corpus; with --merge the scratch inputs that add
# coverage are minimised into fuzz/corpus/<target>/ afterwards. With --runs N
# a target also stops after N executions (whichever limit comes first).
#   fuzz/run-all.sh [--merge] [--scratch DIR] [--runs N] SECONDS [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

merge=0
scratch=""
runs=()
while [ $# -gt 0 ]; do
  case "$1" in
    --merge) merge=1; shift ;;
    --scratch) scratch="$2"; shift 2 ;;
    --runs) runs=(-runs="$2"); shift 2 ;;
    *) break ;;
  esac
done
if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: fuzz/run-all.sh [--merge] [--scratch DIR] [--runs N] SECONDS [TARGET...]" >&2
  exit 2
fi
seconds="$1"
shift
scratch="${scratch:-${TMPDIR:-/tmp}/fuzz-scratch}"

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzzer.cc; do
    name="$(basename "$source" _fuzzer.cc)"
    targets+=("$name")
  done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]/%/_fuzzer}"

status=0
for name in "${targets[@]}"; do
  program="build-fuzz/fuzz/${name}_fuzzer"
  mkdir -p "$scratch/$name" "$scratch/$name-crashes"
  echo "== $name: $seconds s"
  # The scratch folder comes first: libFuzzer writes new inputs there only.
  # An input that runs longer than the time-out is reported as a finding,
  # instead of stalling the run for libFuzzer's default twenty minutes.
  if ! "$program" -max_total_time="$seconds" -timeout=10 "${runs[@]}" -print_final_stats=1 \
      -artifact_prefix="$scratch/$name-crashes/" "$scratch/$name" "fuzz/corpus/$name"; then
    echo "== $name: FINDING, see $scratch/$name-crashes/" >&2
    status=1
  fi
  if [ "$merge" -eq 1 ]; then
    "$program" -merge=1 "fuzz/corpus/$name" "$scratch/$name"
  fi
done
exit $status
