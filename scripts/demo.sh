#!/usr/bin/env bash
# The demo: installs what is missing, builds, and runs vexbrindle against a private update
# server on 127.0.0.1 that offers a newer Drixa Billing: in its window when a display is there
# (DISPLAY or WAYLAND_DISPLAY), in the terminal otherwise.
#
#   scripts/demo.sh               an update: the server offers 1.2.0, the installation has 1.0.0
#   scripts/demo.sh --no-update   the server offers the installed version; the restart question
#   scripts/demo.sh --console     the terminal front end even when a display is there
#   scripts/demo.sh --auto        the window answers its own message boxes (see below)
#   scripts/demo.sh --signed      a signed release: vexbrindle-publish publishes 1.0.0 and the
#                                 new release with a throw-away minisign key pair (page,
#                                 executable, compressed file, a patch from 1.0.0); the
#                                 installation holds the public key
#   scripts/demo.sh --tampered    as --signed, but one byte of the served executable is changed
#                                 after signing, in every form: the update is refused and no
#                                 file is left
#
# At the end the demo lists what the server sent for each request, and the bytes in all.
#
# With no one at the keyboard (standard input not a terminal), or with --auto, the demo ends by
# itself: the terminal front end answers the restart question No; the window answers each
# message box with its default button (OK, Yes) after 3 seconds, and should the run stop with
# the window open, clicks the close label 3 seconds later (VEXBRINDLE_AUTO_ANSWER=seconds).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

server_version=1.2.0
front_end=window
auto=
signed=
tampered=
for arg in "$@"; do
    case "$arg" in
    --no-update) server_version=1.0.0 ;;
    --console) front_end=console ;;
    --auto) auto=3 ;;
    --signed) signed=1 ;;
    --tampered) signed=1 tampered=1 ;;
    *) echo "usage: scripts/demo.sh [--no-update] [--console] [--auto] [--signed | --tampered]" >&2; exit 2 ;;
    esac
done
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then front_end=console; fi
if [ ! -t 0 ]; then auto=3; fi

scripts/setup.sh
scripts/build.sh

demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo/app/Update" "$demo/www/vexbrindle"

# A release of Drixa Billing: a script that says its version, then a block of data that stays
# the same from release to release, as most of a real executable does.
printf 'demo data %s\n' "$(date)" >"$demo/data"
head -c 393216 /dev/urandom | base64 >>"$demo/data"
release() {
    printf '#!/bin/sh\necho "Drixa Billing %s (demo) started"\nexit 0\n' "$1"
    cat "$demo/data"
}

# The installation: the updater beside Drixa Billing, with the installed version.
cp build/bin/vexbrindle "$demo/app/"
printf '1.0.0\r\n' >"$demo/app/Update/ver.dat"
release 1.0.0 >"$demo/app/DrixaBilling.exe"
chmod +x "$demo/app/DrixaBilling.exe"

if [ -n "$signed" ]; then
    # The vendor's side: a throw-away key pair without a password; vexbrindle-publish writes
    # each release (page, executable, compressed file, patches from earlier releases) and has
    # minisign sign the page and the executable.
    mkdir -p "$demo/keys" "$demo/releases"
    minisign -G -W -p "$demo/keys/vexbrindle.pub" -s "$demo/keys/vexbrindle.key" >/dev/null
    versions=(1.0.0)
    [ "$server_version" = 1.0.0 ] || versions+=("$server_version")
    for version in "${versions[@]}"; do
        release "$version" >"$demo/releases/$version"
        build/bin/vexbrindle-publish --site "$demo/www/vexbrindle" --version "$version" \
            --key "$demo/keys/vexbrindle.key" --expires "$(date -u -d '+30 days' +%F)" \
            "$demo/releases/$version" >/dev/null
    done
    # The installation holds the public key beside ver.dat.
    cp "$demo/keys/vexbrindle.pub" "$demo/app/Update/vexbrindle.pub"
    echo "Signed release: key $(head -1 "$demo/keys/vexbrindle.pub" | awk '{print $NF}'), files:"
    (cd "$demo/www/vexbrindle" && find . -type f ! -path './releases/*' -printf '  %P (%s bytes)\n' | sort)
    if [ -n "$tampered" ]; then
        # One byte changed on the way, as a hostile network or mirror would, in every form the
        # executable is served in.
        site=$demo/www/vexbrindle
        sed -i 's/Drixa Billing/Drixa Billinh/' "$site/DrixaBilling2.exe"
        zstd -q -f -19 "$site/DrixaBilling2.exe" -o "$site/DrixaBilling2.exe.zst"
        for patch in "$site"/patches/*.zst; do
            zstd -q -f -19 --patch-from="$demo/releases/1.0.0" "$site/DrixaBilling2.exe" -o "$patch"
        done
        echo "Tampered: one byte of DrixaBilling2.exe changed after signing, in every form"
    fi
else
    # The vendor's server: the update page and the new executable.
    printf '%s\r\n' "$server_version" >"$demo/www/vexbrindle/update.html"
    release "$server_version" >"$demo/www/vexbrindle/DrixaBilling2.exe"
fi

# What the server sends is logged, to show below what the update cost.
printf 'access_log %s;\n' "$demo/server/access.log" >"$demo/server.conf"
port=$(scripts/update-server.sh start "$demo/server" "$demo/www" --server-conf "$demo/server.conf")
trap 'scripts/update-server.sh stop "$demo/server"' EXIT
echo "Update server: http://127.0.0.1:$port (offers $server_version; installed: 1.0.0)"
args=()
if [ "$front_end" = console ]; then args=(--console); fi
echo "Running: $demo/app/vexbrindle ${args[*]:-} (the $front_end front end)"
if [ -n "$auto" ] && [ "$front_end" = window ]; then
    echo "Unattended: message boxes answer themselves after $auto seconds"
fi
echo

status=0
(cd "$demo/app" && VEXBRINDLE_SERVER_URL="http://127.0.0.1:$port" \
    VEXBRINDLE_AUTO_ANSWER="$auto" ./vexbrindle "${args[@]}") || status=$?
echo
echo "What the server sent:"
awk '{ printf "  %s %s: %s bytes\n", $7, $9, $10; total += $10 } END { printf "  in all: %d bytes\n", total }' \
    "$demo/server/access.log"
echo "vexbrindle exited with status $status. Program folder: $demo/app"
ls -l "$demo/app"
exit "$status"
