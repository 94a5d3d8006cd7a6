#!/usr/bin/env bash
# All tests: a normal build (RelWithDebInfo) with every test, run by CTest and again in shuffled
# order; a build with AddressSanitizer and UndefinedBehaviorSanitizer that runs them again; a
# Release build with the default options that runs them once more (asserts off) and runs each
# benchmark once on its smallest size; the fuzz targets' smoke run. Nonzero when any of them
# fails. The benchmarks build in the Release build only.
# With CI set in the environment (.ci/run sets it) nothing may be skipped: a test that misses the
# shared test data or Debian's python3-ezdxf fails, and so does a run without clang.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/setup.sh || exit 1

jobs="$(nproc)"
summary=()
ci=0
case "${CI:-}" in "" | 0 | false) ;; *) ci=1 ;; esac

# Every test CTest knows has a time-out of its own, so that a hung test cannot stall the run.
check_timeouts() {
  (cd "$1" && ctest --show-only=json-v1) | /usr/bin/python3 -c '
import json, sys
tests = json.load(sys.stdin)["tests"]
bare = [t["name"] for t in tests if not any(p["name"] == "TIMEOUT" for p in t.get("properties", []))]
for name in bare: print("test: no time-out: " + name)
sys.exit(1 if bare else 0)'
}

# Run as root (as CI is), the shuffled rounds run as nobody, with a home folder of its own (the
# outside programs read their settings there), so that a test that needs root fails too; not
# when nobody cannot reach the build, the samples or the shared test data.
unprivileged() {
  local dir="$1" probe="$2" home="$3"
  [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null && id nobody >/dev/null 2>&1 || return 0
  chown nobody "$home" || return 0
  local as="setpriv --reuid=$(id -u nobody) --regid=$(id -g nobody) --clear-groups env -u XDG_CONFIG_HOME HOME=$home"
  $as test -r "$root/samples/solids.sat" -a -r "$root/../shared/testdata" -a -x "$dir/bin/$probe" && echo "$as"
}

# Each test program runs all its tests in one process, in shuffled order, a few rounds: a test
# that leans on what an earlier one left fails here. The seed is printed for a rerun.
shuffled() {
  local dir="$1" seed=$((RANDOM % 99999 + 1))
  local programs=() source
  for source in "$root"/tests/*_test.cpp; do programs+=("$(basename "$source" .cpp)"); done
  local as who home
  who="$(id -un)"
  home="$(mktemp -d)"
  as="$(unprivileged "$dir" "${programs[0]}" "$home")"
  [ -n "$as" ] && who="nobody"
  echo "=== shuffled: every test program as $who, 3 rounds, --gtest_random_seed=$seed"
  local bad
  bad="$(printf '%s\n' "${programs[@]}" | xargs -P "$jobs" -I{} sh -c \
    '$4 "$1/bin/$2" --gtest_shuffle --gtest_repeat=3 --gtest_random_seed="$3" >"$1/shuffled-$2.log" 2>&1 || echo "$2"' \
    _ "$dir" {} "$seed" "$as")"
  rm -rf "$home"
  if [ -n "$bad" ]; then
    for p in $bad; do grep -E '^\[  FAILED  \]|Failure' "$dir/shuffled-$p.log" | sort | uniq -c | head -20; done
    summary+=("shuffled as $who (seed $seed): FAILED: $(echo $bad)")
    return 1
  fi
  summary+=("shuffled as $who (seed $seed): ${#programs[@]} programs passed")
}

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
  check_timeouts "$dir" || status=1
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j"$jobs") 2>&1 | tee "$log" || status=$?
  local line skipped
  line="$(grep -E 'tests passed|tests failed' "$log" | tail -1)"
  skipped="$(grep -c '(Skipped)$' "$log")"
  if [ "$ci" -eq 1 ] && [ "$skipped" -gt 0 ]; then
    line="$line; $skipped skipped, which a CI run does not allow"
    status=1
  fi
  summary+=("$name: ${line:-no ctest summary}")
  return "$status"
}

# The Release build with the default options, as a user configures it: its tests, then its
# benchmarks once each.
release() {
  local dir="$root/build-release"
  pass "release" "$dir" -DCMAKE_BUILD_TYPE=Release || return 1
  echo "=== release: benchmarks once each"
  if bash scripts/bench-smoke.sh "$dir"; then
    summary+=("release benchmarks: all ran")
  else
    summary+=("release benchmarks: FAILED")
    return 1
  fi
}

failed=0
if pass "normal" "$root/build" -DKAVLOR_BENCH=OFF; then
  shuffled "$root/build" || failed=1
else
  failed=1
fi
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
elif [ "$ci" -eq 1 ]; then
  summary+=("fuzz smoke: FAILED: no clang++")
  failed=1
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
