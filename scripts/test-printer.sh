#!/usr/bin/env bash
# Real CUPS print queues for the printing tests (Debian 12, run as root, no systemd).
#
#   scripts/test-printer.sh [start]      install the CUPS packages if missing, start
#                                        cupsd if no scheduler answers, (re)create the
#                                        queues; prints the output folder on stdout
#   scripts/test-printer.sh wait [SECS]  wait until no job is pending or processing
#   scripts/test-printer.sh job-attrs ID print copies/sides/media/... of job ID
#   scripts/test-printer.sh stop         stop the cupsd this script started (pid file)
#
# Queues (both capture every job as a PDF file through cups-pdf):
#   VexoraPDF      the default printer, offers long- and short-edge duplex
#   SecondPrinter  no duplex option (Qt ignores duplex on it)
# The default-printer test (test_core) makes SecondPrinter the user's default and
# VexoraPDF again, and puts the lpoptions files back as they were.
# A job lands in $OUT_ROOT/<queue>/<job title>-job_<job id>.pdf; Vexora's jobs are
# titled "Vexora".
#
# Environment: CUPS_TEST_OUT overrides the output root (default /var/spool/cups-pdf-test).
# Safe to repeat: a running scheduler is reused and the queues are recreated.

set -euo pipefail

OUT_ROOT=${CUPS_TEST_OUT:-/var/spool/cups-pdf-test}
DUPLEX_QUEUE=VexoraPDF
PLAIN_QUEUE=SecondPrinter
DEFAULT_QUEUE=$DUPLEX_QUEUE

STATE_DIR=/run/vexora-test-printer
PID_FILE=$STATE_DIR/cupsd.pid
CUPSD_LOG=$STATE_DIR/cupsd.out

BASE_PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd
PACKAGES=(cups cups-client cups-bsd cups-ipp-utils printer-driver-cups-pdf poppler-utils)

log() { echo "test-printer: $*" >&2; }
die() { log "$*"; exit 1; }

# lpstat -r exits 0 either way; only its (untranslated) text tells.
scheduler_running() {
    command -v lpstat >/dev/null 2>&1 &&
        [ "$(LC_ALL=C lpstat -r 2>/dev/null)" = "scheduler is running" ]
}

install_packages() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    [ "$(id -u)" -eq 0 ] || die "missing ${missing[*]}; run this script as root"
    log "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # Wait for a concurrent apt/dpkg run instead of failing on its lock.
    apt-get -o DPkg::Lock::Timeout=300 install -y --no-install-recommends "${missing[@]}" >&2 \
        || { apt-get -o DPkg::Lock::Timeout=300 update >&2 &&
             apt-get -o DPkg::Lock::Timeout=300 install -y --no-install-recommends "${missing[@]}" >&2; }
}

start_cupsd() {
    scheduler_running && return 0
    mkdir -p "$STATE_DIR" /run/cups
    # Foreground mode in its own session so it outlives the caller. Without job
    # control $! is cupsd itself; cupsd also writes /run/cups/cupsd.pid.
    setsid cupsd -f </dev/null >>"$CUPSD_LOG" 2>&1 &
    local pid=$!
    for _ in $(seq 1 100); do
        scheduler_running && break
        sleep 0.1
    done
    scheduler_running || die "cupsd did not come up; see $CUPSD_LOG and /var/log/cups/error_log"
    if [ "$(cat /proc/"$pid"/comm 2>/dev/null)" != cupsd ]; then
        pid=$(cat /run/cups/cupsd.pid 2>/dev/null || true)
    fi
    [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = cupsd ] || die "cannot tell the pid of the new cupsd"
    echo "$pid" >"$PID_FILE"
    log "cupsd started (pid $pid)"
}

stop_cupsd() {
    [ -f "$PID_FILE" ] || { log "no cupsd started by this script"; return 0; }
    local pid
    pid=$(cat "$PID_FILE")
    # Only our own cupsd: the pid must still belong to a cupsd process.
    if [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = cupsd ]; then
        kill -TERM "$pid"
        for _ in $(seq 1 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$pid" 2>/dev/null && die "cupsd (pid $pid) did not stop"
        log "cupsd (pid $pid) stopped"
    else
        log "pid $pid is no longer cupsd; nothing to stop"
    fi
    rm -f "$PID_FILE"
}

# cups-pdf reads /etc/cups/cups-pdf-<instance>.conf for the device URI
# cups-pdf:/<instance> instead of cups-pdf.conf (a full replacement), which gives
# each queue its own output folder.
write_cups_pdf_conf() {
    local queue=$1
    mkdir -p "$OUT_ROOT/$queue"
    # World-writable like /tmp: cups-pdf writes as the submitting user.
    chmod 1777 "$OUT_ROOT/$queue"
    cat >"/etc/cups/cups-pdf-$queue.conf" <<CONF
# Test queue $queue: every job becomes $OUT_ROOT/$queue/<title>-job_<id>.pdf
Out $OUT_ROOT/$queue
Label 2
TitlePref 1
UserUMask 0022
Grp lpadmin
CONF
}

# The stock cups-pdf PPD has no Duplex option, so Qt reports the printer as simplex
# and drops the duplex request. Add the standard Duplex choices.
write_duplex_ppd() {
    local out=$1
    awk '
        /^\*NickName:/ { print "*NickName:      \"Generic CUPS-PDF Printer (duplex)\""; next }
        /^\*CloseGroup: General/ {
            print "*OpenUI *Duplex/2-Sided Printing: PickOne"
            print "*OrderDependency: 50 AnySetup *Duplex"
            print "*DefaultDuplex: None"
            print "*Duplex None/Off: \"<</Duplex false /Tumble false>> setpagedevice\""
            print "*Duplex DuplexNoTumble/Long Edge: \"<</Duplex true /Tumble false>> setpagedevice\""
            print "*Duplex DuplexTumble/Short Edge: \"<</Duplex true /Tumble true>> setpagedevice\""
            print "*CloseUI: *Duplex"
            print ""
        }
        { print }' "$BASE_PPD" >"$out"
}

create_queue() {
    local queue=$1 ppd=$2 out
    write_cups_pdf_conf "$queue"
    # "Printer drivers are deprecated" on stderr is expected with a PPD. pdftocairo
    # keeps the captured text extractable; abort-job keeps a failing job from
    # blocking the queue.
    out=$(lpadmin -p "$queue" -v "cups-pdf:/$queue" -P "$ppd" \
        -D "Vexora test printer $queue" \
        -o pdftops-renderer-default=pdftocairo \
        -o printer-error-policy=abort-job 2>&1) || die "lpadmin $queue: $out"
    grep -v 'drivers are deprecated' <<<"$out" >&2 || true
    cupsenable "$queue"
    cupsaccept "$queue"
}

setup_queues() {
    [ -f "$BASE_PPD" ] || die "missing $BASE_PPD (printer-driver-cups-pdf)"
    local ppd
    ppd=$(mktemp --suffix=.ppd)
    write_duplex_ppd "$ppd"
    create_queue "$DUPLEX_QUEUE" "$ppd"
    create_queue "$PLAIN_QUEUE" "$BASE_PPD"
    rm -f "$ppd"
    lpadmin -d "$DEFAULT_QUEUE"
    # A Default line in the caller's ~/.cups/lpoptions overrides the server default.
    lpoptions -d "$DEFAULT_QUEUE" >/dev/null
}

wait_for_jobs() {
    local timeout=${1:-60} waited=0
    scheduler_running || die "scheduler is not running"
    while [ -n "$(lpstat -W not-completed -o)" ]; do
        if [ "$waited" -ge $((timeout * 10)) ]; then
            log "jobs still pending after ${timeout}s"
            lpstat -W not-completed -o >&2
            return 1
        fi
        sleep 0.1
        waited=$((waited + 1))
    done
}

# name=value lines of the attributes a test checks; CUPS keeps them after completion,
# e.g. copies=2, Collate=true, sides=two-sided-long-edge, media=A4, job-state=completed.
job_attrs() {
    local id=${1:?job id} test rc=0
    test=$(mktemp --suffix=.test)
    cat >"$test" <<'IPP'
{
  NAME "Get-Job-Attributes"
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri job-uri $uri
  ATTR name requesting-user-name $user
  ATTR keyword requested-attributes all
  STATUS successful-ok
}
IPP
    ipptool -tv "ipp://localhost/jobs/$id" "$test" | awk '
        /status-code = / { reply = 1; next }
        reply && match($0, /^ +[A-Za-z-]+ \([^)]*\) = /) {
            line = substr($0, RSTART, RLENGTH); sub(/^ +/, "", line)
            name = line; sub(/ .*/, "", name)
            if (name ~ /^(job-name|job-printer-uri|job-state|copies|Collate|sides|media|number-up|job-impressions-completed|job-media-sheets-completed|document-format)$/)
                print name "=" substr($0, RSTART + RLENGTH)
        }' || rc=$?
    rm -f "$test"
    return $rc
}

case "${1:-start}" in
start)
    install_packages
    start_cupsd
    setup_queues
    log "queues: $(lpstat -e | tr '\n' ' ')default: $DEFAULT_QUEUE"
    echo "$OUT_ROOT"
    ;;
stop) stop_cupsd ;;
wait) wait_for_jobs "${2:-60}" ;;
job-attrs) job_attrs "${2:-}" ;;
*) die "usage: $0 [start|stop|wait [SECS]|job-attrs JOBID]" ;;
esac
