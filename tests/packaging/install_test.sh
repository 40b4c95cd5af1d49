#!/usr/bin/env bash
# The installed package, used as an application would: install into a temporary prefix, check
# what the library exports and that its header builds under strict settings, build
# examples/xpbar-demo and the README's quick-start program against that prefix alone (CMake and
# pkg-config) and run them offscreen, and load the Designer plugin as Designer does, with no
# environment at all. With a QML module, examples/xpbar-quick is built and run the same way, its
# module from the prefix.
#   install_test.sh SOURCE_DIR BUILD_DIR PLUGIN_CHECK QT_PLUGIN_SUBDIR LIBDIR QT_QML_SUBDIR
#   (QT_QML_SUBDIR "none": no QML module)
set -euo pipefail
src=$1 build=$2 plugin_check=$3 plugin_subdir=$4 libdir=$5 qml_subdir=${6:-none}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }
# An empty environment, but for the sanitizers' options when the suite runs under them.
bare=(env -i PATH=/usr/bin:/bin)
for v in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
    [ -z "${!v:-}" ] || bare+=("$v=${!v}")
done

cmake --install "$build" --prefix "$prefix" >/dev/null

# What the prefix must hold: the library in the multiarch folder, beside Qt's plugins.
case "$libdir" in
lib/*-linux-*) ;;
*) fail "the library folder is '$libdir', not the multiarch folder" ;;
esac
case "$plugin_subdir" in
"$libdir"/*) ;;
*) fail "the Designer plugin goes to $plugin_subdir, outside the library folder $libdir" ;;
esac
for f in "$libdir/libXPProgressBar.so.1" "$libdir/libXPProgressBar.so" \
         include/XPProgressBar/XPProgressBar.h include/XPProgressBar/XPProgressBarExport.h \
         "$libdir/cmake/XPProgressBar/XPProgressBarConfig.cmake" \
         "$libdir/cmake/XPProgressBar/XPProgressBarConfigVersion.cmake" \
         "$libdir/pkgconfig/XPProgressBar.pc" \
         bin/vexbrindle bin/xpbar-render bin/vexbrindle-publish \
         share/man/man1/vexbrindle.1.gz share/man/man1/xpbar-render.1.gz \
         share/man/man1/vexbrindle-publish.1.gz \
         "$plugin_subdir/designer/libxpprogressbarplugin.so"; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
done
if [ "$qml_subdir" != none ]; then
    for f in qmldir plugins.qmltypes libxpprogressbarquickplugin.so; do
        [ -e "$prefix/$qml_subdir/XPProgressBar/$f" ] || fail "not installed: $qml_subdir/XPProgressBar/$f"
    done
fi
soname=$(objdump -p "$prefix/$libdir/libXPProgressBar.so.1" | awk '$1 == "SONAME" {print $2}')
[ "$soname" = libXPProgressBar.so.1 ] || fail "SONAME is '$soname'"
# The installed headers stand alone: Qt's headers, the standard library's and the export header
# beside them, nothing from the source tree; and nothing of the control is named.
header=$prefix/include/XPProgressBar/XPProgressBar.h
if grep -n '#include "' "$header" "$prefix/include/XPProgressBar/XPProgressBarExport.h" |
    grep -v '#include "XPProgressBarExport.h"$'; then
    fail "the installed header includes project headers"
fi
if grep -nE 'vex::|PropertyBag|ControlHost|XP_ProgressBar|control\(\)|host\(\)' "$header"; then
    fail "the installed header declares what is not installed"
fi

# What the library exports: the widget's class, its type information and vtable, nothing else
# (no private member, no host class, nothing of the control or the standard library).
nm -DC --defined-only "$prefix/$libdir/libXPProgressBar.so.1" |
    sed -E 's/^[0-9a-f]+ [A-Za-z] //' >"$work/exports"
exported='^(xpbar::XPProgressBar::[A-Za-z_~][A-Za-z0-9_]*(\(|$)|(typeinfo|typeinfo name|vtable) for xpbar::XPProgressBar$|non-virtual thunk to xpbar::XPProgressBar::)'
if grep -vE "$exported" "$work/exports"; then fail "the library exports more than the widget"; fi
# The private part of the class, as the header declares it: none of its names may be exported.
private=$(awk '/^  private:/ {p = 1; next} /^  (public|protected|Q_SIGNALS|public Q_SLOTS)/ {p = 0}
               /^};/ {p = 0} p' "$header" | grep -oE '[A-Za-z_][A-Za-z0-9_]*' | sort -u)
for name in $private; do
    if grep -E "XPProgressBar::$name(\(|::|$)" "$work/exports"; then
        fail "the library exports the private member $name"
    fi
done
echo "exported symbols: $(wc -l <"$work/exports")"

# The header under an application's strictest usual settings.
echo '#include <XPProgressBar/XPProgressBar.h>' >"$work/strict.cpp"
# shellcheck disable=SC2046
c++ -std=c++17 -fPIC -fsyntax-only -DQT_NO_KEYWORDS -DQT_NO_CAST_FROM_ASCII \
    -Werror -Wall -Wextra -pedantic \
    $(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags XPProgressBar) \
    "$work/strict.cpp" || fail "the installed header does not build under strict settings"

# The example, configured with nothing but the prefix (no source tree, no build tree).
(cd "$work" && env -u CMAKE_PREFIX_PATH cmake -S "$src/examples/xpbar-demo" -B "$work/demo" \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null)
cmake --build "$work/demo" -j2 >/dev/null || fail "the example does not build"
grep -q "^XPProgressBar_DIR:PATH=$prefix/" "$work/demo/CMakeCache.txt" ||
    fail "the example did not find the package in the prefix"
QT_QPA_PLATFORM=offscreen "$work/demo/xpbar-demo" --screenshot "$work/demo.png"
[ -s "$work/demo.png" ] || fail "no screenshot"
[ "$(head -c 8 "$work/demo.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
    fail "the screenshot is not a PNG"

# The README's quick-start program and its CMakeLists.txt, as a reader copies them from the
# section on the library, built against the prefix and run offscreen: it prints each value.
quick=$work/quick
mkdir -p "$quick"
readme_block() { # LANGUAGE: the first fenced block of that language in the library's section
    awk -v lang="$1" '/^## The progress bar in your Qt application/ {s = 1}
        s && /^## / && !/in your Qt application/ {s = 0}
        s && !b && $0 == "```" lang {b = 1; next}
        b && /^```/ {exit} b' "$src/README.md"
}
readme_block cpp >"$quick/main.cpp"
readme_block cmake >"$quick/CMakeLists.txt"
grep -q 'int main' "$quick/main.cpp" || fail "no program in the README"
(cd "$work" && env -u CMAKE_PREFIX_PATH cmake -S "$quick" -B "$quick/build" \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null) || fail "the README's CMakeLists.txt does not configure"
cmake --build "$quick/build" >/dev/null || fail "the README's program does not build with CMake"
expected=$(seq 10 10 100)
out=$("${bare[@]}" QT_QPA_PLATFORM=offscreen timeout 20 "$quick/build/app") ||
    fail "the README's program failed"
[ "$out" = "$expected" ] || fail "the README's program printed '$out'"

# The QML example: built with nothing but the prefix, its module found through the import path.
if [ "$qml_subdir" != none ]; then
    (cd "$work" && env -u CMAKE_PREFIX_PATH cmake -S "$src/examples/xpbar-quick" -B "$work/qml-example" \
        -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release >/dev/null)
    cmake --build "$work/qml-example" -j2 >/dev/null || fail "the QML example does not build"
    QT_QPA_PLATFORM=offscreen QML_IMPORT_PATH="$prefix/$qml_subdir" \
        "$work/qml-example/xpbar-quick" --screenshot "$work/qml-example.png" || fail "the QML example failed"
    [ "$(head -c 8 "$work/qml-example.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] ||
        fail "the QML example's screenshot is not a PNG"
fi

# pkg-config, from wherever the prefix is: plain paths into the prefix, and the same program.
flags=$(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs XPProgressBar)
case "$flags" in
*"-I$prefix/include "*"-L$prefix/$libdir "*) ;;
*) fail "pkg-config gives '$flags'" ;;
esac
case "$flags" in *..*) fail "pkg-config gives paths with ..: '$flags'" ;; esac
# shellcheck disable=SC2086
c++ -std=c++17 -fPIC ${CXXFLAGS:-} ${LDFLAGS:-} "$quick/main.cpp" -o "$work/pc" $flags ||
    fail "pkg-config flags do not build"
out=$(LD_LIBRARY_PATH="$prefix/$libdir" QT_QPA_PLATFORM=offscreen timeout 20 "$work/pc")
[ "$out" = "$expected" ] || fail "the program built with pkg-config printed '$out'"

# The programs and the Designer plugin find the library in the prefix by themselves: no
# LD_LIBRARY_PATH, no environment at all.
for f in bin/vexbrindle "$plugin_subdir/designer/libxpprogressbarplugin.so"; do
    runpath=$(objdump -p "$prefix/$f" | awk '$1 == "RUNPATH" {print $2}')
    case "$runpath" in
    '$ORIGIN/'*) ;;
    *) fail "$f has the run path '$runpath', not one relative to itself" ;;
    esac
    found=$(env -i ldd "$prefix/$f" | awk '$1 == "libXPProgressBar.so.1" {print $3}')
    [ -n "$found" ] && [ "$(realpath "$found")" = "$(realpath "$prefix/$libdir/libXPProgressBar.so.1")" ] ||
        fail "$f does not find the library in the prefix (it finds '$found')"
done
"${bare[@]}" "$plugin_check" "$prefix/$plugin_subdir/designer/libxpprogressbarplugin.so"
echo "package install: ok"
