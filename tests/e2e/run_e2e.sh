#!/bin/bash
# End-to-end tests of the shipped Kalvane.exe under Wine (run as root).
#
#   tests/e2e/run_e2e.sh [options] [path/to/Kalvane.exe] [unittest names or -k patterns...]
#
# Options (each also as an environment variable):
#   --exe PATH        Kalvane.exe to test             KALVANE_EXE (default build/windows/Kalvane.exe)
#   --driver PATH     kdriver.exe                     KALVANE_KDRIVER (default <exe dir>/kdriver/kdriver.exe)
#   --host NAME       the service host name           KALVANE_E2E_HOST (default dns.kalvane.example)
#   --work DIR        Wine prefix and test folders    KALVANE_E2E_WORK (default build/e2e)
#   --artifacts DIR   screenshots and logs            KALVANE_E2E_ARTIFACTS (default build/e2e-artifacts)
#   --locale NAME     LC_ALL for Wine                 KALVANE_E2E_LOCALE (default zh_CN.UTF-8)
#
# The tests run inside a private network and mount namespace: loopback only (127.0.0.1 and ::1),
# and an /etc/hosts that sends the service host to 127.0.0.1, where tools/fake_service.py answers
# on port 80. The
# last line of output is "e2e: N passed, N failed[, N skipped]"; the exit status is non-zero when
# anything failed.
set -uo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
SUITE_TIMEOUT=${KALVANE_E2E_SUITE_TIMEOUT:-900}

if [[ -z "${KALVANE_E2E_INSIDE:-}" ]]; then
  suite_args=()
  while (($#)); do
    case "$1" in
      --exe) KALVANE_EXE=$2; shift 2 ;;
      --driver) KALVANE_KDRIVER=$2; shift 2 ;;
      --host) KALVANE_E2E_HOST=$2; shift 2 ;;
      --work) KALVANE_E2E_WORK=$2; shift 2 ;;
      --artifacts) KALVANE_E2E_ARTIFACTS=$2; shift 2 ;;
      --locale) KALVANE_E2E_LOCALE=$2; shift 2 ;;
      -h|--help) sed -n '2,19p' "$0"; exit 0 ;;
      *.exe) KALVANE_EXE=$1; shift ;;
      *) suite_args+=("$1"); shift ;;
    esac
  done
  KALVANE_EXE=$(realpath -m "${KALVANE_EXE:-$REPO/build/windows/Kalvane.exe}")
  KALVANE_KDRIVER=$(realpath -m "${KALVANE_KDRIVER:-$(dirname "$KALVANE_EXE")/kdriver/kdriver.exe}")
  KALVANE_E2E_WORK=$(realpath -m "${KALVANE_E2E_WORK:-$REPO/build/e2e}")
  KALVANE_E2E_ARTIFACTS=$(realpath -m "${KALVANE_E2E_ARTIFACTS:-$REPO/build/e2e-artifacts}")
  export KALVANE_EXE KALVANE_KDRIVER KALVANE_E2E_WORK KALVANE_E2E_ARTIFACTS
  export KALVANE_E2E_HOST=${KALVANE_E2E_HOST:-dns.kalvane.example}
  export KALVANE_E2E_LOCALE=${KALVANE_E2E_LOCALE:-zh_CN.UTF-8}

  fail_setup() {
    echo "e2e: setup failed: $*" >&2
    echo "e2e: 0 passed, 1 failed"
    exit 1
  }
  [[ $(id -u) == 0 ]] || fail_setup "must run as root (it needs network and mount namespaces)"
  for tool in unshare ip mount Xvfb wine wineserver wineboot xdotool import; do
    command -v "$tool" >/dev/null || fail_setup "missing tool: $tool"
  done
  [[ -f $KALVANE_EXE ]] || fail_setup "no executable at $KALVANE_EXE"
  [[ -f $KALVANE_KDRIVER ]] || fail_setup "no driver at $KALVANE_KDRIVER"
  mkdir -p "$KALVANE_E2E_WORK" "$KALVANE_E2E_ARTIFACTS"
  export KALVANE_E2E_INSIDE=1
  exec unshare --net --mount --propagation private -- bash "$0" "${suite_args[@]}"
fi

# ---- Inside the namespace from here on. ----
export WINEPREFIX=$KALVANE_E2E_WORK/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export PYTHON=${PYTHON:-/usr/bin/python3}
LOG=$KALVANE_E2E_ARTIFACTS
XVFB_PID=""
SERVICE_PID=""

log() { echo "e2e: $*" >&2; }

cleanup() {
  local rc=$?
  trap - EXIT INT TERM
  if [[ -d $WINEPREFIX ]]; then timeout 20 wineserver -k >/dev/null 2>&1; fi
  if [[ -n $SERVICE_PID ]]; then kill "$SERVICE_PID" 2>/dev/null; wait "$SERVICE_PID" 2>/dev/null; fi
  if [[ -n $XVFB_PID ]]; then kill "$XVFB_PID" 2>/dev/null; wait "$XVFB_PID" 2>/dev/null; fi
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

setup_failed() {
  log "setup failed: $*"
  echo "e2e: 0 passed, 1 failed"
  exit 1
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

ip link set lo up || setup_failed "cannot bring up lo"
cp /etc/hosts "$KALVANE_E2E_WORK/hosts.namespace"
echo "127.0.0.1 $KALVANE_E2E_HOST" >>"$KALVANE_E2E_WORK/hosts.namespace"
mount --bind "$KALVANE_E2E_WORK/hosts.namespace" /etc/hosts || setup_failed "cannot bind /etc/hosts"
# A test may map the service host otherwise by rewriting this file in place (e2e_support.py).
export KALVANE_E2E_NAMESPACE_HOSTS=$KALVANE_E2E_WORK/hosts.namespace

# Xvfb picks a free display itself and reports it on fd 3.
rm -f "$KALVANE_E2E_WORK/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$KALVANE_E2E_WORK/display" \
  >"$LOG/xvfb.log" 2>&1 &
XVFB_PID=$!
wait_for 15 test -s "$KALVANE_E2E_WORK/display" || setup_failed "Xvfb did not start"
export DISPLAY=":$(tr -d '[:space:]' <"$KALVANE_E2E_WORK/display")"
log "Xvfb on $DISPLAY"

# The locale reaches Wine and the tests only (this shell has no such Linux locale installed).
in_locale() { LC_ALL=$KALVANE_E2E_LOCALE "$@"; }
if [[ ! -f $WINEPREFIX/.kalvane-e2e-ready-1 ]]; then
  log "creating the Wine prefix $WINEPREFIX"
  rm -rf "$WINEPREFIX"
  in_locale timeout 300 wineboot -i >"$LOG/wineboot.log" 2>&1 || setup_failed "wineboot failed"
  timeout 300 wineserver -w || setup_failed "wineserver did not settle"
  # No window manager runs on Xvfb. Unmanaged windows get their title bars (close box
  # included) drawn by Wine, and closing them does not wait for a window manager's answer.
  in_locale timeout 120 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    >>"$LOG/wineboot.log" 2>&1 || setup_failed "cannot set up window decorations"
  timeout 300 wineserver -w || setup_failed "wineserver did not settle"
  touch "$WINEPREFIX/.kalvane-e2e-ready-1"
fi
# The title bars' buttons are glyphs of the Marlett font (from fonts-wine); without it Wine draws
# them as the letters "0", "1" and "r" in the screenshots. Debian's Wine does not load it from
# /usr/share/wine/fonts, but does from the prefix's Fonts folder.
FONTS_DIR=$WINEPREFIX/drive_c/windows/Fonts
[[ -f $FONTS_DIR/marlett.ttf ]] || cp /usr/share/wine/fonts/marlett.ttf "$FONTS_DIR/" ||
  log "no Marlett font (fonts-wine): title bar buttons show as letters"
HOSTS_FILE=$WINEPREFIX/drive_c/windows/system32/drivers/etc/hosts
[[ -f $HOSTS_FILE ]] || setup_failed "the prefix has no hosts file"
cp "$HOSTS_FILE" "$KALVANE_E2E_WORK/hosts.pristine"
export KALVANE_E2E_HOSTS_PRISTINE=$KALVANE_E2E_WORK/hosts.pristine
# A persistent wineserver saves every later wine call its start-up. The first Windows program
# also starts Wine's desktop and services, which would otherwise be started by (and inherit the
# output of) the first test's program.
in_locale timeout 20 wineserver -p || setup_failed "wineserver would not start"
in_locale timeout 120 wine "$KALVANE_KDRIVER" windows >"$LOG/wine-warmup.log" 2>&1 ||
  setup_failed "the driver does not run under Wine"
# Wine's desktop process (explorer.exe) closes about a second after the last program that uses
# the desktop ends, and starts again with the next one. A program started while it closes finds
# no desktop: its first window or message box fails, or it waits for the next desktop (a start
# right after an installer run or a test's end). A hidden window keeps the desktop for the whole
# run, as Windows' shell is there for the whole session; wineserver -k ends it.
in_locale wine "$KALVANE_KDRIVER" keep-desktop $(((SUITE_TIMEOUT + 60) * 1000)) \
  >"$LOG/keep-desktop.log" 2>&1 &
wait_for 60 grep -q kept "$LOG/keep-desktop.log" || setup_failed "the desktop is not kept"

"$PYTHON" "$REPO/tools/fake_service.py" --port 80 --control-port 8079 \
  --log "$LOG/fake-service.jsonl" >"$LOG/fake-service.log" 2>&1 &
SERVICE_PID=$!
export KALVANE_E2E_CONTROL=http://127.0.0.1:8079
wait_for 15 "$PYTHON" -c "import urllib.request as u; u.urlopen('$KALVANE_E2E_CONTROL/health', timeout=1)" \
  2>/dev/null || setup_failed "the fake service did not start"

if [[ -n ${KALVANE_E2E_EXEC:-} ]]; then
  # For working on the harness: a command of one's own in the prepared environment.
  in_locale timeout --kill-after=10 "$SUITE_TIMEOUT" bash -c "$KALVANE_E2E_EXEC"
  exit $?
fi
log "testing $KALVANE_EXE (locale $KALVANE_E2E_LOCALE, service host $KALVANE_E2E_HOST)"
in_locale timeout --kill-after=10 "$SUITE_TIMEOUT" "$PYTHON" "$REPO/tests/e2e/run_suite.py" "$@" \
  2>&1 | tee "$LOG/e2e.log"
status=${PIPESTATUS[0]}
if ((status == 124 || status == 137)); then
  echo "e2e: suite timed out after ${SUITE_TIMEOUT}s"
  echo "e2e: 0 passed, 1 failed"
fi
exit "$status"
