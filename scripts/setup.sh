#!/usr/bin/env bash
# Installs the build and test dependencies from Debian's archive, only those that are missing.
set -euo pipefail

packages=(
  cmake g++ make
  libgtest-dev libbenchmark-dev
  libocct-foundation-dev libocct-modeling-data-dev libocct-modeling-algorithms-dev libocct-data-exchange-dev
  libtbb-dev     # named by the modeller libraries' CMake package
  python3-ezdxf  # the independent DXF reader of the interoperability test
  clang libclang-rt-14-dev  # fuzz targets: the compiler, and libFuzzer with the sanitizer runtimes
)

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "setup: not root and no sudo; install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
