#!/usr/bin/env bash
# Update benchmark: what an update costs by each form the server can offer. Two real releases of
# a public program, one release apart (default: the server binary of Debian's
# mariadb-server-core, the two newest versions the configured archives hold), are published
# with vexbrindle-publish (signed, with a throw-away key). An installation of the older one is
# then updated by an in-process run (build/bin/update_bench) against a private nginx, once per
# form: the patch, the compressed file, the whole file (each served from a site that holds
# nothing cheaper). Each run is done against a server limited to --rate bytes per second and
# against an unlimited one, and prints: the body bytes the server sent (from its log), the time
# of the whole run, the peak RSS, the longest gap between ticks of a 1 ms timer. Beside them:
# the sizes that the zstd and bsdiff tools make for the same pair.
#
# With --large-mib N (default 512; 0 skips it) it then does the same, unlimited, for a made-up
# executable of N MiB and a release that changes 1 % of it, and times `zstd -d --patch-from` on
# the same patch.
#
#   bench/update/run.sh [--rate BYTES_PER_SECOND] [--large-mib N] [--dir DIR] [--no-bsdiff]
#                       [--large-only]
#
# BENCH_PACKAGE and BENCH_MEMBER choose another package and the file in it. The downloaded
# packages are kept in DIR/cache; everything else in DIR is made anew, except with --large-only:
# that skips the real pair and runs only the made-up one, reusing the made-up pair, its published
# sites and the key of an earlier run when they are there and of the same size (publishing them
# takes most of the time).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)

package=${BENCH_PACKAGE:-mariadb-server-core}
member=${BENCH_MEMBER:-usr/sbin/mariadbd}
rate=1000000
large_mib=512
dir=$root/build/bench-update
bsdiff=1
large_only=
while [ $# -gt 0 ]; do
    case "$1" in
    --rate) rate=$2; shift 2 ;;
    --large-mib) large_mib=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --no-bsdiff) bsdiff=; shift ;;
    --large-only) large_only=1; shift ;;
    *) echo "usage: $0 [--rate BYTES_PER_SECOND] [--large-mib N] [--dir DIR] [--no-bsdiff] [--large-only]" >&2
       exit 2 ;;
    esac
done

missing=()
for tool in zstd minisign nginx /usr/bin/time; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if [ -n "$bsdiff" ] && ! command -v bsdiff >/dev/null; then missing+=(bsdiff); fi
if [ ${#missing[@]} -gt 0 ]; then
    packages=()
    for tool in "${missing[@]}"; do
        case "$tool" in /usr/bin/time) packages+=(time) ;; *) packages+=("$tool") ;; esac
    done
    apt-get install -y "${packages[@]}" >/dev/null
fi
if [ ! -x build/bin/update_bench ] || [ ! -x build/bin/vexbrindle-publish ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j2 --target update_bench vexbrindle-publish >/dev/null
fi

mkdir -p "$dir/cache"
large_bytes=$((large_mib * 1024 * 1024))
reuse_large=
if [ -n "$large_only" ] && [ -s "$dir/keys/bench.key" ] && [ -d "$dir/www/large-whole" ] &&
    [ -f "$dir/large-old.exe" ] && [ "$(stat -c %s "$dir/large-old.exe")" = "$large_bytes" ]; then
    reuse_large=1
    find "$dir" -mindepth 1 -maxdepth 1 ! -name cache ! -name keys ! -name www \
        ! -name large-old.exe ! -name large-new.exe -exec rm -rf {} +
    find "$dir/www" -mindepth 1 -maxdepth 1 ! -name 'large-*' -exec rm -rf {} +
else
    find "$dir" -mindepth 1 -maxdepth 1 ! -name cache -exec rm -rf {} +
fi
mkdir -p "$dir/keys" "$dir/www" "$dir/logs"
[ -n "$reuse_large" ] || minisign -G -W -p "$dir/keys/bench.pub" -s "$dir/keys/bench.key" >/dev/null

declare -A bytes_of seconds_of rss_of gap_of
start_server() { # STATE LOG RATE(0: none)
    local conf=$dir/logs/$(basename "$1").conf
    { printf 'access_log %s;\n' "$2"; [ "$3" = 0 ] || printf 'limit_rate %s;\n' "$3"; } >"$conf"
    "$root/scripts/update-server.sh" start "$1" "$dir/www" --server-conf "$conf"
}
servers=()
stop_servers() { for s in "${servers[@]}"; do "$root/scripts/update-server.sh" stop "$s"; done; }
trap stop_servers EXIT
verdict() { # TEXT CONDITION
    if awk "BEGIN { exit !($2) }"; then echo "  met:     $1"; else echo "  NOT MET: $1"; fi
}

size() { stat -c %s "$1"; }
human() { awk -v b="$1" 'BEGIN { printf "%.2f MB", b / 1e6 }'; }

# Publishes OLD as 1.0.0 and NEW as 1.1.0 into DIR/www/<name>-patch, then the sites with less.
publish_sites() {
    local name=$1 old_exe=$2 new_exe=$3 site
    site=$dir/www/$name-patch/vexbrindle
    mkdir -p "$site"
    for pair in "1.0.0 $old_exe" "1.1.0 $new_exe"; do
        set -- $pair
        build/bin/vexbrindle-publish --site "$site" --version "$1" --key "$dir/keys/bench.key" \
            "$2" >/dev/null 2>"$dir/logs/publish.err" ||
            { cat "$dir/logs/publish.err" >&2; exit 1; }
    done
    cp -al "$dir/www/$name-patch" "$dir/www/$name-compressed"
    rm -rf "$dir/www/$name-compressed/vexbrindle/patches"
    cp -al "$dir/www/$name-compressed" "$dir/www/$name-whole"
    rm -f "$dir/www/$name-whole/vexbrindle/DrixaBilling2.exe.zst"
}

# Updates a fresh installation of OLD from the site NAME-FORM on PORT; prints one table row.
update_once() {
    local label=$1 port=$2 site=$3 old_exe=$4 new_exe=$5 log=$6 app line bytes
    app=$dir/app
    rm -rf "$app"
    mkdir -p "$app/Update"
    cp "$old_exe" "$app/DrixaBilling.exe"
    printf '1.0.0\r\n' >"$app/Update/ver.dat"
    cp "$dir/keys/bench.pub" "$app/Update/vexbrindle.pub"
    : >"$log"
    sync
    if ! line=$(build/bin/update_bench "$app" "http://127.0.0.1:$port/$site"); then
        echo "$label: the update failed: $line" >&2
        exit 1
    fi
    cmp -s "$new_exe" "$app/DrixaBilling2.exe" || { echo "$label: wrong executable" >&2; exit 1; }
    sleep 0.2 # nginx writes its log line as the response ends
    bytes=$(awk '{ total += $10 } END { print total + 0 }' "$log")
    eval "$(echo "$line" | sed 's/ gap_status=.*//' | tr ' ' '\n' | sed 's/^/r_/')"
    printf '| %s | %s | %.2f s | %d MiB | %.1f ms |\n' "$label" "$(human "$bytes")" "$r_seconds" \
        "$((r_peak_rss_kib / 1024))" "$r_longest_tick_gap_ms"
    bytes_of[$label]=$bytes
    seconds_of[$label]=$r_seconds
    rss_of[$label]=$((r_peak_rss_kib / 1024))
    gap_of[$label]=$r_longest_tick_gap_ms
}
# The aims that hold for every run: the window never held up for more than 12 ms.
every_run_verdicts() {
    for label in "${!gap_of[@]}"; do
        verdict "$label: longest tick gap ${gap_of[$label]} ms <= 12 ms" "${gap_of[$label]} <= 12"
    done | sort -k2
}

if [ -z "$large_only" ]; then
# The two releases.
mapfile -t versions < <(apt-cache madison "$package" | awk '{ print $3 }' | sort -uV | tail -2)
[ ${#versions[@]} -eq 2 ] || { echo "$0: the archives hold fewer than two versions of $package" >&2; exit 1; }
for v in "${versions[@]}"; do
    safe=${v//:/_}
    if [ ! -s "$dir/cache/$safe.exe" ]; then
        (cd "$dir/cache" && apt-get download "$package=$v" >/dev/null 2>&1)
        deb=$(ls "$dir/cache/${package}_"*"${v#*:}"*.deb | head -1)
        dpkg-deb --fsys-tarfile "$deb" | tar -xO "./$member" >"$dir/cache/$safe.exe"
    fi
done
old=$dir/cache/${versions[0]//:/_}.exe
new=$dir/cache/${versions[1]//:/_}.exe

echo "Releases: $package ${versions[0]} and ${versions[1]} ($member: $(human "$(size "$old")") and $(human "$(size "$new")"))"
echo "Reference sizes of the new release, made by the tools:"
zstd -q -f -19 --long=27 "$new" -o "$dir/ref.zst"
zstd -q -f -19 --long=27 --patch-from="$old" "$new" -o "$dir/ref.patch" 2>/dev/null
ref_zst=$(size "$dir/ref.zst")
ref_patch=$(size "$dir/ref.patch")
echo "  zstd -19 --long=27:                  $(human "$ref_zst")"
echo "  zstd -19 --long=27 --patch-from=OLD: $(human "$ref_patch")"
if [ -n "$bsdiff" ]; then
    bsdiff "$old" "$new" "$dir/ref.bsdiff"
    echo "  bsdiff OLD NEW:                      $(human "$(size "$dir/ref.bsdiff")")"
fi

echo "Publishing both with vexbrindle-publish ..."
publish_sites pair "$old" "$new"
echo "  patch $(human "$(size "$dir"/www/pair-patch/vexbrindle/patches/*.zst)"), compressed $(human "$(size "$dir/www/pair-patch/vexbrindle/DrixaBilling2.exe.zst")"), whole $(human "$(size "$new")")"

limited=$(start_server "$dir/limited" "$dir/logs/limited.log" "$rate"); servers+=("$dir/limited")
unlimited=$(start_server "$dir/unlimited" "$dir/logs/unlimited.log" 0); servers+=("$dir/unlimited")

echo
echo "| form, server | body bytes sent | time to update | peak RSS | longest tick gap |"
echo "|---|---|---|---|---|"
for form in patch compressed whole; do
    update_once "$form at $rate B/s" "$limited" "pair-$form" "$old" "$new" "$dir/logs/limited.log"
done
for form in patch compressed whole; do
    update_once "$form unlimited" "$unlimited" "pair-$form" "$old" "$new" "$dir/logs/unlimited.log"
done

echo
echo "Aims at $rate B/s:"
pb=${bytes_of["patch at $rate B/s"]} cb=${bytes_of["compressed at $rate B/s"]}
pt=${seconds_of["patch at $rate B/s"]} wt=${seconds_of["whole at $rate B/s"]}
verdict "patch bytes $pb <= 1.05 x $ref_patch + 16384" "$pb <= 1.05 * $ref_patch + 16384"
verdict "patch time ${pt} s <= 0.1 x whole-file time ${wt} s" "$pt <= 0.1 * $wt"
verdict "compressed bytes $cb <= 1.05 x $ref_zst" "$cb <= 1.05 * $ref_zst"
every_run_verdicts
fi

[ "$large_mib" -gt 0 ] || exit 0
[ ${#servers[@]} -gt 0 ] || { unlimited=$(start_server "$dir/unlimited" "$dir/logs/unlimited.log" 0); servers+=("$dir/unlimited"); }
echo
echo "A made-up executable of $large_mib MiB and a release that changes 1 % of it (in 64 KiB pieces):"
large_old=$dir/large-old.exe
large_new=$dir/large-new.exe
if [ -n "$reuse_large" ]; then
    echo "Reusing the pair and the sites published by an earlier run."
else
    head -c "$large_bytes" /dev/urandom >"$large_old"
    cp "$large_old" "$large_new"
    pieces=$((large_mib * 16 / 100)) # 1 % of the 64 KiB pieces
    for i in $(seq "$pieces"); do
        dd if=/dev/urandom of="$large_new" bs=64K count=1 seek=$((i * 100 + 37)) conv=notrunc status=none
    done
    echo "Publishing both (zstd level 19 over $large_mib MiB takes minutes) ..."
    publish_sites large "$large_old" "$large_new"
fi
patch=$(ls "$dir"/www/large-patch/vexbrindle/patches/*.zst)
echo "  patch $(human "$(size "$patch")")"
echo
echo "| form, server | body bytes sent | time to update | peak RSS | longest tick gap |"
echo "|---|---|---|---|---|"
for form in patch compressed whole; do
    update_once "large $form unlimited" "$unlimited" "large-$form" "$large_old" "$large_new" "$dir/logs/unlimited.log"
done
sync
start=$(date +%s.%N)
/usr/bin/time -f '%M' -o "$dir/logs/zstd.rss" zstd -q -f -d --patch-from="$large_old" "$patch" -o "$dir/large-zstd.out"
zstd_seconds=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.2f", e - s }')
cmp -s "$dir/large-zstd.out" "$large_new" || { echo "zstd -d made another file" >&2; exit 1; }
echo "| zstd -d --patch-from (reference) | | ${zstd_seconds} s | $(($(cat "$dir/logs/zstd.rss") / 1024)) MiB | |"
lt=${seconds_of["large patch unlimited"]}
echo
echo "Aims, $large_mib MiB:"
verdict "applying and verifying the patch ${lt} s at least 0.8 x as fast as zstd -d ${zstd_seconds} s" "$lt * 0.8 <= $zstd_seconds"
for form in patch compressed whole; do
    verdict "large $form: peak RSS ${rss_of["large $form unlimited"]} MiB < 64 MiB" "${rss_of["large $form unlimited"]} < 64"
done
every_run_verdicts
