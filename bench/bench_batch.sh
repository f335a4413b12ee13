#!/usr/bin/env bash
# Times vexora-batch on the sample data (Release build):
#   1. 100 AB exam sheets with their 25 answer keys to PDF: wall time, peak memory;
#   2. a 600-sheet run: sheets per second over the first and the last 100 sheets
#      (from the PDF files' modification times), to show the time per sheet stays flat.
# Usage: bash bench/bench_batch.sh [BUILD_DIR]   (default: build-rel, built if missing)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build-rel}
if [ ! -x "$BUILD/bin/vexora-batch" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXORA_BUILD_TESTS=OFF >/dev/null
  cmake --build "$BUILD" -j"$(nproc)"
fi
export QT_QPA_PLATFORM=offscreen
WORK=$(mktemp -d /tmp/vexora-bench-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cp "$BUILD/bin/Vexora.rav" "$WORK/"
"$BUILD/bin/vexora-sample-data" "$WORK" >/dev/null

run_batch() {  # sheets
  rm -f "$WORK"/*.pdf "$WORK"/*.txt "$WORK"/NQP2016.QXD
  /usr/bin/time -f "%e %M" -o "$WORK/time.txt" \
    "$BUILD/bin/vexora-batch" --folder "$WORK" --category AB --kind esame --sheets "$1" \
    --pdf --seed 1 >/dev/null 2>"$WORK/err.txt"
  read -r WALL RSS_KB < "$WORK/time.txt"
}

run_batch 100
SHEETS=$(ls "$WORK"/AB_ESAE*.pdf | wc -l)
KEYS=$(ls "$WORK"/Correttore*.pdf | wc -l)
SIZE=$(du -k "$WORK/AB_ESAE001.pdf" | cut -f1)
echo "100 AB exam sheets: ${WALL} s wall, peak RSS $((RSS_KB / 1024)) MB, $SHEETS sheets + $KEYS answer keys, one sheet ${SIZE} KB"

run_batch 600
# Sheets in printing order by modification time; rate over the first and last 100.
mapfile -t STAMPS < <(stat -c '%.9Y' "$WORK"/AB_ESAE*.pdf | sort -n)
N=${#STAMPS[@]}
rate() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", 99 / (b - a) }'; }
echo "600 AB exam sheets: ${WALL} s wall, peak RSS $((RSS_KB / 1024)) MB; sheets/s first 100: $(rate "${STAMPS[0]}" "${STAMPS[99]}"), last 100: $(rate "${STAMPS[N-100]}" "${STAMPS[N-1]}")"
