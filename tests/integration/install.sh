#!/usr/bin/env bash
# Installs the build under test into a staging folder, as a packager would, and checks what a
# desktop needs from it: both programs in bin/, a .desktop file named after the application id
# that desktop-file-validate accepts and that names its icon, and that icon where the icon theme
# looks for it. The installed command line must run from there.
set -uo pipefail
build=${TILLSTREAM_BUILD_DIR:?}
[[ -f $build/cmake_install.cmake ]] || { echo "FAIL: $build is not a configured build"; exit 1; }

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cmake --install "$build" --prefix "$staging" >"$staging.log" 2>&1; then
  cat "$staging.log"; rm -f "$staging.log"
  echo "FAIL: cmake --install failed"; exit 1
fi
rm -f "$staging.log"

cli=$staging/bin/tillstream-cli
[[ -x $cli ]] || fail "bin/tillstream-cli is missing or not executable"
# The window is only built with Qt; when the build has it, it must be installed too.
if [[ -x $build/src/tillstream ]]; then
  [[ -x $staging/bin/tillstream ]] || fail "bin/tillstream is missing or not executable"
else
  echo "this build has no window: bin/tillstream not expected"
fi

desktop=$staging/share/applications/org.vaz.Tillstream.desktop
if [[ ! -f $desktop ]]; then
  fail "share/applications/org.vaz.Tillstream.desktop is missing"
else
  if command -v desktop-file-validate >/dev/null; then
    # desktop-file-validate prints hints as well as errors; only errors and warnings count.
    report=$(desktop-file-validate "$desktop" 2>&1)
    if [[ $? -ne 0 ]] || grep -qE 'error:|warning:' <<<"$report"; then
      fail "desktop-file-validate: $report"
    fi
  else
    echo "desktop-file-validate missing: validation skipped"
  fi
  grep -qE '^Categories=.+;' "$desktop" || fail "the .desktop file has no Categories"
  grep -qx 'Exec=tillstream' "$desktop" || fail "the .desktop file does not start tillstream"
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [[ $icon == org.vaz.Tillstream ]] || fail "the .desktop file names icon '$icon'"
  found=$(find "$staging/share/icons/hicolor" -name "$icon.png" -o -name "$icon.svg" 2>/dev/null)
  [[ -n $found ]] || fail "no icon $icon under share/icons/hicolor"
  for f in $found; do
    # An icon in a sized folder must have that size, or the theme shows it scaled wrongly.
    size=$(basename "$(dirname "$(dirname "$f")")")
    if [[ $f == *.png && $size =~ ^([0-9]+)x([0-9]+)$ ]]; then
      read -r w h < <(od -An -tu1 -j16 -N8 "$f" |
        awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
      [[ "${w}x${h}" == "$size" ]] || fail "$f is ${w}x${h}, not $size"
    fi
  done
fi

if [[ -x $cli ]]; then
  version=$("$cli" --version 2>&1)
  status=$?
  [[ $status -eq 0 ]] || fail "installed tillstream-cli --version exited with $status: $version"
  [[ $version == *[0-9].[0-9]* ]] || fail "installed tillstream-cli --version printed '$version'"
  echo "installed: $version"
fi

echo "installed files:"
(cd "$staging" && find . -type f | sort)
((failures == 0)) || exit 1
echo "install checks passed"
