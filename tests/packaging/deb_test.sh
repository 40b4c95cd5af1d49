#!/usr/bin/env bash
# The Debian packages: cpack writes them, each is unpacked (never installed) and its file list
# checked, and lintian reports no errors.
#   deb_test.sh BUILD_DIR QT_PLUGIN_SUBDIR
set -euo pipefail
build=$1 plugin_subdir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack failed"; }

version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
declare -A expected=(
    [libxpprogressbar1]="libXPProgressBar.so.1 libXPProgressBar.so.$version
        usr/share/doc/libxpprogressbar1/copyright"
    [libxpprogressbar-dev]="usr/include/XPProgressBar/XPProgressBar.h libXPProgressBar.so
        cmake/XPProgressBar/XPProgressBarConfig.cmake
        cmake/XPProgressBar/XPProgressBarConfigVersion.cmake
        cmake/XPProgressBar/XPProgressBarTargets.cmake pkgconfig/XPProgressBar.pc
        usr/$plugin_subdir/designer/libxpprogressbarplugin.so
        usr/share/doc/libxpprogressbar-dev/copyright"
    [vexbrindle]="usr/bin/vexbrindle usr/bin/xpbar-render usr/bin/vexbrindle-publish
        usr/share/man/man1/vexbrindle.1.gz usr/share/man/man1/xpbar-render.1.gz
        usr/share/man/man1/vexbrindle-publish.1.gz usr/share/doc/vexbrindle/copyright"
)
# What belongs to one package must not be in another.
declare -A foreign=(
    [libxpprogressbar1]="include/ bin/ libXPProgressBar.so$ designer/"
    [libxpprogressbar-dev]="bin/ libXPProgressBar.so.1"
    [vexbrindle]="include/ libXPProgressBar designer/"
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
dpkg-deb -f "$work/out/libxpprogressbar-dev_${version}_"*.deb Depends | grep -q "libxpprogressbar1 (= $version)" ||
    fail "the -dev package does not depend on the library of its version"

# lintian: errors fail the test; warnings are printed for whoever reads the log.
lintian --tag-display-limit 0 "${debs[@]}" | tee "$work/lintian.log" || true
if grep -q '^E:' "$work/lintian.log"; then fail "lintian reports errors"; fi
echo "packages: ok"
