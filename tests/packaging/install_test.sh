#!/usr/bin/env bash
# The installed package, used as an application would: install into a temporary prefix, build
# examples/xpbar-demo against that prefix alone, run it offscreen to write a PNG, find the
# package through pkg-config, and load the Designer plugin as Designer does.
#   install_test.sh SOURCE_DIR BUILD_DIR PLUGIN_CHECK QT_PLUGIN_SUBDIR
set -euo pipefail
src=$1 build=$2 plugin_check=$3 plugin_subdir=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# What the prefix must hold.
libdir=$(cd "$prefix" && ls -d lib*/libXPProgressBar.so.1 | xargs dirname)
for f in "$libdir/libXPProgressBar.so.1" "$libdir/libXPProgressBar.so" \
         include/XPProgressBar/XPProgressBar.h \
         "$libdir/cmake/XPProgressBar/XPProgressBarConfig.cmake" \
         "$libdir/cmake/XPProgressBar/XPProgressBarConfigVersion.cmake" \
         "$libdir/pkgconfig/XPProgressBar.pc" \
         bin/vexbrindle bin/xpbar-render bin/vexbrindle-publish \
         share/man/man1/vexbrindle.1.gz share/man/man1/xpbar-render.1.gz \
         share/man/man1/vexbrindle-publish.1.gz \
         "$plugin_subdir/designer/libxpprogressbarplugin.so"; do
    [ -e "$prefix/$f" ] || fail "not installed: $f"
done
soname=$(objdump -p "$prefix/$libdir/libXPProgressBar.so.1" | awk '$1 == "SONAME" {print $2}')
[ "$soname" = libXPProgressBar.so.1 ] || fail "SONAME is '$soname'"
# The installed header stands alone: nothing from the source tree.
if grep -n '#include "' "$prefix/include/XPProgressBar/XPProgressBar.h"; then
    fail "the installed header includes project headers"
fi

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

# pkg-config, from wherever the prefix is.
flags=$(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs XPProgressBar)
case "$flags" in
*"-I$prefix/"*"include"*) ;;
*) fail "pkg-config gives '$flags'" ;;
esac
echo '#include <XPProgressBar/XPProgressBar.h>
int main() { xpbar::XPProgressBar* bar = nullptr; return bar ? 1 : 0; }' >"$work/pc.cpp"
# shellcheck disable=SC2086
c++ -std=c++17 -fPIC "$work/pc.cpp" -o "$work/pc" $flags || fail "pkg-config flags do not build"

# The Designer plugin, loaded with the library from the prefix.
LD_LIBRARY_PATH="$prefix/$libdir" "$plugin_check" "$prefix/$plugin_subdir/designer/libxpprogressbarplugin.so"
echo "package install: ok"
