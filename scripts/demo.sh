#!/usr/bin/env bash
# Builds Kalvane.exe and runs it under Wine against the bundled demo service, in a private
# network namespace where the service's host name points at the loopback service. On a machine
# without a display it runs on a virtual one, saves a screenshot and closes the program again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target Kalvane kdriver >/dev/null

host=$(sed -n 's/^KALVANE_SERVER_HOST:STRING=//p' build/windows/CMakeCache.txt)
run_dir="$root/build/demo"
mkdir -p "$run_dir/app"
rm -f "$run_dir/service.jsonl" "$run_dir/screenshot.png"
cp build/windows/Kalvane.exe "$run_dir/app/"
export WINEPREFIX="$root/build/wineprefix-demo" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The program runs in the Chinese locale (code page 936), as it does for its users; the locale
# (made by install-deps.sh) is given to the Wine processes only, and this script's own messages
# stay in yours.
wine_locale=${LC_ALL:-zh_CN.UTF-8}

own_display=""
if [[ -z "${DISPLAY:-}" ]]; then
  export DISPLAY=":$((190 + RANDOM % 50))"
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  own_display=$!
  sleep 1
fi
if [[ ! -d "$WINEPREFIX" ]]; then
  LC_ALL=$wine_locale wineboot -i >/dev/null 2>&1
  # Without a window manager Wine draws the window frames itself.
  if [[ -n "$own_display" ]]; then
    LC_ALL=$wine_locale wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      >/dev/null 2>&1
  fi
  wineserver -w
fi
# The title bar's buttons are glyphs of the Marlett font (from fonts-wine); without it Wine draws
# them as the letters "0", "1" and "r". Debian's Wine does not load it from /usr/share/wine/fonts,
# but does from the prefix's Fonts folder.
fonts_dir="$WINEPREFIX/drive_c/windows/Fonts"
[[ -f "$fonts_dir/marlett.ttf" ]] || cp /usr/share/wine/fonts/marlett.ttf "$fonts_dir/"

export root host run_dir own_display wine_locale
unshare -n -m bash -c '
  set -euo pipefail
  ip link set lo up
  cp /etc/hosts "$run_dir/hosts.ns"
  echo "127.0.0.1 $host" >>"$run_dir/hosts.ns"
  mount --bind "$run_dir/hosts.ns" /etc/hosts
  python3 "$root/tools/fake_service.py" --log "$run_dir/service.jsonl" >"$run_dir/service.log" 2>&1 &
  service=$!
  for _ in $(seq 1 50); do
    python3 -c "import urllib.request; urllib.request.urlopen(\"http://127.0.0.1:8079/health\")" 2>/dev/null && break
    sleep 0.2
  done
  python3 - <<PY
import json, urllib.request
demo = {"ok": True, "repeat": 1000,
        "mappings": [["demo1.kalvane.example", "10.0.0.1"], ["demo2.kalvane.example", "10.0.0.2"]]}
urllib.request.urlopen(urllib.request.Request("http://127.0.0.1:8079/default",
                       data=json.dumps(demo).encode(), method="POST")).read()
PY
  if [[ -n "$own_display" ]]; then
    LC_ALL=$wine_locale wine "$run_dir/app/Kalvane.exe" &
    app=$!
    shown=""
    for _ in $(seq 1 120); do
      xdotool search --name "^Kalvane\$" >/dev/null 2>&1 && { shown=1; break; }
      sleep 0.5
    done
    [[ -n $shown ]] || echo "The window did not appear within a minute."
    sleep 2
    import -window root "$run_dir/screenshot.png"
    echo "Screenshot of the window: $run_dir/screenshot.png"
    echo "The hosts file while Kalvane runs ends with:"
    tail -n 3 "$WINEPREFIX/drive_c/windows/system32/drivers/etc/hosts" | sed "s/^/  /"
    LC_ALL=$wine_locale wine "$root/build/windows/kdriver/kdriver.exe" close Kalvane 5000 \
      >/dev/null 2>&1 || kill "$app" 2>/dev/null || true
    wait "$app" || true
  else
    echo "Kalvane is running; close its window to end the demo."
    LC_ALL=$wine_locale wine "$run_dir/app/Kalvane.exe" || true
  fi
  echo "The service received:"; sed -n "s/.*\"text\": \"\\([^\"]*\\)\".*/  \\1/p" "$run_dir/service.jsonl" | head -n 5
  echo "After closing, the hosts file ends with:"
  tail -n 2 "$WINEPREFIX/drive_c/windows/system32/drivers/etc/hosts" | sed "s/^/  /"
  kill "$service" 2>/dev/null || true
'
wineserver -k 2>/dev/null || true
if [[ -n "$own_display" ]]; then kill "$own_display" 2>/dev/null || true; fi
