#!/usr/bin/env bash
# A private nginx on 127.0.0.1 for the demo, the tests and the benchmark.
#
#   scripts/update-server.sh start STATE_DIR DOC_ROOT [--tls CERT KEY] [--server-conf FILE]
#       starts it; prints the port it listens on
#   scripts/update-server.sh stop STATE_DIR
#       stops it and waits until it is gone
#
# STATE_DIR receives the configuration, the pid file, the error log and nginx's temporary
# folders. DOC_ROOT is served at /, so DOC_ROOT/vexbrindle/update.html is /vexbrindle/update.html.
# --tls serves https with the PEM certificate (chain) CERT and its key KEY instead of http.
# --server-conf includes FILE in the server block (extra locations, redirects).
set -euo pipefail

nginx_bin=${NGINX:-/usr/sbin/nginx}

port_is_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

usage() {
    echo "usage: $0 start STATE_DIR DOC_ROOT [--tls CERT KEY] [--server-conf FILE] | stop STATE_DIR" >&2
    exit 2
}

absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }

start() {
    local state root port pid listen_options="" tls_lines="" include_line=""
    [ $# -ge 2 ] || usage
    state=$(mkdir -p "$1" && cd "$1" && pwd)
    root=$(cd "$2" && pwd)
    shift 2
    while [ $# -gt 0 ]; do
        case "$1" in
        --tls)
            [ $# -ge 3 ] || usage
            listen_options=" ssl"
            tls_lines="ssl_certificate $(absolute "$2"); ssl_certificate_key $(absolute "$3");"
            shift 3 ;;
        --server-conf)
            [ $# -ge 2 ] || usage
            include_line="include $(absolute "$2");"
            shift 2 ;;
        *) usage ;;
        esac
    done
    mkdir -p "$state/temp"
    # As root, nginx's workers would otherwise switch to a user that cannot read private folders.
    local user_line=""
    [ "$(id -u)" = 0 ] && user_line="user root;"

    for _ in $(seq 50); do
        port=$((20000 + RANDOM % 40000))
        port_is_free "$port" || continue
        cat >"$state/nginx.conf" <<CONF
$user_line
daemon off;
worker_processes 1;
pid $state/nginx.pid;
error_log $state/error.log warn;
events { worker_connections 64; }
http {
    access_log off;
    client_body_temp_path $state/temp/body;
    proxy_temp_path $state/temp/proxy;
    fastcgi_temp_path $state/temp/fastcgi;
    uwsgi_temp_path $state/temp/uwsgi;
    scgi_temp_path $state/temp/scgi;
    types { text/html html; application/octet-stream exe; }
    default_type application/octet-stream;
    sendfile on;
    server {
        listen 127.0.0.1:$port$listen_options;
        root $root;
        $tls_lines
        $include_line
    }
}
CONF
        "$nginx_bin" -p "$state" -c "$state/nginx.conf" </dev/null >>"$state/error.log" 2>&1 &
        pid=$!
        echo "$pid" >"$state/server.pid"
        for _ in $(seq 100); do
            if ! kill -0 "$pid" 2>/dev/null; then break; fi
            if ! port_is_free "$port"; then
                echo "$port"
                return 0
            fi
            sleep 0.05
        done
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    echo "update-server.sh: nginx did not start; see $state/error.log" >&2
    return 1
}

stop() {
    local state=$1 pid
    [ -f "$state/server.pid" ] || return 0
    pid=$(cat "$state/server.pid")
    rm -f "$state/server.pid"
    kill -TERM "$pid" 2>/dev/null || return 0
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.05
    done
    kill -KILL "$pid" 2>/dev/null || true
}

case "${1:-}" in
start) shift; start "$@" ;;
stop) [ $# -eq 2 ] || usage; stop "$2" ;;
*) usage ;;
esac
