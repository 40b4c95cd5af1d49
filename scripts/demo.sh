#!/usr/bin/env bash
# The demo: installs what is missing, builds, and runs vexbrindle against a private update
# server on 127.0.0.1 that offers a newer Drixa Billing: in its window when a display is there
# (DISPLAY or WAYLAND_DISPLAY), in the terminal otherwise.
#
#   scripts/demo.sh               an update: the server offers 1.2.0, the installation has 1.0.0
#   scripts/demo.sh --no-update   the server offers the installed version; the restart question
#   scripts/demo.sh --console     the terminal front end even when a display is there
#   scripts/demo.sh --auto        the window answers its own message boxes (see below)
#   scripts/demo.sh --signed      a signed release: a throw-away minisign key pair signs the page
#                                 and the executable, the installation holds the public key
#   scripts/demo.sh --tampered    as --signed, but one byte of the served executable is changed
#                                 after signing: the update is refused and no file is left
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

# The installation: the updater beside Drixa Billing, with the installed version.
cp build/bin/vexbrindle "$demo/app/"
printf '1.0.0\r\n' >"$demo/app/Update/ver.dat"
cat >"$demo/app/DrixaBilling.exe" <<'SH'
#!/bin/sh
echo "Drixa Billing 1.0.0 (demo) started"
SH
chmod +x "$demo/app/DrixaBilling.exe"

# The vendor's server: the update page and the new executable.
printf '%s\r\n' "$server_version" >"$demo/www/vexbrindle/update.html"
cat >"$demo/www/vexbrindle/DrixaBilling2.exe" <<SH
#!/bin/sh
echo "Drixa Billing $server_version (demo) started"
SH

if [ -n "$signed" ]; then
    # The vendor's side: a throw-away key pair without a password, and the two signatures. Each
    # trusted comment names its file; the executable's also names the version the page announces.
    mkdir -p "$demo/keys"
    minisign -G -W -p "$demo/keys/vexbrindle.pub" -s "$demo/keys/vexbrindle.key" >/dev/null
    minisign -S -s "$demo/keys/vexbrindle.key" -m "$demo/www/vexbrindle/update.html" \
        -t "file:update.html expires:$(date -u -d '+30 days' +%F)" >/dev/null
    minisign -S -s "$demo/keys/vexbrindle.key" -m "$demo/www/vexbrindle/DrixaBilling2.exe" \
        -t "file:DrixaBilling2.exe version:$server_version" >/dev/null
    # The installation holds the public key beside ver.dat.
    cp "$demo/keys/vexbrindle.pub" "$demo/app/Update/vexbrindle.pub"
    echo "Signed release: key $(head -1 "$demo/keys/vexbrindle.pub" | awk '{print $NF}'), files:"
    ls "$demo/www/vexbrindle"
    if [ -n "$tampered" ]; then
        # One byte changed on the way, as a hostile network or mirror would.
        sed -i 's/Drixa Billing/Drixa Billinh/' "$demo/www/vexbrindle/DrixaBilling2.exe"
        echo "Tampered: one byte of DrixaBilling2.exe changed after signing"
    fi
fi

port=$(scripts/update-server.sh start "$demo/server" "$demo/www")
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
echo "vexbrindle exited with status $status. Program folder: $demo/app"
ls -l "$demo/app"
exit "$status"
