#!/usr/bin/env bash
# Download benchmark: one file from nginx on 127.0.0.1, fetched in turn by the updater's transfer
# component (build/bin/inet_download_bench), by `curl -o`, and by the updater again as a signed
# update (the file signed by minisign, "ED": its signature fetched first, the body hashed while it
# streams in and checked before it is kept), all writing to disk. Prints MB/s of each, the
# ratios, the updater's peak RSS and the longest gap between ticks of a 1 ms timer during its
# downloads; the wait from the last tick to the end of a download (syncing the file to disk,
# checking the signature) counts as a gap, and each round shows it on its own ("at the end").
#
#   bench/inet/run.sh [--size-mib N] [--rounds N] [--dir DIR]
#
# Defaults: 1024 MiB, 3 rounds, files under build/bench-inet (on disk, not in memory).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)

size_mib=1024
rounds=3
dir=$root/build/bench-inet
while [ $# -gt 0 ]; do
    case "$1" in
    --size-mib) size_mib=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    *) echo "usage: $0 [--size-mib N] [--rounds N] [--dir DIR]" >&2; exit 2 ;;
    esac
done

bench=${INET_DOWNLOAD_BENCH:-build/bin/inet_download_bench}
if [ ! -x "$bench" ]; then
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j2 --target inet_download_bench >/dev/null
fi

rm -rf "$dir"
mkdir -p "$dir/www/vexbrindle" "$dir/ours" "$dir/curl" "$dir/signed" "$dir/keys"
file=$dir/www/vexbrindle/DrixaBilling2.exe
echo "Creating a ${size_mib} MiB file ..."
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$file"
bytes=$(stat -c %s "$file")
echo "Signing it with a throw-away minisign key ..."
minisign -G -W -p "$dir/keys/bench.pub" -s "$dir/keys/bench.key" >/dev/null
minisign -S -s "$dir/keys/bench.key" -m "$file" -t "file:$(basename "$file") version:bench" >/dev/null

port=$("$root/scripts/update-server.sh" start "$dir/server" "$dir/www")
trap '"$root/scripts/update-server.sh" stop "$dir/server"; rm -rf "$dir"' EXIT
url=http://127.0.0.1:$port/vexbrindle/DrixaBilling2.exe

max() { awk -v a="$1" -v b="$2" 'BEGIN { print (a + 0 > b + 0) ? a : b }'; }

ours_best=0 curl_best=0 signed_best=0 rss_max=0 gap_max=0 signed_rss_max=0
for round in $(seq "$rounds"); do
    rm -f "$dir/ours/"* "$dir/curl/"* "$dir/signed/"*
    sync
    line=$("$bench" "$url" "$dir/ours")
    eval "$(echo "$line" | tr ' ' '\n' | sed 's/^/r_/')"
    cmp -s "$file" "$dir/ours/DrixaBilling2.exe" || { echo "updater's copy differs" >&2; exit 1; }
    rm -f "$dir/ours/"*
    sync

    start=$(date +%s.%N)
    curl -s -o "$dir/curl/DrixaBilling2.exe" "$url"
    end=$(date +%s.%N)
    curl_mbps=$(awk -v b="$bytes" -v s="$start" -v e="$end" 'BEGIN { printf "%.1f", b / (e - s) / 1e6 }')
    cmp -s "$file" "$dir/curl/DrixaBilling2.exe" || { echo "curl's copy differs" >&2; exit 1; }

    rm -f "$dir/curl/"*
    sync

    printf 'round %d: updater %8.1f MB/s (peak RSS %d KiB, longest tick gap %.2f ms: %.2f ms during the transfer, %.2f ms at the end)   curl %8.1f MB/s\n' \
        "$round" "$r_mbps" "$r_peak_rss_kib" "$r_longest_tick_gap_ms" "$r_transfer_gap_ms" "$r_final_wait_ms" "$curl_mbps"
    ours_best=$(max "$r_mbps" "$ours_best")
    curl_best=$(max "$curl_mbps" "$curl_best")
    rss_max=$(max "$r_peak_rss_kib" "$rss_max")
    gap_max=$(max "$r_longest_tick_gap_ms" "$gap_max")

    line=$("$bench" "$url" "$dir/signed" "$dir/keys/bench.pub")
    eval "$(echo "$line" | tr ' ' '\n' | sed 's/^/s_/')"
    cmp -s "$file" "$dir/signed/DrixaBilling2.exe" || { echo "signed copy differs" >&2; exit 1; }
    rm -f "$dir/signed/"*
    sync
    printf '         signed  %8.1f MB/s (peak RSS %d KiB, longest tick gap %.2f ms: %.2f ms during the transfer, %.2f ms at the end)\n' \
        "$s_mbps" "$s_peak_rss_kib" "$s_longest_tick_gap_ms" "$s_transfer_gap_ms" "$s_final_wait_ms"
    signed_best=$(max "$s_mbps" "$signed_best")
    signed_rss_max=$(max "$s_peak_rss_kib" "$signed_rss_max")
    gap_max=$(max "$s_longest_tick_gap_ms" "$gap_max")
done

echo
printf 'file size:                 %d MiB\n' "$size_mib"
printf 'updater (best of %d):       %.1f MB/s\n' "$rounds" "$ours_best"
printf 'curl -o (best of %d):       %.1f MB/s\n' "$rounds" "$curl_best"
printf 'ratio updater / curl:      %.2f   (aim: >= 1.0)\n' "$(awk -v a="$ours_best" -v b="$curl_best" 'BEGIN { print a / b }')"
printf 'updater peak RSS:          %.1f MiB   (aim: < 48 MiB)\n' "$(awk -v a="$rss_max" 'BEGIN { print a / 1024 }')"
printf 'signed (best of %d):        %.1f MB/s\n' "$rounds" "$signed_best"
printf 'ratio signed / unsigned:   %.2f   (aim: >= 0.85)\n' "$(awk -v a="$signed_best" -v b="$ours_best" 'BEGIN { print a / b }')"
printf 'signed peak RSS:           %.1f MiB   (aim: < 48 MiB)\n' "$(awk -v a="$signed_rss_max" 'BEGIN { print a / 1024 }')"
printf 'longest 1 ms tick gap:     %.2f ms   (aim: <= 12 ms)\n' "$gap_max"
