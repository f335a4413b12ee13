#!/usr/bin/env bash
# Installs what the build needs, builds everything into build/ and runs every test.
# VEXORA_WERROR=ON in the environment makes every warning an error (CI sets it).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXORA_WERROR="${VEXORA_WERROR:-OFF}"
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
