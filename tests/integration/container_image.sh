#!/usr/bin/env bash
# Builds the OCI image of tillstream-cli (deploy/build-image) from the build under test and plays a
# shard of a rig from inside it to loopback receivers, its report on standard output. Where the
# machine refuses to start a container (crun cannot set the open-file limit inside it), the
# program is started from the mounted image with chroot instead: the same files, the same
# program. Skipped only where podman is missing.
set -uo pipefail
build=${TILLSTREAM_BUILD_DIR:?}
source=${TILLSTREAM_SOURCE_DIR:?}
cli=$build/src/tillstream-cli
if ! command -v podman >/dev/null 2>&1; then
  echo "SKIP: podman is not installed (scripts/setup installs it)"
  exit 77
fi
[[ -x $cli ]] || { echo "FAIL: $cli is missing"; exit 1; }
if grep -qa -e __asan_init -e __tsan_init "$cli"; then
  # The sanitizers' runtime reads /proc, which a root made of the image alone does not have.
  echo "SKIP: $cli is a sanitizer build; the image is tested from the dev and release builds"
  exit 77
fi

work=$(mktemp -d)
image=localhost/tillstream-cli-test:$$
receivers=()
cleanup() {
  for pid in "${receivers[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  podman image unmount "$image" >/dev/null 2>&1
  podman rmi -f "$image" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! "$source/deploy/build-image" "$build" "$image" >"$work/build.log" 2>&1; then
  cat "$work/build.log"
  echo "FAIL: deploy/build-image failed"; exit 1
fi
cat "$work/build.log"
# Nothing but the program and what it links: no base image.
layers=$(podman image inspect --format '{{len .RootFS.Layers}}' "$image")
[[ $layers == 1 ]] || fail "the image has $layers layers, not the one of its own files"

# Two receivers on loopback, each on a port of the system's choice.
export XDG_CONFIG_HOME=$work/config
mkdir -p "$work/rig" "$XDG_CONFIG_HOME"
ports=()
for n in 1 2; do
  "$cli" receive --tcp 127.0.0.1:0 --once --quiet --out "$work/received$n" 2>"$work/receiver$n.err" &
  receivers+=($!)
  for _ in $(seq 100); do
    port=$(sed -n 's/^listening on tcp 127.0.0.1:\([0-9]*\)$/\1/p' "$work/receiver$n.err")
    [[ -n $port ]] && break
    sleep 0.05
  done
  [[ -n $port ]] || { echo "FAIL: receiver $n did not start"; exit 1; }
  ports+=("$port")
done
printf 'TOTAL 12.50\r\nCASH 20.00\r\n' >"$work/rig/receipt.txt"
# Four lanes; shard 1 of 2 plays lanes 2 and 4 (indexes 1 and 3), one to each receiver.
cat >"$work/rig/rig.json" <<JSON
{"lanes": [
  {"file": "receipt.txt", "udp": "127.0.0.1:9", "delay": 1},
  {"file": "receipt.txt", "tcp": "127.0.0.1:${ports[0]}", "delay": 5},
  {"file": "receipt.txt", "udp": "127.0.0.1:9", "delay": 1},
  {"file": "receipt.txt", "tcp": "127.0.0.1:${ports[1]}", "delay": 5}
]}
JSON

args=(rig /rig/rig.json --shard 1/2 --report -)
podman run --rm --network host -v "$work/rig:/rig:ro" "$image" "${args[@]}" \
  >"$work/report.json" 2>"$work/run.err"
status=$?
how="podman run"
if [[ $status -ne 0 ]] && grep -q 'setrlimit' "$work/run.err"; then
  # This machine starts no container: the program from the mounted image, in its own root.
  echo "podman run refused here ($(grep -o 'crun: setrlimit[^:]*: [^:]*' "$work/run.err" | head -n 1)); using chroot"
  root=$(podman image mount "$image") || { echo "FAIL: podman image mount failed"; exit 1; }
  # The image's environment (Containerfile ENV) by hand, the rig folder where -v put it.
  unshare -m sh -c 'mount --bind "$1" "$2/rig" && shift 2 &&
    exec env -i HOME=/tmp XDG_CONFIG_HOME=/tmp/config "$(command -v chroot)" "$0" \
      /usr/bin/tillstream-cli "$@"' \
    "$root" "$work/rig" "$root" "${args[@]}" >"$work/report.json" 2>"$work/run.err"
  status=$?
  how="chroot into the mounted image"
fi
[[ $status -eq 0 ]] || fail "the rig in the image ($how) exited $status: $(cat "$work/run.err")"

# The report: lanes 2 and 4, each two lines sent, none lost.
lanes=$(jq -c '[.lanes[] | [.lane, .sent, .not_delivered]]' "$work/report.json" 2>&1)
[[ $lanes == '[[2,2,0],[4,2,0]]' ]] || fail "the report holds $lanes: $(cat "$work/report.json")"
for n in 1 2; do
  # A receiver ends after its one connection; one that got none is ended by the clean-up.
  for _ in $(seq 100); do
    kill -0 "${receivers[$((n - 1))]}" 2>/dev/null || break
    sleep 0.05
  done
  got=$(cat "$work/received$n" 2>/dev/null)
  [[ $got == $'TOTAL 12.50\r\nCASH 20.00\r' ]] || fail "receiver $n got '$got'"
done

if ((failures == 0)); then
  echo "PASS: the rig played its shard from the image ($how)"
fi
exit $((failures > 0))
