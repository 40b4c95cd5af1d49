#!/usr/bin/env bash
# The demo: installs what is missing, builds, and runs vexbrindle in the terminal against a
# private update server on 127.0.0.1 that offers a newer Drixa Billing.
#
#   scripts/demo.sh               an update: the server offers 1.2.0, the installation has 1.0.0
#   scripts/demo.sh --no-update   the server offers the installed version; the restart question
#
# With no one at the keyboard (standard input not a terminal) the restart question is answered
# No and the demo ends by itself.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

server_version=1.2.0
case "${1:-}" in
"") ;;
--no-update) server_version=1.0.0 ;;
*) echo "usage: scripts/demo.sh [--no-update]" >&2; exit 2 ;;
esac

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

port=$(scripts/update-server.sh start "$demo/server" "$demo/www")
trap 'scripts/update-server.sh stop "$demo/server"' EXIT
echo "Update server: http://127.0.0.1:$port (offers $server_version; installed: 1.0.0)"
echo "Running: $demo/app/vexbrindle --console"
echo

status=0
(cd "$demo/app" && VEXBRINDLE_SERVER_URL="http://127.0.0.1:$port" ./vexbrindle --console) ||
    status=$?
echo
echo "vexbrindle exited with status $status. Program folder: $demo/app"
ls -l "$demo/app"
exit "$status"
