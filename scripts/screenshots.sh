#!/usr/bin/env bash
# Remakes the README's pictures of the windows: builds Vexora, generates the sample data
# into a scratch program folder, and under a virtual X display (Xvfb) walks the wizard
# with vexora-screenshots, which saves each window as a PNG file in docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target vexora-screenshots vexora-sample-data vexora-template

WORK=$(mktemp -d /tmp/vexora-shots-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cp build/bin/Vexora.rav "$WORK/"
build/bin/vexora-sample-data "$WORK" >/dev/null
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/vexora-screenshots "$WORK" docs/screenshots
