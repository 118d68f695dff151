#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default
# 20) from a copy of its seed corpus; fails when any finds a crash or a
# broken property. The input that did it is kept in build-fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${FUZZ_PACKAGES[@]}"
seconds=${1:-20}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DBOOTSTRAP_FUZZ=ON >/dev/null
cmake --build build-fuzz

# New inputs go to a scratch copy, never into the checked-in corpus. In
# memory when it can: the line readers write a file per input, and a busy
# disk slows them twentyfold.
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
findings=$PWD/build-fuzz/findings
rm -rf "$findings"
mkdir -p "$findings"
failed=()
for corpus in fuzz/corpus/*/; do
  target=$(basename "$corpus")
  echo "== fuzz_$target for ${seconds}s"
  mkdir -p "$work/$target/corpus"
  cp "$corpus"/* "$work/$target/corpus/"
  if ! TMPDIR="$work/$target" "build-fuzz/fuzz/fuzz_$target" \
       -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$findings/$target-" "$work/$target/corpus" \
       >"$work/$target/log" 2>&1; then
    grep -v '^#' "$work/$target/log" | tail -n 40
    failed+=("$target")
  else
    grep -E '^(Done|stat::number_of_executed_units)' "$work/$target/log" || true
  fi
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzing failed: ${failed[*]} (inputs in $findings)"
  exit 1
fi
echo "fuzzing passed"
