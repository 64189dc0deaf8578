#!/usr/bin/env bash
# Smoke run of the real window on a virtual X display with a window manager and a tray:
# it must start, show its window titled "Tillstream", install its tray icon, answer a
# show-window request, and end cleanly when closed.
set -uo pipefail
build=${TILLSTREAM_BUILD_DIR:?}
app=$build/src/tillstream
cli=$build/src/tillstream-cli
[[ -x $app ]] || { echo "no window in this build: skipped"; exit 77; }
for tool in Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done

work=$(mktemp -d)
cleanup() {
  [[ -n ${app_pid:-} ]] && kill "$app_pid" 2>/dev/null
  [[ -n ${tray_pid:-} ]] && kill "$tray_pid" 2>/dev/null
  [[ -n ${wm_pid:-} ]] && kill "$wm_pid" 2>/dev/null
  [[ -n ${x_pid:-} ]] && kill "$x_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 -p "$XDG_RUNTIME_DIR"

# The server picks a free display itself, so runs side by side never share one.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
x_pid=$!
exec 3>&-
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
if command -v openbox >/dev/null; then
  openbox >"$work/wm.log" 2>&1 &
  wm_pid=$!
  # A window mapped while the window manager is still starting can be left unmapped by it.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
fi
command -v trayer >/dev/null && { trayer --edge top --align right >"$work/tray.log" 2>&1 & tray_pid=$!; }
sleep 1

TILLSTREAM_TRACE=1 "$app" >"$work/app.log" 2>&1 &
app_pid=$!
window=
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Tillstream$' 2>/dev/null | head -n 1)
  [[ -n $window ]] && break
  sleep 0.1
done
if [[ -z $window ]]; then
  echo "FAIL: no window titled Tillstream appeared"; cat "$work/app.log"; exit 1
fi
echo "window $window is up"

if [[ -n ${tray_pid:-} ]]; then
  for _ in $(seq 50); do grep -q "icon installed" "$work/app.log" && break; sleep 0.1; done
  if ! grep -q "icon installed" "$work/app.log"; then
    echo "FAIL: a notification area is running but the tray icon was not installed"
    cat "$work/app.log"; exit 1
  fi
  echo "tray icon installed"
fi

if [[ -x $cli ]]; then
  for _ in $(seq 50); do [[ -S $XDG_RUNTIME_DIR/HWM_TRAY_REGISTERED_MSG ]] && break; sleep 0.1; done
  answer=$("$cli" show 2>&1)
  [[ $answer == *1* ]] || { echo "FAIL: show request answered '$answer'"; exit 1; }
  echo "show request answered: $answer"
fi

xdotool key --window "$window" Escape
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$app_pid" 2>/dev/null; then
  echo "FAIL: Esc did not end the program"; exit 1
fi
wait "$app_pid"; status=$?
app_pid=
echo "exit status $status"
exit "$status"
