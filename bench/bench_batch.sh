#!/usr/bin/env bash
# End-to-end timing of vexora-batch on the sample data (use Release builds): AB exam
# sheets with their answer keys (one per four sheets) to PDF, 1, 100 and 600 sheets,
# several runs each. Prints min/median/max of wall time, CPU time (user+sys) and peak
# RSS, the growth from 100 to 600 sheets (target: median ratio <= 6.5, peak RSS < 200 MB)
# and the marginal cost of one sheet.
# Every run starts from the same pristine folder: a run writes the PDFs and the lock
# file, creates the print history NQP2016.QXD and rewrites the counters in Vexora.ini,
# and each of those changes what the next run does.
# Usage: [RUNS=5] [RUNS600=3] bash bench/bench_batch.sh [BUILD_DIR [BUILD_DIR2]]
#   RUNS: runs of the 1- and 100-sheet cases; RUNS600: runs of the 600-sheet case.
#   BUILD_DIR (default build-rel) is configured and built when it has no vexora-batch.
#   With BUILD_DIR2 the runs alternate between the two builds and the table shows them
#   side by side, e.g.  bash bench/bench_batch.sh /work/base/build-rel build-rel
set -euo pipefail
cd "$(dirname "$0")/.."
RUNS=${RUNS:-5}
RUNS600=${RUNS600:-3}
for n in "$RUNS" "$RUNS600"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "RUNS and RUNS600 must be positive integers" >&2; exit 2; }
done
BUILDS=("${1:-build-rel}")
[ $# -ge 2 ] && BUILDS+=("$2")
NB=${#BUILDS[@]}
for b in "${BUILDS[@]}"; do
  if [ ! -x "$b/bin/vexora-batch" ]; then
    cmake -S . -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEXORA_BUILD_TESTS=OFF >/dev/null
    cmake --build "$b" -j"$(nproc)"
  fi
done
export QT_QPA_PLATFORM=offscreen
WORK=$(mktemp -d /tmp/vexora-bench-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
# Every build runs in the same folder path, so Vexora.ini (which holds the absolute
# figures path) and everything derived from the path are identical across builds.
RUN=$WORK/run
shopt -s nullglob globstar

# Each build's own folder in its state before any print run: its Vexora.rav and the
# sample data of its generator.
LABEL=(A B)
SHEET_KB=()
for i in "${!BUILDS[@]}"; do
  b=${BUILDS[i]}
  rm -rf "$RUN"
  mkdir "$RUN"
  cp "$b/bin/Vexora.rav" "$RUN/"
  "$b/bin/vexora-sample-data" "$RUN" >/dev/null
  cp -a "$RUN" "$WORK/pristine$i"
done

tree_sum() {  # dir: one checksum over the names and contents of its files
  (cd "$1" && for f in **; do [ -f "$f" ] && { printf '%s\0' "$f"; cat -- "$f"; }; done) |
    md5sum | cut -d' ' -f1
}

sheets() { if [ "$1" -eq 1 ]; then echo "1 sheet"; else echo "$1 sheets"; fi; }
fail() { printf '\r%-60s\r' '' >&2; printf '%s\n' "$@" >&2; exit 1; }

run_once() {  # build index, sheets: appends "wall cpu rss_kb" to $WORK/res.<i>.<sheets>
  local i=$1 n=$2 b=${BUILDS[$1]}
  rm -rf "$RUN"
  cp -a "$WORK/pristine$i" "$RUN"
  if ! /usr/bin/time -f '%e %U %S %M' -o "$WORK/time.txt" \
    "$b/bin/vexora-batch" --folder "$RUN" --category AB --kind esame --sheets "$n" \
    --pdf --seed 1 >"$WORK/out.txt" 2>"$WORK/err.txt"; then
    fail "vexora-batch of $b failed on $(sheets "$n") ($(head -n1 "$WORK/time.txt")):" \
      "$(cat "$WORK/out.txt" "$WORK/err.txt")"
  fi
  local got=("$RUN"/AB_ESAE*.pdf) keys=("$RUN"/Correttore*.pdf) all=("$RUN"/*.pdf)
  local want_keys=$(((n + 3) / 4))
  if [ ${#got[@]} -ne "$n" ] || [ ${#keys[@]} -ne $want_keys ] ||
    [ ${#all[@]} -ne $((n + want_keys)) ]; then
    fail "$b, $(sheets "$n"): ${#got[@]} sheets + ${#keys[@]} keys (${#all[@]} PDF files), expected $n + $want_keys"
  fi
  [ "$n" -eq 100 ] && SHEET_KB[i]=$(du -k "$RUN/AB_ESAE001.pdf" | cut -f1)
  local wall user sys rss
  read -r wall user sys rss < <(tail -n1 "$WORK/time.txt")
  echo "$wall $(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }') $rss" >>"$WORK/res.$i.$n"
}

# min, median and max of column $2 of file $1, times $3, printed with format $4.
stats() {
  awk -v c="$2" -v k="$3" -v f="$4" '{ v[NR] = $c * k } END {
    for (i = 2; i <= NR; i++) {
      x = v[i]
      for (j = i - 1; j >= 1 && v[j] > x; j--) v[j + 1] = v[j]
      v[j + 1] = x
    }
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf f " " f " " f "\n", v[1], m, v[NR]
  }' "$1"
}
med() { stats "$1" "$2" 1 %.6f | cut -d' ' -f2; }
calc() { awk "BEGIN { printf \"$1\", $2 }"; }

LOAD=$(cut -d' ' -f1-3 /proc/loadavg)
for n in 1 100 600; do
  runs=$RUNS
  [ "$n" -eq 600 ] && runs=$RUNS600
  for ((r = 1; r <= runs; r++)); do
    for i in "${!BUILDS[@]}"; do
      printf '\r%-60s' "$(sheets "$n"): run $r of $runs${BUILDS[1]+, build ${LABEL[i]}}" >&2
      run_once "$i" "$n"
    done
  done
done
printf '\r%-60s\r' '' >&2

echo "vexora-batch, AB exam sheets + answer keys to PDF; runs: 1 and 100 sheets x$RUNS," \
  "600 sheets x$RUNS600; $(nproc) cores, load before: $LOAD"
for i in "${!BUILDS[@]}"; do echo "  ${LABEL[i]}: ${BUILDS[i]}"; done
if [ "$NB" -eq 2 ]; then
  if [ "$(tree_sum "$WORK/pristine0")" = "$(tree_sum "$WORK/pristine1")" ]; then
    echo "  sample data of A and B: identical"
  else
    echo "  sample data of A and B: DIFFERENT (each build runs on its own)"
  fi
fi
echo
printf '%-11s %-7s' case metric
for i in "${!BUILDS[@]}"; do printf ' | %-6s %7s %7s %7s' "${LABEL[i]}" min median max; done
[ "$NB" -eq 2 ] && printf ' | B/A med'
echo
for n in 1 100 600; do
  c=$(sheets "$n")
  for m in "wall s:1:1:%7.2f" "cpu s:2:1:%7.2f" "RSS MB:3:0.0009765625:%7.1f"; do
    IFS=: read -r name col k fmt <<<"$m"
    printf '%-11s %-7s' "$c" "$name"
    c=
    for i in "${!BUILDS[@]}"; do printf ' | %-6s %s' '' "$(stats "$WORK/res.$i.$n" "$col" "$k" "$fmt")"; done
    [ "$NB" -eq 2 ] &&
      printf ' | %7s' "$(calc %.3f "$(med "$WORK/res.1.$n" "$col") / $(med "$WORK/res.0.$n" "$col")")"
    echo
  done
done
echo
size=
for i in "${!BUILDS[@]}"; do size+="${BUILDS[1]+${LABEL[i]} }${SHEET_KB[i]} KB${BUILDS[i+1]+, }"; done
echo "PDF files: every run wrote the expected sheets + keys (1 + 1, 100 + 25, 600 + 150);" \
  "AB_ESAE001.pdf: $size"
echo "Derived from the medians (and the maximum RSS):"
for i in "${!BUILDS[@]}"; do
  r="$WORK/res.$i"
  [ "$NB" -eq 2 ] && echo " ${LABEL[i]}:"
  w_ratio=$(calc %.2f "$(med "$r.600" 1) / $(med "$r.100" 1)")
  c_ratio=$(calc %.2f "$(med "$r.600" 2) / $(med "$r.100" 2)")
  rss=$(stats "$r.600" 3 0.0009765625 %.1f | cut -d' ' -f3)
  echo "  growth 600/100 sheets: wall x$w_ratio, cpu x$c_ratio (target for wall <= 6.5:" \
    "$(calc %s "($w_ratio <= 6.5 ? \"met\" : \"MISSED\")")); peak RSS of 600 sheets" \
    "$rss MB (target < 200: $(calc %s "($rss < 200 ? \"met\" : \"MISSED\")"))"
  echo "  one more sheet (100-sheet run - 1-sheet run) / 99: cpu" \
    "$(calc %.1f "($(med "$r.100" 2) - $(med "$r.1" 2)) * 1000 / 99") ms, wall" \
    "$(calc %.1f "($(med "$r.100" 1) - $(med "$r.1" 1)) * 1000 / 99") ms;" \
    "fixed cost (1-sheet run): wall $(calc %.2f "$(med "$r.1" 1)") s," \
    "cpu $(calc %.2f "$(med "$r.1" 2)") s"
done
