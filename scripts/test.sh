#!/usr/bin/env bash
# All tests: a normal build (RelWithDebInfo) with every test, a build with AddressSanitizer and
# UndefinedBehaviorSanitizer that runs them again, a Release build whose benchmarks each run once
# on their smallest size, and the fuzz targets' smoke run. Nonzero when any of them fails.
# Nothing is built twice in one kind of build: the tests build in the normal and sanitizer builds
# only, the benchmarks in the Release build only. With CI set in the environment (.ci/run sets
# it), a test that misses the shared test data or Debian's python3-ezdxf fails instead of skipping.
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

# The Release build with the default options but the tests, and its benchmarks once each.
release() {
  local dir="$root/build-release"
  echo "=== release: build in $dir"
  if ! bash scripts/build.sh "$dir" -DCMAKE_BUILD_TYPE=Release -DKAVLOR_TESTS=OFF; then
    summary+=("release: BUILD FAILED")
    return 1
  fi
  echo "=== release: benchmarks once each"
  if bash scripts/bench-smoke.sh "$dir"; then
    summary+=("release: built; benchmarks: all ran")
  else
    summary+=("release: built; benchmarks: FAILED")
    return 1
  fi
}

failed=0
pass "normal" "$root/build" -DKAVLOR_BENCH=OFF || failed=1
pass "sanitize" "$root/build-asan" -DKAVLOR_SANITIZE=ON -DKAVLOR_BENCH=OFF || failed=1
release || failed=1

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
