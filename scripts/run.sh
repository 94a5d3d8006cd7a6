#!/usr/bin/env bash
# The main job: set up, build, then run kvhost (which loads Kavlor.arx from beside itself) on
# the samples: KVConvertSolidFile on samples/solids.sat into an empty drawing, and
# KVConvertSolid on every object of samples/drawing.dxf. Both results are saved as DXF in out/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh "$root/build"
mkdir -p out
# The module's settings come from a private store, so the defaults apply (Resolution 50,
# Warning on) whatever the user has set.
export XDG_CONFIG_HOME="$root/out/settings"
rm -rf "$XDG_CONFIG_HOME"
mkdir -p "$XDG_CONFIG_HOME"

run() {
  local title="$1"
  shift
  echo "== $title"
  local status=0
  build/bin/kvhost "$@" || status=$?
  echo
  if [ "$status" -ne 0 ]; then
    echo "run: kvhost ended with status $status" >&2
    exit "$status"
  fi
}

run "samples/demo.scr: the built-in commands" -s samples/demo.scr -o out/demo.dxf
run "samples/convert_file.scr: samples/solids.sat into an empty drawing" -s samples/convert_file.scr -o out/solids.dxf
run "samples/convert_drawing.scr: samples/drawing.dxf" -s samples/convert_drawing.scr -o out/drawing.dxf samples/drawing.dxf
echo "run: the solids of samples/solids.sat as polyface meshes: $root/out/solids.dxf"
echo "run: samples/drawing.dxf converted:                     $root/out/drawing.dxf"
echo "run: the demo of the built-in commands:                 $root/out/demo.dxf"
