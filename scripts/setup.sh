#!/usr/bin/env bash
# Installs what the kit needs to build and test on Debian, as root. Does nothing when all is there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev
  libsdl2-dev             # burstmap's window
  fuse-emulator-utils     # tzxlist, an independent reader of our TAP images
  tmux                    # drives sumseal's key wait through a real terminal
  xvfb xauth x11-utils libx11-dev  # burstmap in a real X window
  libbenchmark-dev hyperfine time jq  # bench/: inner loops, whole processes, peak memory
  util-linux              # setpriv, for the permission cases
  valgrind                # memory checks of the console tools
  man-db groff-base dpkg-dev file  # the manual pages' checks and the Debian package
  clang libclang-rt-14-dev  # the sanitizer build and the libFuzzer targets
  llvm                    # llvm-symbolizer: file and line in the sanitizers' reports
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]}; run this as root to install them" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
