#!/usr/bin/env bash
# Runs every benchmark program of a build once, each benchmark on its smallest argument and for
# the least time it allows, so that the benchmarks keep building and running. Speed never
# decides anything here. Usage:
#   scripts/bench-smoke.sh [build-dir, default build]
# Nonzero when a program is missing, crashes, runs no benchmark, or a benchmark reports an error.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"

programs=()
for source in "$root"/bench/*_bench.cpp; do
  programs+=("$(basename "$source" .cpp)")
done
[ ${#programs[@]} -gt 0 ] || { echo "bench-smoke: no benchmarks in $root/bench" >&2; exit 1; }

# From the listed names, a filter matching exactly the smallest numeric arguments of each
# benchmark ("AppendLines/1000" of "AppendLines/1000" and "AppendLines/100000").
smallest() {
  /usr/bin/python3 -c '
import re, sys
best = {}
for name in sys.stdin.read().split():
    parts = name.split("/")
    args = tuple(int(p) for p in parts[1:] if re.fullmatch(r"-?\d+", p))
    if parts[0] not in best or args < best[parts[0]][0]:
        best[parts[0]] = (args, name)
print("^(" + "|".join(re.escape(n) for _, n in best.values()) + ")$")
'
}

# Whether the JSON report holds every chosen benchmark and none of them reported an error.
check() {
  /usr/bin/python3 -c '
import json, sys
report, names = json.load(open(sys.argv[1])), sys.argv[2].split()
runs = {b["run_name"]: b for b in report.get("benchmarks", [])}
bad = [n + ": " + runs[n].get("error_message", "") for n in runs if runs[n].get("error_occurred")]
bad += [n + ": did not run" for n in names if n not in runs]
for line in bad: print("  " + line)
sys.exit(1 if bad else 0)
' "$@"
}

failed=()
for p in "${programs[@]}"; do
  exe="$build/bin/$p"
  log="$build/bench-smoke-$p.log"
  json="$build/bench-smoke-$p.json"
  if [ ! -x "$exe" ]; then
    echo "bench-smoke: $p FAILED: $exe not built"
    failed+=("$p")
    continue
  fi
  names="$("$exe" --benchmark_list_tests=true 2>"$log")"
  if [ -z "$names" ]; then
    echo "bench-smoke: $p FAILED: lists no benchmark (log $log)"
    failed+=("$p")
    continue
  fi
  filter="$(printf '%s\n' "$names" | smallest)"
  chosen="$(printf '%s\n' "$names" | grep -E "$filter" | tr '\n' ' ')"
  # A scratch working folder: whatever a benchmark leaves behind goes with it.
  scratch="$(mktemp -d)"
  start=$SECONDS
  if (cd "$scratch" && "$exe" --benchmark_filter="$filter" --benchmark_min_time=0.001 \
        --benchmark_out="$json" --benchmark_out_format=json) >>"$log" 2>&1 && check "$json" "$chosen"; then
    echo "bench-smoke: $p ok in $((SECONDS - start)) s: $chosen"
  else
    echo "bench-smoke: $p FAILED (log $log)"
    tail -20 "$log"
    failed+=("$p")
  fi
  rm -rf "$scratch"
done
[ ${#failed[@]} -eq 0 ] || { echo "bench-smoke: failed: ${failed[*]}"; exit 1; }
echo "bench-smoke: all benchmark programs ran"
