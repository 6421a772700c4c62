#!/usr/bin/env bash
# Makes sure the Debian packages a task needs are installed: installs the
# missing ones when run as root, and names them otherwise.
#   scripts/deps.sh build|fuzz|windows
set -euo pipefail

packages=(cmake make g++ binutils libgtest-dev libbenchmark-dev)
case "${1:-build}" in
  build) ;;
  fuzz) packages+=(clang libclang-rt-dev) ;;
  windows) packages+=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine64) ;;
  *) echo "usage: $0 build|fuzz|windows" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
