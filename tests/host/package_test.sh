#!/bin/sh
# Builds the Debian package of this build with CPack, as `make package` does, and checks what
# a distribution would ship: its control data (the dependencies dpkg-shlibdeps found, the
# shared library's shlibs and ldconfig), its files, and, unpacked in a scratch root,
# that the tool and the host run from there with Qt alone beside them.
#
#   package_test.sh CPACK BUILD_DIR SOURCE_DIR
set -eu
cpack=$1 build_dir=$2 source_dir=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/globalstab-package.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
fail() { echo "FAILED: $*"; exit 1; }
step() { echo "== $*"; }
for tool in dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null || fail "$tool is missing (Debian package dpkg-dev)"
done

step "cpack -G DEB"
if ! "$cpack" -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/out" \
    >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    fail "cpack"
fi
deb=$(find "$work/out" -maxdepth 1 -name 'globalstab_*.deb' | head -n 1)
[ -n "$deb" ] || { cat "$work/cpack.log"; fail "cpack made no globalstab_*.deb"; }
echo "$(basename "$deb")"

step "control data"
dpkg-deb -I "$deb" >"$work/info"
depends=$(sed -n 's/^ Depends: //p' "$work/info")
echo "Depends: $depends"
for needed in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6; do
    echo "$depends" | grep -q "\\b$needed\\b" || fail "Depends lacks $needed"
done
echo "$depends" | grep -qi pugixml && fail "Depends names pugixml, which is linked in"
grep -q '^ Package: globalstab$' "$work/info" || fail "the package is not named globalstab"
dpkg-deb -I "$deb" shlibs | grep -q '^libglobalstab 0 globalstab' ||
    fail "no shlibs entry for libglobalstab.so.0"
dpkg-deb -I "$deb" postinst | grep -q '^[[:space:]]*ldconfig' || fail "no ldconfig after install"

step "files"
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' >"$work/files"
for pattern in /usr/bin/globalstab /usr/bin/globalstab-host '/usr/lib/.*libglobalstab\.so\.0$' \
    /usr/include/globalstab/ctlGlobalsTab.h /usr/include/globalstab/globalstab_export.h \
    '/usr/lib/.*cmake/globalstab/globalstabConfig\.cmake' '/usr/lib/.*pkgconfig/globalstab\.pc' \
    '/usr/share/man/man1/globalstab\.1' /usr/share/globalstab/samples/Docs/; do
    grep -q "^$pattern" "$work/files" || fail "the package lacks $pattern"
done
# Completions ship with the tool once the source tree has them.
if [ -d "$source_dir/cli/completions" ]; then
    grep -q '^/usr/share/bash-completion/completions/' "$work/files" ||
        fail "the package lacks the bash completion"
    grep -q '^/usr/share/zsh/.*/_globalstab' "$work/files" ||
        fail "the package lacks the zsh completion"
fi

step "unpacked in a scratch root"
root=$work/root
dpkg-deb -x "$deb" "$root"
grep -q '^prefix=/usr$' "$(find "$root" -name globalstab.pc)" || fail "globalstab.pc names no /usr"
library=$(find "$root/usr/lib" -name 'libglobalstab.so.0' | head -n 1)
LD_LIBRARY_PATH=$(dirname "$library")
export LD_LIBRARY_PATH
for binary in "$library" "$root/usr/bin/globalstab" "$root/usr/bin/globalstab-host"; do
    if ldd "$binary" | grep -q "not found"; then
        ldd "$binary"
        fail "$binary misses a library"
    fi
    if readelf -d "$binary" | grep -q -e '(RPATH)' -e '(RUNPATH)'; then
        fail "$binary carries a run path"
    fi
done
"$root/usr/bin/globalstab" --version | grep -q "globalstab" || fail "globalstab --version"
"$root/usr/bin/globalstab-host" --version | grep -q "globalstab-host" ||
    fail "globalstab-host --version"
cp -R "$root/usr/share/globalstab/samples" "$work/data"
"$root/usr/bin/globalstab" --data-root "$work/data" check "Orion Suite 2024" >"$work/check" 2>&1 ||
    { cat "$work/check"; fail "globalstab check on the packaged samples"; }
diff -r "$root/usr/share/globalstab/samples" "$work/data" >/dev/null ||
    fail "check changed the samples"
echo OK
