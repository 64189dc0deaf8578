#!/usr/bin/env bash
# Builds the Windows installer from the build under test with cpack and runs it as a user would,
# under Wine in a prefix of its own: the pages it was made with (no placeholder licence, the
# program's icon, a finish page that can start the window), a silent install (the programs, the
# Start-menu shortcut, the uninstall entry), then a silent uninstall, which removes all of that,
# leaves no empty vendor key behind and keeps the user's settings.
set -uo pipefail
build=${TILLSTREAM_BUILD_DIR:?}
source_dir=${TILLSTREAM_SOURCE_DIR:?}

command -v makensis >/dev/null || { echo "SKIP: makensis is missing (Debian package nsis)"; exit 77; }
[[ -f $build/src/tillstream.exe && -f $build/src/tillstream-cli.exe ]] ||
  { echo "SKIP: $build holds no Windows programs to package"; exit 77; }

work=$(mktemp -d)
export WINEPREFIX=$work/prefix
wine_run() { "$source_dir/scripts/wine-run" "$@"; }
trap 'wine_run --end-prefix >/dev/null 2>&1; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cpack --config "$build/CPackConfig.cmake" -G NSIS -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"; echo "FAIL: cpack could not build the installer"; exit 1
fi
installer=$(ls "$work"/out/Tillstream-*-win64.exe 2>/dev/null | head -1)
[[ -n $installer ]] || { echo "FAIL: no installer; cpack made:"; ls "$work/out"; exit 1; }

# --- the pages, as the script that made the installer has them -------------------------------
script=$(find "$work/out" -name project.nsi | head -1)
if [[ -z $script ]]; then
  fail "no project.nsi beside the installer"
else
  grep -q 'MUI_PAGE_LICENSE' "$script" && fail "the installer still shows a licence page"
  grep -q '!define MUI_ICON .*tillstream\.ico' "$script" || fail "the installer has no program icon"
  grep -q '!define MUI_UNICON .*tillstream\.ico' "$script" ||
    fail "the uninstaller has no program icon"
  grep -q '!define MUI_FINISHPAGE_RUN .*tillstream\.exe' "$script" ||
    fail "the finish page cannot start the window"
fi

# --- install -------------------------------------------------------------------------------------
wine_run --start-prefix >/dev/null || { echo "FAIL: no Wine prefix"; exit 1; }
program_files="$WINEPREFIX/drive_c/Program Files/Tillstream"
wine_run "$installer" /S || fail "the silent install ended with $?"
# The installer's own process may end before the files are all in place.
for _ in $(seq 50); do [[ -f $program_files/Uninstall.exe ]] && break; sleep 0.2; done
for file in tillstream.exe tillstream-cli.exe README.md Uninstall.exe; do
  [[ -f $program_files/$file ]] || fail "$file is not installed"
done
shortcut=$(find "$WINEPREFIX/drive_c" -iname 'Tillstream.lnk' | head -1)
[[ -n $shortcut ]] || fail "no Start-menu shortcut to Tillstream"
wine_run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tillstream Installer' \
  >/dev/null 2>&1 || fail "no entry in Apps & features"
version=$(wine_run "$program_files/tillstream-cli.exe" --version 2>/dev/null | tr -d '\r')
[[ $version == tillstream-cli\ * ]] || fail "the installed tillstream-cli.exe says '$version'"

# --- the user's settings, then a silent uninstall -----------------------------------------------
wine_run reg add 'HKCU\SOFTWARE\VAZ\Tillstream' /v OptionData /t REG_BINARY /d 00 /f >/dev/null 2>&1 ||
  fail "cannot store a setting"
# "_?=" keeps the uninstaller in its folder, so the wait for it is a wait for the uninstall.
wine_run "$program_files/Uninstall.exe" /S '_?=C:\Program Files\Tillstream' ||
  fail "the silent uninstall ended with $?"
# The uninstaller removes the files first and the Start-menu folder after them: wait for both.
uninstalled() {
  [[ ! -e $program_files/tillstream.exe && -z $(find "$WINEPREFIX/drive_c" -iname 'Tillstream.lnk') ]]
}
for _ in $(seq 100); do uninstalled && break; sleep 0.2; done
for file in tillstream.exe tillstream-cli.exe README.md; do
  [[ ! -e $program_files/$file ]] || fail "$file is still there after the uninstall"
done
[[ -z $(find "$WINEPREFIX/drive_c" -iname 'Tillstream.lnk') ]] || fail "the shortcut is still there"
wine_run reg query 'HKLM\Software\VAZ' >/dev/null 2>&1 &&
  fail "the uninstall left the key HKLM\\Software\\VAZ"
wine_run reg query 'HKCU\SOFTWARE\VAZ\Tillstream' /v OptionData >/dev/null 2>&1 ||
  fail "a silent uninstall deleted the user's settings"

if ((failures)); then
  echo "$failures failures"; exit 1
fi
echo "PASS: installer pages, silent install and uninstall under Wine"
