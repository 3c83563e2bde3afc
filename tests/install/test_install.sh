#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a user gets there: every file, a
# program that finds its library in the prefix (not in the build folder), a versioned library
# that an outside program builds against through pkg-config, a valid desktop entry, and an
# installed program that keeps its data under $XDG_DATA_HOME/kevo/, never in its bin/ folder.
# Arguments: build folder, cmake, C++ compiler.
set -uo pipefail
build=$1 cmake=$2 cxx=$3
tmp=$(mktemp -d "${TMPDIR:-/tmp}/kevo-install.XXXXXX")
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  chmod -R u+w "$tmp" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

prefix=$tmp/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; fail "install"; exit 1; }

for f in bin/kevo lib/libvl-com.so lib/libvl-com.so.1 lib/libolestr.so lib/libolestr.so.1 \
         lib/pkgconfig/vl-com.pc include/vl-com.h include/olestr.h share/applications/kevo.desktop \
         share/icons/hicolor/scalable/apps/kevo.svg; do
  [ -f "$prefix/$f" ] || fail "missing $f"
done
[ -x "$prefix/bin/kevo" ] || fail "bin/kevo is not executable"

# The run path is the prefix's own lib folder, relative to the program; nothing of the build.
runpath=$(readelf -d "$prefix/bin/kevo" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
[ "$runpath" = '$ORIGIN/../lib' ] || fail "bin/kevo run path is '$runpath'"
readelf -d "$prefix/bin/kevo" "$prefix/lib/libvl-com.so" | grep -F "$(cd "$build" && pwd)" &&
  fail "a run path points into the build folder"
deps=$(env -u LD_LIBRARY_PATH ldd "$prefix/bin/kevo")
for lib in libvl-com libolestr; do
  got=$(echo "$deps" | awk -v l="$lib.so.1" '$1 == l && $3 ~ /^\// { print $3 }')
  [ -n "$got" ] && [ "$(realpath "$got")" = "$(realpath "$prefix/lib/$lib.so.1")" ] ||
    fail "$lib.so.1 resolves to '$got', not to the prefix"
  soname=$(readelf -d "$prefix/lib/$lib.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ "$soname" = "$lib.so.1" ] || fail "$lib.so is named '$soname' inside"
done
echo "$deps" | grep -q "not found" && fail "unresolved libraries: $(echo "$deps" | grep 'not found')"

# The public header stands on its own; an outside program builds with what pkg-config gives.
echo '#include <vl-com.h>
int main() { BSTR v = VlCOMVersion(); SysFreeString(v); return 0; }' >"$tmp/use.cpp"
"$cxx" -fsyntax-only -I"$prefix/include" "$tmp/use.cpp" || fail "include/vl-com.h does not compile alone"
flags=$(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --cflags --libs vl-com) ||
  fail "pkg-config finds no vl-com in the prefix"
# shellcheck disable=SC2086
"$cxx" "$tmp/use.cpp" $flags -o "$tmp/use" || fail "no program links with '$flags'"
# A sanitizer build's library brings its runtime along, loaded after the program's own.
LD_LIBRARY_PATH=$prefix/lib ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 "$tmp/use" ||
  fail "the program built through pkg-config does not run"

desktop=$prefix/share/applications/kevo.desktop
for line in 'Name=KEVO' 'Exec=kevo' 'Icon=kevo' 'Categories=Development;Electronics;'; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks '$line'"
done
grep -q '^Comment=.*I²C' "$desktop" || fail "desktop entry lacks its German comment"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
  echo "desktop-file-validate not installed: entry not validated"
fi

# An installed program keeps its data in $XDG_DATA_HOME/kevo/, though its bin/ folder (as
# ~/.local/bin) is writable.
mkdir -p "$tmp/data" "$tmp/ports" "$tmp/home"
XDG_DATA_HOME=$tmp/data HOME=$tmp/home VLCOM_PORT_DIR=$tmp/ports VLCOM_DEV_ROOT=$tmp \
  QT_QPA_PLATFORM=offscreen "$prefix/bin/kevo" >"$tmp/kevo.log" 2>&1 &
pid=$!
for _ in $(seq 300); do
  [ -d "$tmp/data/kevo/Data" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[ -d "$tmp/data/kevo/Data" ] || { cat "$tmp/kevo.log"; fail "no Data/ under \$XDG_DATA_HOME/kevo/"; }
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
pid=""
[ "$(ls -A "$prefix/bin")" = kevo ] || fail "the program wrote into its own folder: $(ls -A "$prefix/bin")"

[ "$failures" -eq 0 ] && echo "install into $prefix checked"
exit $((failures > 0))
