#!/bin/sh
# Installs the build into a temporary prefix, then checks what an adopter gets there: the
# example host of examples/embed configures and builds against the installed CMake package,
# and against the pkg-config file, and embeds the tab; the library and the tool need Qt alone
# at run time; the installed globalstab-host starts on the installed samples.
#
#   embed_example_test.sh CMAKE BUILD_DIR SOURCE_DIR CONFIG CXX_COMPILER
set -eu
cmake=$1 build_dir=$2 source_dir=$3 config=${4:-} cxx=${5:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/globalstab-embed.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM
prefix=$work/prefix

step() { echo "== $*"; }
# Runs a command with its output in a log that is shown only when it fails.
quiet() {
    log=$work/step.log
    if ! "$@" >"$log" 2>&1; then
        cat "$log"
        echo "FAILED: $*"
        exit 1
    fi
}

step "install into $prefix"
quiet "$cmake" --install "$build_dir" --prefix "$prefix" ${config:+--config "$config"}

step "the package asks for Qt only, and the library exports only its public API"
if grep -qi pugixml "$prefix"/lib*/cmake/globalstab/*.cmake "$prefix"/include/globalstab/*.h; then
    echo "FAILED: the installed package still names pugixml"; exit 1
fi
library=$(find "$prefix" -name 'libglobalstab.so.*' -type f | head -n 1)
quiet python3 "$source_dir/tests/host/library_surface.py" "$library" "$prefix/include"

step "the library and the tool need no pugixml at run time"
for binary in "$library" "$prefix/bin/globalstab"; do
    if readelf -d "$binary" | grep NEEDED | grep -qi pugixml; then
        echo "FAILED: $binary needs pugixml:"; readelf -d "$binary" | grep NEEDED; exit 1
    fi
done

step "configure and build examples/embed against the installed package"
quiet "$cmake" -S "$source_dir/examples/embed" -B "$work/build" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_DISABLE_FIND_PACKAGE_pugixml=ON \
    ${config:+-DCMAKE_BUILD_TYPE="$config"} \
    ${cxx:+-DCMAKE_CXX_COMPILER="$cxx"}
quiet "$cmake" --build "$work/build" ${config:+--config "$config"}

example=$(find "$work/build" -type f -name embed_example -perm -u+x | head -n 1)
samples=$prefix/share/globalstab/samples
[ -n "$example" ] || { echo "FAILED: embed_example was not built"; exit 1; }
[ -d "$samples/Docs" ] || { echo "FAILED: no samples installed in $samples"; exit 1; }

# The example runs on a copy: the installed samples stay as shipped.
cp -R "$samples" "$work/data"
step "run embed_example --smoke"
QT_QPA_PLATFORM=offscreen "$example" --smoke --data-root "$work/data"

step "embed_example --help needs no display; --smoke fails on a wrong data root or project"
# Without a display an application object would abort: --help must come before it.
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$example" --help >"$work/help" 2>&1 ||
    { cat "$work/help"; echo "FAILED: embed_example --help"; exit 1; }
grep -q "^Usage: embed_example" "$work/help" || { echo "FAILED: no usage"; exit 1; }
# smoke_fails TEXT ARGUMENTS...: --smoke exits non-zero and says TEXT on stderr.
smoke_fails() {
    text=$1
    shift
    if QT_QPA_PLATFORM=offscreen GLOBALSTAB_DATA_ROOT= "$example" --smoke "$@" \
        >"$work/out" 2>"$work/err"; then
        echo "FAILED: embed_example --smoke $* passed"; exit 1
    fi
    grep -qF "$text" "$work/err" ||
        { cat "$work/err"; echo "FAILED: embed_example --smoke $* did not say \"$text\""; exit 1; }
}
smoke_fails "no data root"
smoke_fails "is not a data root" --data-root "$work/nowhere"
smoke_fails "no project \"Nope\"" --data-root "$work/data" --project Nope
smoke_fails "unknown argument" --data-root "$work/data" --colour

step "build examples/embed with pkg-config alone"
pc_dir=$(dirname "$(find "$prefix" -name globalstab.pc | head -n 1)")
[ -f "$pc_dir/globalstab.pc" ] || { echo "FAILED: no globalstab.pc installed"; exit 1; }
grep -q "^prefix=$prefix\$" "$pc_dir/globalstab.pc" ||
    { cat "$pc_dir/globalstab.pc"; echo "FAILED: globalstab.pc names another prefix"; exit 1; }
flags=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs globalstab)
# Qt's headers ask for position-independent code.
quiet "${cxx:-c++}" -std=c++20 -fPIC -o "$work/embed_pc" "$source_dir/examples/embed/main.cpp" \
    $flags
LD_LIBRARY_PATH="$(dirname "$library")" QT_QPA_PLATFORM=offscreen "$work/embed_pc" --smoke \
    --data-root "$work/data"

step "every installed header compiles alone, and what they declare links"
mkdir "$work/headers"
for header in "$prefix"/include/globalstab/*.h; do
    name=$(basename "$header" .h)
    printf '#include <globalstab/%s.h>\n#include <globalstab/%s.h>\n' "$name" "$name" \
        >"$work/headers/$name.cpp"
    quiet "${cxx:-c++}" -std=c++20 -fPIC -Wall -Wextra -Werror -c -o "$work/headers/$name.o" \
        "$work/headers/$name.cpp" $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags globalstab)
done
cat >"$work/headers/main.cpp" <<'CPP'
#include <globalstab/ChangePreview.h>
#include <globalstab/DataRoot.h>
#include <globalstab/DefaultServices.h>
#include <globalstab/Dialogs.h>
#include <globalstab/Folder.h>
#include <globalstab/GlobalVariables.h>
#include <globalstab/RuntimeError.h>
#include <globalstab/ctlGlobalsTab.h>

// Takes the address of what the headers declare, so that the link fails on what the library
// does not export.
int main()
{
    volatile const void* used[] = {
        reinterpret_cast<const void*>(&globalstab::previewProjectRename),
        reinterpret_cast<const void*>(&globalstab::previewCategoryChange),
        reinterpret_cast<const void*>(&globalstab::projectNames),
        reinterpret_cast<const void*>(&globalstab::checkProject),
        reinterpret_cast<const void*>(&globalstab::undoLastChange),
        reinterpret_cast<const void*>(&globalstab::globalVariables),
        reinterpret_cast<const void*>(&globalstab::resetGlobalVariables),
        reinterpret_cast<const void*>(&globalstab::raiseError),
        reinterpret_cast<const void*>(&globalstab::ctlGlobalsTab::staticMetaObject),
    };
    globalstab::Folder folder(QStringLiteral("/"));
    globalstab::DefaultServiceProvider services(QStringLiteral("/"), 0);
    globalstab::QtDialogProvider dialogs;
    return used[0] && !folder.isNull() ? 0 : 1;
}
CPP
quiet "${cxx:-c++}" -std=c++20 -fPIC -o "$work/headers/api" "$work/headers/main.cpp" \
    "$work/headers"/*.o $flags

step "run the installed globalstab-host"
export XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config"
QT_QPA_PLATFORM=offscreen "$prefix/bin/globalstab-host" --version
QT_QPA_PLATFORM=offscreen "$prefix/bin/globalstab-host" --screenshot "$work/host.png" \
    2>"$work/host.log" || { cat "$work/host.log"; exit 1; }
[ -s "$work/host.png" ] || { echo "FAILED: the installed host wrote no screenshot"; exit 1; }
[ -d "$XDG_DATA_HOME/globalstab/globalstab-host/samples/Docs" ] ||
    { echo "FAILED: the installed host did not copy its samples"; exit 1; }
echo "OK"
