#!/usr/bin/env bash
# The Debian packages: cpack writes them, each is unpacked (never installed) and its file list
# checked, and lintian --pedantic reports no error and no warning.
#   deb_test.sh BUILD_DIR QT_PLUGIN_SUBDIR LIBDIR QT_QML_SUBDIR (QT_QML_SUBDIR "none": no QML module)
set -euo pipefail
build=$1 plugin_subdir=$2 libdir=$3 qml_subdir=$4
qml_files=
if [ "$qml_subdir" != none ]; then
    qml_files="usr/$qml_subdir/XPProgressBar/qmldir usr/$qml_subdir/XPProgressBar/plugins.qmltypes
        usr/$qml_subdir/XPProgressBar/libxpprogressbarquickplugin.so"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
declare -A expected=(
    [libxpprogressbar1]="usr/$libdir/libXPProgressBar.so.1 usr/$libdir/libXPProgressBar.so.$version
        $qml_files
        usr/share/doc/libxpprogressbar1/copyright"
    [libxpprogressbar-dev]="usr/include/XPProgressBar/XPProgressBar.h
        usr/include/XPProgressBar/XPProgressBarExport.h usr/$libdir/libXPProgressBar.so
        usr/$libdir/cmake/XPProgressBar/XPProgressBarConfig.cmake
        usr/$libdir/cmake/XPProgressBar/XPProgressBarConfigVersion.cmake
        usr/$libdir/cmake/XPProgressBar/XPProgressBarTargets.cmake
        usr/$libdir/pkgconfig/XPProgressBar.pc
        usr/$plugin_subdir/designer/libxpprogressbarplugin.so
        usr/share/doc/libxpprogressbar-dev/copyright
        usr/share/doc/libxpprogressbar-dev/examples/xpbar-demo/CMakeLists.txt
        usr/share/doc/libxpprogressbar-dev/examples/xpbar-demo/main.cpp
        usr/share/doc/libxpprogressbar-dev/examples/xpbar-demo/DemoWindow.ui
        usr/share/doc/libxpprogressbar-dev/examples/xpbar-quick/CMakeLists.txt
        usr/share/doc/libxpprogressbar-dev/examples/xpbar-quick/main.cpp
        usr/share/doc/libxpprogressbar-dev/examples/xpbar-quick/Main.qml
        usr/share/doc/libxpprogressbar-dev/html/index.html
        usr/share/doc/libxpprogressbar-dev/html/classxpbar_1_1XPProgressBar.html
        usr/share/doc/libxpprogressbar-dev/html/gallery.png
        usr/share/doc/libxpprogressbar-dev/html/gallery-disabled.png
        usr/share/doc/libxpprogressbar-dev/html/gallery-rtl.png
        usr/share/doc/libxpprogressbar-dev/html/gallery-palette.png
        usr/share/doc/libxpprogressbar-dev/html/gallery-font.png
        usr/share/doc/libxpprogressbar-dev/html/gallery-2x.png"
    [vexbrindle]="usr/bin/vexbrindle usr/bin/xpbar-render usr/bin/vexbrindle-publish
        usr/share/man/man1/vexbrindle.1.gz usr/share/man/man1/xpbar-render.1.gz
        usr/share/man/man1/vexbrindle-publish.1.gz usr/share/doc/vexbrindle/copyright"
)
# What belongs to one package must not be in another.
declare -A foreign=(
    [libxpprogressbar1]="include/ bin/ libXPProgressBar.so$ designer/"
    [libxpprogressbar-dev]="bin/ libXPProgressBar.so.1 qml/"
    [vexbrindle]="include/ libXPProgressBar designer/ qml/"
)

debs=()
for package in "${!expected[@]}"; do
    deb=$(ls "$work/out/${package}_${version}_"*.deb 2>/dev/null) || fail "no package $package"
    debs+=("$deb")
    mkdir -p "$work/x/$package"
    dpkg-deb -x "$deb" "$work/x/$package"
    files=$(cd "$work/x/$package" && find . -type f -o -type l | sed 's|^\./||' | sort)
    for want in ${expected[$package]}; do
        grep -q -- "$want\$" <<<"$files" || fail "$package lacks $want; it holds:
$files"
    done
    for unwanted in ${foreign[$package]}; do
        if grep -E -- "$unwanted" <<<"$files"; then fail "$package holds files of another package"; fi
    done
    [ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "$deb is not $package"
done
for package in libxpprogressbar-dev vexbrindle; do
    dpkg-deb -f "$work/out/${package}_${version}_"*.deb Depends | grep -q "libxpprogressbar1 (= $version)" ||
        fail "$package does not depend on the library of its version"
done
# The pkg-config file names /usr plainly.
grep -qx 'prefix=/usr' "$work/x/libxpprogressbar-dev/usr/$libdir/pkgconfig/XPProgressBar.pc" ||
    fail "the packaged pkg-config file does not name /usr: $(cat "$work/x/libxpprogressbar-dev/usr/$libdir/pkgconfig/XPProgressBar.pc")"
# The linker's cache is refreshed by the trigger alone: no maintainer scripts calling ldconfig.
dpkg-deb -e "$work/out/libxpprogressbar1_${version}_"*.deb "$work/control"
[ -f "$work/control/triggers" ] || fail "the library package has no trigger"
for script in postinst postrm preinst prerm; do
    [ ! -e "$work/control/$script" ] || fail "the library package has a $script script"
done

# lintian --pedantic: any error or warning fails the test (the whole report is printed).
lintian --pedantic --tag-display-limit 0 "${debs[@]}" | tee "$work/lintian.log" || true
if grep -qE '^(E|W):' "$work/lintian.log"; then fail "lintian reports errors or warnings"; fi
echo "packages: ok"
