#!/usr/bin/env bash
# Builds everything and runs every test: the portable core natively (ASan + UBSan), its fuzzers
# for a bounded time, the Windows layer under Wine, and the shipped executable end to end.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh || exit 1

passed=0
failed=0
record() { # name, passed, failed
  echo "== $1: $2 passed, $3 failed"
  passed=$((passed + $2))
  failed=$((failed + $3))
}
ctest_counts() { # log file -> "passed failed"
  local line total fails
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
  if [[ -z "$line" ]]; then echo "0 1"; return; fi
  fails=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  echo "$((total - fails)) $fails"
}
e2e_counts() { # log file -> "passed failed" from its "e2e: N passed, N failed" line
  local line
  line=$(grep -E '^e2e: [0-9]+ passed, [0-9]+ failed' "$1" | tail -n 1)
  if [[ -z "$line" ]]; then echo "0 1"; return; fi
  echo "$(sed -E 's/^e2e: ([0-9]+) passed.*/\1/' <<<"$line") $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")"
}
logs="$root/build/test-logs"
mkdir -p "$logs"

# 1. Portable core.
if cmake --preset native >"$logs/native-configure.log" 2>&1 &&
  cmake --build --preset native -j2 >"$logs/native-build.log" 2>&1; then
  ctest --preset native -j2 2>&1 | tee "$logs/native-ctest.log" | tail -n 4
  read -r p f < <(ctest_counts "$logs/native-ctest.log")
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
  DISPLAY="$display" ctest --preset windows 2>&1 | tee "$logs/windows-ctest.log" | tail -n 4
  read -r p f < <(ctest_counts "$logs/windows-ctest.log")
  record windows "$p" "$f"
  wineserver -k 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
else
  tail -n 40 "$logs"/windows-*.log
  record windows 0 1
fi

# 4. End to end: the shipped executable under Wine against the fake service.
if [[ -x build/windows/Kalvane.exe || -f build/windows/Kalvane.exe ]]; then
  bash tests/e2e/run_e2e.sh build/windows/Kalvane.exe 2>&1 | tee "$logs/e2e.log" | tail -n 15
  read -r p f < <(e2e_counts "$logs/e2e.log")
  record e2e "$p" "$f"
else
  record e2e 0 1
fi

# 5. Release: build the artefacts, test the installer and the release executable under Wine
#    (tests/e2e/installer_tests.py, in a Wine prefix of its own), and build it all twice to
#    check that the builds are reproducible (scripts/reproducible.sh).
if KALVANE_SKIP_DEPS=1 bash scripts/release.sh >"$logs/release-build.log" 2>&1; then
  version=$(cat build/release/cmake/generated/version.txt)
  KALVANE_SETUP="build/release/Kalvane-$version-setup.exe" \
    KALVANE_NSIS_SETTINGS=build/release/cmake/generated/kalvane.nsh \
    KALVANE_OLD_EXE=build/windows/Kalvane.exe \
    KALVANE_WIN_TESTS=build/windows/kalvane_win_tests.exe \
    bash tests/e2e/run_e2e.sh --exe build/release/Kalvane.exe \
    --driver build/windows/kdriver/kdriver.exe --work build/e2e-release \
    --artifacts build/e2e-release-artifacts installer_tests 2>&1 | tee "$logs/installer.log" | tail -n 10
  read -r p f < <(e2e_counts "$logs/installer.log")
  record installer "$p" "$f"
else
  tail -n 40 "$logs/release-build.log"
  record installer 0 1
fi
# The signed release, with a throwaway test certificate (scripts/signing-test.sh).
KALVANE_SKIP_DEPS=1 bash scripts/signing-test.sh 2>&1 | tee "$logs/signing.log" | tail -n 10
read -r p f < <(e2e_counts "$logs/signing.log")
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
