#!/usr/bin/env bash
# Start-up and idle cost of the updater window, run by hand on a private Xvfb:
#
#   bench/startup/run.sh [BUILD_DIR] [RUNS]     (defaults: build, 30)
#
# 1. Launch to first painted window: vexbrindle (VEXBRINDLE_STARTUP_PROBE=1) side by side with
#    startup_floor, a minimal Qt widget program of the same size, alternating, RUNS times each.
# 2. CPU while the window waits at a message box (the "no updates" box, no one answering),
#    from /proc/PID/stat over 5 seconds; beside it, the floor program ticking a label every
#    1 ms and every 20 ms (the cost of the status timer's rate).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=$(cd "${1:-build}" && pwd)
runs=${2:-30}
cmake --build "$build" -j2 --target vexbrindle startup_floor >/dev/null

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    [ -f "$work/server/server.pid" ] && scripts/update-server.sh stop "$work/server" || true
    rm -rf "$work"
}
trap cleanup EXIT

display=
for n in $(seq 140 170); do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then display=$n; break; fi
done
Xvfb :$display -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
export DISPLAY=:$display QT_QPA_PLATFORM=xcb

# The installation and a server that offers no update.
mkdir -p "$work/app/Update" "$work/www/vexbrindle"
cp "$build/bin/vexbrindle" "$work/app/"
printf '1.0.0\r\n' >"$work/app/Update/ver.dat"
printf '1.0.0\r\n' >"$work/www/vexbrindle/update.html"
port=$(scripts/update-server.sh start "$work/server" "$work/www")
export VEXBRINDLE_SERVER_URL=http://127.0.0.1:$port

echo "== Launch to first painted window ($runs runs each, alternating) =="
python3 - "$runs" "$work/app/vexbrindle" "$build/bin/startup_floor" <<'PY'
import os, statistics, subprocess, sys, time
runs, updater, floor = int(sys.argv[1]), sys.argv[2], sys.argv[3]
def once(cmd, env):
    t0 = time.monotonic_ns()
    p = subprocess.Popen([cmd], stdout=subprocess.PIPE, env=env, stderr=subprocess.DEVNULL)
    line = p.stdout.readline()
    t = (time.monotonic_ns() - t0) / 1e6
    p.wait()
    assert line.strip() == b"painted", (cmd, line)
    return t
env = dict(os.environ)
probe = dict(env, VEXBRINDLE_STARTUP_PROBE="1")
once(floor, env); once(updater, probe)  # warm the caches
f, u = [], []
for _ in range(runs):
    f.append(once(floor, env))
    u.append(once(updater, probe))
for name, xs in (("floor (minimal Qt widget)", f), ("vexbrindle window", u)):
    print(f"{name:28s} median {statistics.median(xs):7.1f} ms   mean {statistics.mean(xs):7.1f} ms   "
          f"min {min(xs):7.1f} ms")
print(f"{'ratio (median)':28s} {statistics.median(u) / statistics.median(f):.2f} x floor (aim: <= 1.0)")
PY

cpu_percent() { # pid seconds
    local a b hz
    hz=$(getconf CLK_TCK)
    a=$(awk '{print $14 + $15}' "/proc/$1/stat")
    sleep "$2"
    b=$(awk '{print $14 + $15}' "/proc/$1/stat")
    awk -v d=$((b - a)) -v hz="$hz" -v s="$2" 'BEGIN { printf "%.2f", 100 * d / hz / s }'
}

echo
echo "== CPU while waiting (5 s, % of one core) =="
(cd "$work/app" && exec ./vexbrindle) >/dev/null 2>&1 &
updater_pid=$!
pids+=($updater_pid)
sleep 2 # the run reaches its first message box and waits there
echo "vexbrindle at its message box        $(cpu_percent $updater_pid 5) %  (aim: < 0.5 %)"
kill "$updater_pid"

for tick in 1 20; do
    "$build/bin/startup_floor" --tick-ms $tick >/dev/null 2>&1 &
    floor_pid=$!
    pids+=($floor_pid)
    sleep 1
    echo "floor, label set every $(printf '%2d' $tick) ms        $(cpu_percent $floor_pid 5) %"
    kill "$floor_pid"
done
