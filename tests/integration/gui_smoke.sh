#!/usr/bin/env bash
# Smoke runs of the real window on a virtual X display with a window manager (and a tray when
# trayer is there). It starts with --load FILE, which loads FILE as if it had been chosen with
# "...", installs its tray icon, answers a show-window request, plays exactly that file's bytes
# to a loopback receiver on Enter on Output Start (reached with the keyboard) and stays open, and
# ends with status 0 on Esc. A file of one line of 20 MB (a binary capture) is drawn at once and
# played whole too.
set -uo pipefail
build=$(realpath "${TILLSTREAM_BUILD_DIR:?}")
source_dir=${TILLSTREAM_SOURCE_DIR:?}
app=$build/src/tillstream
cli=$build/src/tillstream-cli
[[ -x $app ]] || { echo "no window in this build: skipped"; exit 77; }
for tool in Xvfb xdotool openbox import; do
  command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done

work=$(mktemp -d)
cleanup() {
  [[ -n ${app_pid:-} ]] && kill "$app_pid" 2>/dev/null
  [[ -n ${recv_pid:-} ]] && kill "$recv_pid" 2>/dev/null
  [[ -n ${tray_pid:-} ]] && kill "$tray_pid" 2>/dev/null
  [[ -n ${wm_pid:-} ]] && kill "$wm_pid" 2>/dev/null
  [[ -n ${x_pid:-} ]] && kill "$x_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
mkdir -p "$XDG_CONFIG_HOME" && mkdir -m 700 -p "$XDG_RUNTIME_DIR"
cp "$source_dir/samples/receipt.txt" "$work/receipt.txt"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
x_pid=$!
exec 3>&-
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
export DISPLAY=:$(cat "$work/display") QT_QPA_PLATFORM=xcb
openbox >"$work/wm.log" 2>&1 &
wm_pid=$!
# A window mapped while the window manager is still starting can be left unmapped by it:
# wait until it has announced itself on the root window.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
command -v trayer >/dev/null && { trayer --edge top --align right >"$work/tray.log" 2>&1 & tray_pid=$!; sleep 1; }

# Starts a receiver that takes one connection and writes what it gets to $work/received.
start_receiver() {
  rm -f "$work/received" "$work/recv.err"
  "$cli" receive --tcp 127.0.0.1:0 --once --quiet --out "$work/received" >/dev/null 2>"$work/recv.err" &
  recv_pid=$!
  port=
  for _ in $(seq 100); do
    port=$(sed -n 's/^listening on tcp [0-9.]*:\([0-9]*\)$/\1/p' "$work/recv.err")
    [[ -n $port ]] && break
    sleep 0.1
  done
  [[ -n $port ]] || { echo "FAIL: receiver did not start"; cat "$work/recv.err"; exit 1; }
  "$cli" options set outputInterface=0 remoteAddress=127.0.0.1 remotePort="$port" delayMs=10 loopEnabled=0 ||
    { echo "FAIL: options set"; exit 1; }
}

# Starts the window on `--load NAME` (relative to $work) and waits for it.
start_window() {
  (cd "$work" && TILLSTREAM_TRACE=1 exec "$app" --load "$1") >"$work/app.log" 2>&1 &
  app_pid=$!
  window=
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Tillstream$' 2>/dev/null | head -n 1)
    [[ -n $window ]] && break
    sleep 0.1
  done
  [[ -n $window ]] || { echo "FAIL: no window titled Tillstream appeared"; cat "$work/app.log"; exit 1; }
  # The first window found can be one the toolkit replaces while the window sets itself up.
  sleep 0.5
  window=$(xdotool search --onlyvisible --name '^Tillstream$' 2>/dev/null | head -n 1)
}

# Tabs from the file name field (where the focus starts) past "..." to Output Start (the
# conversion button is disabled for a plain data file) and presses Enter; the receiver must
# get exactly the bytes of `file`, and the window must still be there afterwards.
play_with_keyboard() {
  local file=$1
  xdotool windowactivate --sync "$window" 2>/dev/null
  xdotool key --window "$window" Tab Tab Return
  # The receiver ends by itself when the window's connection closes at the end of the file.
  for _ in $(seq 300); do kill -0 "$recv_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$recv_pid" 2>/dev/null; then
    echo "FAIL: nothing was played to the receiver within 30 s"; cat "$work/recv.err"; exit 1
  fi
  recv_pid=
  if ! cmp "$file" "$work/received"; then
    echo "FAIL: the receiver did not get the loaded file's bytes"; exit 1
  fi
  sleep 0.3
  if ! kill -0 "$app_pid" 2>/dev/null || ! xdotool search --onlyvisible --name '^Tillstream$' >/dev/null 2>&1; then
    echo "FAIL: Enter on Output Start ended the window"; exit 1
  fi
}

end_window() {
  xdotool key --window "$window" Escape 2>/dev/null  # the window may be gone before the key is let go
  # ...and then the server holds Escape down and repeats it into the next window: let it go.
  xdotool keyup Escape 2>/dev/null
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app_pid" 2>/dev/null && { echo "FAIL: the window did not end on Esc"; exit 1; }
  wait "$app_pid"; status=$?
  app_pid=
  [[ $status == 0 ]] || { echo "FAIL: the window ended with status $status"; exit 1; }
}

# A relative name: the window must take it from the directory it was started in.
start_receiver
start_window receipt.txt
if [[ -n ${tray_pid:-} ]]; then
  for _ in $(seq 50); do grep -q "icon installed" "$work/app.log" && break; sleep 0.1; done
  grep -q "icon installed" "$work/app.log" ||
    { echo "FAIL: a notification area is running but the tray icon was not installed"; exit 1; }
  echo "tray icon installed"
fi
for _ in $(seq 50); do [[ -S $XDG_RUNTIME_DIR/HWM_TRAY_REGISTERED_MSG ]] && break; sleep 0.1; done
answer=$("$cli" show 2>&1)
[[ $answer == *1* ]] || { echo "FAIL: show request answered '$answer'"; exit 1; }
play_with_keyboard "$work/receipt.txt"
echo "the window played the file given with --load: $(wc -c <"$work/received") bytes"
end_window

# One line of 20 MB without a line end. The list must be drawn (its area no longer the black
# of a window never painted); the wait is bounded only so that a fault cannot hang the test.
head -c 20M /dev/urandom | tr '\n' 'x' >"$work/capture.bin"
start_receiver
start_window capture.bin
painted=
for _ in $(seq 200); do
  pixel=$(import -window "$window" -crop 1x1+100+400 txt:- 2>/dev/null | tail -n 1)
  [[ -n $pixel && $pixel != *"#000000"* ]] && { painted=1; break; }
  sleep 0.1
done
[[ -n $painted ]] || { echo "FAIL: the window did not draw its list of one 20 MB line"; exit 1; }
peak_kib=$(sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB$/\1/p' "/proc/$app_pid/status")
echo "one 20 MB line: drawn, peak resident size $peak_kib KiB"
# A line is sent with its LF, the last line of a file too when the file has none.
{ cat "$work/capture.bin"; printf '\n'; } >"$work/capture.sent"
play_with_keyboard "$work/capture.sent"
echo "the window played the 20 MB line whole"
end_window
exit 0
