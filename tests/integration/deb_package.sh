#!/usr/bin/env bash
# Builds the Debian package from the build under test with cpack, into a temporary folder, and
# checks what apt and dpkg will see: the control fields (name, the program's own version, this
# machine's architecture, dependencies found by dpkg-shlibdeps, Qt 6 among them when the window is
# built), the files and their modes, and that the packaged command line runs.
set -uo pipefail
build=${TILLSTREAM_BUILD_DIR:?}
source_dir=${TILLSTREAM_SOURCE_DIR:?}

for tool in dpkg-deb dpkg-shlibdeps cpack; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing (Debian package dpkg-dev)"; exit 77; }
done
[[ -f $build/CPackConfig.cmake ]] || { echo "FAIL: $build has no CPackConfig.cmake"; exit 1; }
built_cli=$build/src/tillstream-cli
[[ -x $built_cli ]] || { echo "SKIP: $build has no Linux tillstream-cli to package"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"; echo "FAIL: cpack could not build the package"; exit 1
fi

version=$("$built_cli" --version) || { echo "FAIL: $built_cli --version failed"; exit 1; }
version=${version##* }
arch=$(dpkg --print-architecture)
deb=$work/out/tillstream_${version}_${arch}.deb
if [[ ! -f $deb ]]; then
  echo "FAIL: no tillstream_${version}_${arch}.deb; cpack made:"; ls "$work/out"; exit 1
fi

# --- control fields ---------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == tillstream ]] || fail "Package is '$(field Package)'"
[[ $(field Version) == "$version" ]] || fail "Version '$(field Version)', the program says $version"
[[ $(field Architecture) == "$arch" ]] || fail "Architecture '$(field Architecture)', not $arch"
[[ $(field Maintainer) =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer '$(field Maintainer)'"
[[ -n $(field Section) ]] || fail "no Section"
description=$(field Description)
[[ $(wc -l <<<"$description") -ge 2 ]] || fail "Description has no long description: '$description'"

depends=$(field Depends)
echo "Depends: $depends"
# dpkg-shlibdeps writes every library's package with the lowest version the programs need.
needed=(libc6 libstdc++6)
if [[ -x $build/src/tillstream ]]; then
  needed+=(libqt6core6 libqt6gui6 libqt6widgets6)
else
  echo "this build has no window: Qt 6 not expected among the dependencies"
fi
for package in "${needed[@]}"; do
  grep -qE "(^|, )${package//+/\\+} \(>= [^)]+\)(,|$)" <<<"$depends" ||
    fail "Depends lacks '$package (>= ...)'"
done

# --- files ----------------------------------------------------------------------------------
listing=$(dpkg-deb -c "$deb")
mode_of() { awk -v path="./$1" '$6 == path { print $1 " " $2 }' <<<"$listing"; }
expect_file() {   # path in the package, mode
  local got
  got=$(mode_of "$1")
  [[ $got == "$2 root/root" ]] || fail "/$1: expected '$2 root/root', got '${got:-nothing}'"
}
expect_file usr/bin/tillstream-cli -rwxr-xr-x
if [[ -x $build/src/tillstream ]]; then
  expect_file usr/bin/tillstream -rwxr-xr-x
fi
expect_file usr/share/applications/org.vaz.Tillstream.desktop -rw-r--r--
expect_file usr/share/icons/hicolor/128x128/apps/org.vaz.Tillstream.png -rw-r--r--
expect_file usr/share/doc/tillstream/samples/receipt.txt -rw-r--r--
outside=$(awk '$6 !~ /^\.\/usr\// && $6 != "./" { print $6 }' <<<"$listing")
[[ -z $outside ]] || fail "files outside /usr: $outside"

# --- what it unpacks to -------------------------------------------------------------------------
dpkg-deb -x "$deb" "$work/root"
cmp -s "$work/root/usr/share/applications/org.vaz.Tillstream.desktop" \
  "$source_dir/resources/org.vaz.Tillstream.desktop" || fail "the packaged .desktop file differs"
packaged=$("$work/root/usr/bin/tillstream-cli" --version 2>&1)
[[ $packaged == "$("$built_cli" --version)" ]] ||
  fail "packaged tillstream-cli --version printed '$packaged'"

echo "$listing"
((failures == 0)) || exit 1
echo "package checks passed: $(basename "$deb")"
