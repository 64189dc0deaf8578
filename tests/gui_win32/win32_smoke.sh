#!/usr/bin/env bash
# tillstream.exe as a user starts it, under Wine on a virtual display: its window titled
# "Tillstream" appears, and the program ends when the window is closed. Run inside scripts/wine-gui-run (which sets $WINE and the display).
#
#   scripts/wine-gui-run bash tests/gui_win32/win32_smoke.sh build/windows/src/tillstream.exe
set -uo pipefail
program=${1:?usage: win32_smoke.sh tillstream.exe}
: "${WINE:?run me through scripts/wine-gui-run}"

"$WINE" "$program" &
pid=$!
window=
for _ in $(seq 1 120); do   # only against hanging: the window usually shows within seconds
  window=$(xdotool search --name '^Tillstream$' 2>/dev/null | head -n 1) && [[ -n $window ]] && break
  kill -0 "$pid" 2>/dev/null || { echo "FAIL: tillstream.exe ended before its window showed"; exit 1; }
  sleep 0.5
done
if [[ -z $window ]]; then
  echo "FAIL: no window titled Tillstream"
  kill "$pid" 2>/dev/null
  exit 1
fi
echo "ok: window $window titled '$(xdotool getwindowname "$window")'"

# Wine's taskkill without /f closes the program's windows (WM_CLOSE), as the close box does: a
# command of the ui, which ends the program. (Keys would need the keyboard focus, which a display
# without a window manager gives no one reliably.)
"$WINE" taskkill /im tillstream.exe >/dev/null 2>&1 || true
for _ in $(seq 1 60); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.5
done
if kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: tillstream.exe still runs after its window was closed"
  kill "$pid"
  exit 1
fi
wait "$pid"
echo "ok: tillstream.exe ended with status $?"
