#!/usr/bin/env bash
# Installs every Debian package Vexora needs to build, test and run.
# Idempotent: packages already present are left alone and apt is not touched.
# Run as root (or with sudo available).
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libqt6svg6 qt6-image-formats-plugins
  libpugixml-dev libexpat1-dev libcups2-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core fonts-wine fonts-liberation2 poppler-utils
  xvfb xauth time openbox libxcb1-dev qt6-translations-l10n
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "setup: missing packages (${missing[*]}) and not root; run this script as root" >&2
    exit 1
  fi
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# Wait for another apt run (unattended upgrades, a parallel CI step) to release its lock.
for _ in $(seq 1 120); do
  if ! fuser /var/lib/dpkg/lock-frontend >/dev/null 2>&1; then break; fi
  sleep 1
done
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
