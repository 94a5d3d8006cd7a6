#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each briefly over its seed
# corpus and its regression inputs: seconds, not a fuzzing campaign. Usage:
#   scripts/fuzz-smoke.sh [seconds per target, default 5]
# Nonzero when the build fails or any target reports a crash, leak, hang or sanitizer finding.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
seconds="${1:-5}"
targets=(stl sat dxf menu settings resources)

command -v clang++ >/dev/null || { echo "fuzz-smoke: clang++ not found" >&2; exit 1; }
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVLOR_FUZZ=ON \
  -DKAVLOR_TESTS=OFF -DKAVLOR_BENCH=OFF >/dev/null || exit 1
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}" || exit 1

failed=()
for t in "${targets[@]}"; do
  # New inputs land in a scratch folder, never in the seeds kept in git.
  scratch="$(mktemp -d)"
  inputs=("$root/fuzz/corpus/fuzz_$t")
  [ -d "$root/tests/fuzz_regressions/fuzz_$t" ] && inputs+=("$root/tests/fuzz_regressions/fuzz_$t")
  log="$build/smoke-$t.log"
  if (cd "$scratch" && "$build/bin/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -dict="$root/fuzz/dict/$t.dict" -artifact_prefix="$scratch/" "$scratch" "${inputs[@]}") >"$log" 2>&1; then
    echo "fuzz-smoke: fuzz_$t ok: $(grep -E '^#[0-9]+' "$log" | tail -1)"
  else
    echo "fuzz-smoke: fuzz_$t FAILED (log $log)"
    tail -40 "$log"
    failed+=("$t")
  fi
  rm -rf "$scratch"
done
[ ${#failed[@]} -eq 0 ] || { echo "fuzz-smoke: failed: ${failed[*]}"; exit 1; }
echo "fuzz-smoke: all targets ok"
