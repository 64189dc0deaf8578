#!/usr/bin/env bash
# The window started with --load FILE has FILE loaded as if it had been chosen with "...":
# pressing Output Start (reached with the keyboard) plays exactly that file's bytes to a
# loopback receiver, with nothing chosen by hand.
set -uo pipefail
build=$(realpath "${TILLSTREAM_BUILD_DIR:?}")
source_dir=${TILLSTREAM_SOURCE_DIR:?}
app=$build/src/tillstream
cli=$build/src/tillstream-cli
[[ -x $app ]] || { echo "no window in this build: skipped"; exit 77; }
for tool in Xvfb xdotool openbox; do
  command -v $tool >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done

work=$(mktemp -d)
cleanup() {
  [[ -n ${app_pid:-} ]] && kill "$app_pid" 2>/dev/null
  [[ -n ${recv_pid:-} ]] && kill "$recv_pid" 2>/dev/null
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

# A relative name: the window must take it from the directory it was started in.
(cd "$work" && exec "$app" --load receipt.txt) >"$work/app.log" 2>&1 &
app_pid=$!
window=
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Tillstream$' 2>/dev/null | head -n 1)
  [[ -n $window ]] && break
  sleep 0.1
done
[[ -n $window ]] || { echo "FAIL: no window titled Tillstream appeared"; cat "$work/app.log"; exit 1; }
sleep 0.5
xdotool windowactivate --sync "$window" 2>/dev/null
# The focus starts in the file name field; "..." comes next and then Output Start (the
# conversion button is disabled for a plain data file).
xdotool key --window "$window" Tab
xdotool key --window "$window" Tab
xdotool key --window "$window" space

# The receiver ends by itself when the window's connection closes at the end of the file.
for _ in $(seq 300); do kill -0 "$recv_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$recv_pid" 2>/dev/null; then
  echo "FAIL: nothing was played to the receiver within 30 s"; cat "$work/recv.err"; exit 1
fi
recv_pid=
if ! cmp "$work/receipt.txt" "$work/received"; then
  echo "FAIL: the receiver did not get the loaded file's bytes"; exit 1
fi
echo "the window played the file given with --load: $(wc -c <"$work/received") bytes"

xdotool key --window "$window" Escape 2>/dev/null  # the window may be gone before the key is let go
for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app_pid" 2>/dev/null && { echo "FAIL: the window did not end on Esc"; exit 1; }
wait "$app_pid"; status=$?
app_pid=
exit "$status"
