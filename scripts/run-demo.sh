#!/usr/bin/env bash
# The main job on the bundled sample data: installs what the build needs, builds
# Vexora, generates the sample data into the program folder (build/bin) and starts the
# window program there. Without a display it says so and runs the batch demo instead:
# 8 AB exam sheets and 4 C1 topic sheets (topics 1 to 4) with their answer keys to PDF
# and text, then lists the files written.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"

BIN=build/bin
echo "== sample data into $BIN"
"$BIN/vexora-sample-data" "$BIN"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  # With no printer installed, the demo's sheets go to PDF files in the program folder.
  if ! lpstat -a >/dev/null 2>&1 && ! grep -q '^CkStampaSuPdf=' "$BIN/Vexora.ini"; then
    printf '[Debug]\r\nCkStampaSuPdf=1\r\n' >> "$BIN/Vexora.ini"
    echo "== no printer installed: sheets go to PDF files in $BIN"
  fi
  echo "== starting $BIN/Vexora"
  exec "$BIN/Vexora"
fi

echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): running the batch demo instead of the window program."
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
echo "== 8 AB exam sheets"
"$BIN/vexora-batch" --folder "$BIN" --category AB --kind esame --sheets 8 --pdf --key-text \
  | tee /tmp/vexora-demo-files.txt
echo "== 4 C1 topic sheets, topics 1 to 4"
"$BIN/vexora-batch" --folder "$BIN" --category C1 --kind argomento --topics 1,2,3,4 --sheets 4 \
  --pdf --key-text | tee -a /tmp/vexora-demo-files.txt

echo
echo "== files written ($(wc -l < /tmp/vexora-demo-files.txt)):"
while IFS= read -r f; do ls -l "$f"; done < /tmp/vexora-demo-files.txt
