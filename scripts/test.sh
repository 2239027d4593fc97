#!/usr/bin/env bash
# Builds everything and runs every test: the portable core natively (ASan + UBSan), its fuzzers
# for a bounded time, the Windows layer under Wine, and the shipped executable end to end.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)

bash scripts/install-deps.sh || exit 1

passed=0
failed=0
record() { # name, passed, failed
  echo "== $1: $2 passed, $3 failed"
  passed=$((passed + $2))
  failed=$((failed + $3))
}
# Each stage's counts come from its runner's JUnit XML (ctest --output-junit; the Python suites
# write theirs through KALVANE_E2E_JUNIT, see tests/e2e/run_suite.py) and its exit status. A stage
# that left no readable result file counts as one failure, and so does one that passed no test or
# exited non-zero with no failed test in its file (ctest writes a test it could not start as
# skipped).
junit_counts() { # exit status, JUnit XML file -> "passed failed"
  python3 - "$1" "$2" <<'PY'
import sys
import xml.etree.ElementTree as ElementTree

status, path = int(sys.argv[1]), sys.argv[2]
passed = failed = 0
try:
    cases = ElementTree.parse(path).getroot().iter("testcase")
    for case in cases:
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif case.find("skipped") is None:
            passed += 1
except (OSError, ElementTree.ParseError):
    passed, failed = 0, 1
if failed == 0 and (status != 0 or passed == 0):
    failed = 1
print(passed, failed)
PY
}
logs="$root/build/test-logs"
results="$logs/results" # the runners' JUnit XML files, made anew on every run
rm -rf "$results"
mkdir -p "$logs" "$results"

# 1. Portable core.
if cmake --preset native >"$logs/native-configure.log" 2>&1 &&
  cmake --build --preset native -j2 >"$logs/native-build.log" 2>&1; then
  ctest --preset native -j2 --output-junit "$results/native.xml" 2>&1 |
    tee "$logs/native-ctest.log" | tail -n 4
  status=${PIPESTATUS[0]}
  read -r p f < <(junit_counts "$status" "$results/native.xml")
  record native "$p" "$f"
else
  tail -n 40 "$logs"/native-*.log
  record native 0 1
fi

# Benchmarks: built, not run (scripts/bench.sh runs them), so that a change to the code they
# call cannot break them unseen.
if cmake --preset bench >"$logs/bench-configure.log" 2>&1 &&
  cmake --build --preset bench -j2 >"$logs/bench-build.log" 2>&1; then
  record bench 1 0
else
  tail -n 40 "$logs"/bench-*.log
  record bench 0 1
fi

# 2. Fuzzers, a short bounded run each. Inputs that once broke a property are kept in
# tests/fuzz/regressions/<target>/ and run as seeds every time; new finds go to build/fuzz only.
if cmake --preset fuzz >"$logs/fuzz-configure.log" 2>&1 &&
  cmake --build --preset fuzz -j2 >"$logs/fuzz-build.log" 2>&1; then
  fp=0 ff=0
  for fuzzer in build/fuzz/*_fuzz; do
    [[ -f $fuzzer && -x $fuzzer ]] || continue # the corpus and findings folders match too
    name=$(basename "$fuzzer")
    corpus="build/fuzz/corpus-$name"
    mkdir -p "$corpus" "build/fuzz/findings-$name"
    seeds=()
    [[ -d tests/fuzz/regressions/$name ]] && seeds=("tests/fuzz/regressions/$name")
    if "$fuzzer" -max_total_time=20 -timeout=5 -rss_limit_mb=2048 \
      -artifact_prefix="build/fuzz/findings-$name/" "$corpus" "${seeds[@]}" \
      >"$logs/$name.log" 2>&1; then
      fp=$((fp + 1))
    else
      ff=$((ff + 1))
      tail -n 30 "$logs/$name.log"
    fi
  done
  record fuzz "$fp" "$ff"
else
  tail -n 40 "$logs"/fuzz-*.log
  record fuzz 0 1
fi

# 3. Windows layer under Wine (on a virtual display: windows and tray icons need one).
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if cmake --preset windows >"$logs/windows-configure.log" 2>&1 &&
  cmake --build --preset windows -j2 >"$logs/windows-build.log" 2>&1; then
  display=":$((90 + RANDOM % 100))"
  Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
  [[ -d "$WINEPREFIX" ]] || DISPLAY="$display" wineboot -i >/dev/null 2>&1
  # No window manager on the virtual display: Wine draws the frames itself, and closing a
  # window does not wait for a manager that never answers.
  DISPLAY="$display" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
  DISPLAY="$display" ctest --preset windows --output-junit "$results/windows.xml" 2>&1 |
    tee "$logs/windows-ctest.log" | tail -n 4
  status=${PIPESTATUS[0]}
  read -r p f < <(junit_counts "$status" "$results/windows.xml")
  record windows "$p" "$f"
  wineserver -k 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
else
  tail -n 40 "$logs"/windows-*.log
  record windows 0 1
fi

# 4. End to end: the shipped executable under Wine against the fake service.
if [[ -x build/windows/Kalvane.exe || -f build/windows/Kalvane.exe ]]; then
  KALVANE_E2E_JUNIT="$results/e2e.xml" bash tests/e2e/run_e2e.sh build/windows/Kalvane.exe 2>&1 |
    tee "$logs/e2e.log" | tail -n 15
  status=${PIPESTATUS[0]}
  read -r p f < <(junit_counts "$status" "$results/e2e.xml")
  record e2e "$p" "$f"
else
  record e2e 0 1
fi

# 5. Release: build the artefacts, test the installer and the release executable under Wine
#    (tests/e2e/installer_tests.py, in a Wine prefix of its own), and build it all twice to
#    check that the builds are reproducible (scripts/reproducible.sh).
if KALVANE_SKIP_DEPS=1 bash scripts/release.sh >"$logs/release-build.log" 2>&1; then
  version=$(cat build/release/cmake/generated/version.txt)
  KALVANE_E2E_JUNIT="$results/installer.xml" \
    KALVANE_SETUP="build/release/Kalvane-$version-setup.exe" \
    KALVANE_NSIS_SETTINGS=build/release/cmake/generated/kalvane.nsh \
    KALVANE_OLD_EXE=build/windows/Kalvane.exe \
    KALVANE_WIN_TESTS=build/windows/kalvane_win_tests.exe \
    bash tests/e2e/run_e2e.sh --exe build/release/Kalvane.exe \
    --driver build/windows/kdriver/kdriver.exe --work build/e2e-release \
    --artifacts build/e2e-release-artifacts installer_tests 2>&1 |
    tee "$logs/installer.log" | tail -n 10
  status=${PIPESTATUS[0]}
  read -r p f < <(junit_counts "$status" "$results/installer.xml")
  record installer "$p" "$f"
else
  tail -n 40 "$logs/release-build.log"
  record installer 0 1
fi
# The signed release, with a throwaway test certificate (scripts/signing-test.sh).
KALVANE_E2E_JUNIT="$results/signing.xml" KALVANE_SKIP_DEPS=1 bash scripts/signing-test.sh 2>&1 |
  tee "$logs/signing.log" | tail -n 10
status=${PIPESTATUS[0]}
read -r p f < <(junit_counts "$status" "$results/signing.xml")
record signing "$p" "$f"
if KALVANE_REPRO_NO_DEPS=1 bash scripts/reproducible.sh >"$logs/reproducible.log" 2>&1; then
  tail -n 3 "$logs/reproducible.log"
  record reproducible 1 0
else
  tail -n 20 "$logs/reproducible.log"
  record reproducible 0 1
fi

echo "all: $passed passed, $failed failed"
[[ $failed -eq 0 && $passed -gt 0 ]]
