#!/usr/bin/env bash
# The main job: set up, build, and run kvhost on the bundled demo script, saving the drawing.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh "$root/build"
mkdir -p out
status=0
build/bin/kvhost -s samples/demo.scr -o out/demo.dxf || status=$?
if [ "$status" -ne 0 ]; then
  echo "run: kvhost ended with status $status" >&2
  exit "$status"
fi
echo
echo "run: drawing saved to $root/out/demo.dxf"
