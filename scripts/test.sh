#!/usr/bin/env bash
# All tests: a normal build with every test, then a build with AddressSanitizer and
# UndefinedBehaviorSanitizer that runs them again. Nonzero when either fails.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/setup.sh || exit 1

jobs="$(nproc)"
summary=()

# Runs one build and its tests; keeps ctest's closing lines for the summary at the end.
pass() {
  local name="$1" dir="$2"
  shift 2
  echo "=== $name: build in $dir"
  if ! bash scripts/build.sh "$dir" "$@"; then
    summary+=("$name: BUILD FAILED")
    return 1
  fi
  echo "=== $name: ctest"
  local log="$dir/ctest-summary.log"
  local status=0
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j"$jobs") 2>&1 | tee "$log" || status=$?
  local line
  line="$(grep -E 'tests passed|tests failed' "$log" | tail -1)"
  summary+=("$name: ${line:-no ctest summary}")
  return "$status"
}

failed=0
pass "normal" "$root/build" || failed=1
pass "sanitize" "$root/build-asan" -DKAVLOR_SANITIZE=ON -DKAVLOR_BENCH=OFF || failed=1

# Each fuzz target for a few seconds over its seeds and old failures (clang builds them).
if command -v clang++ >/dev/null; then
  echo "=== fuzz smoke: build in $root/build-fuzz"
  if bash scripts/fuzz-smoke.sh; then
    summary+=("fuzz smoke: all targets ok")
  else
    summary+=("fuzz smoke: FAILED")
    failed=1
  fi
else
  summary+=("fuzz smoke: skipped (no clang++)")
fi

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
  echo "test: FAILED"
  exit 1
fi
echo "test: all passed"
