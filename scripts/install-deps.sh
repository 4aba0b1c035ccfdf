#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing,
# so a second run costs nothing.
#
#   scripts/install-deps.sh          the build's packages
#   scripts/install-deps.sh bench    also the decoders the benchmarks compare against
set -euo pipefail

packages=(
  build-essential cmake ninja-build
  libprotobuf-dev protobuf-compiler zlib1g-dev
  pybind11-dev python3-dev python3-numpy python3-pytest python3-protobuf python3-scipy
  libboost-python-dev libopencv-dev python3-opencv
  libgtest-dev libbenchmark-dev
)

for group in "$@"; do
  case "$group" in
    bench) packages+=(python3-ujson python3-msgpack) ;;
    *) echo "install-deps.sh: unknown package group '$group' (known: bench)" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
