#!/usr/bin/env bash
# Measures the archive operations against the system's own tools in one run and prints the ratios.
# Usage: bench/engine/run-archive-bench.sh [build directory]   (default: build-archive)
# Environment: VEXA_BENCH_DOWNLOAD_MB (1024), VEXA_BENCH_BIG_ENTRY_MB (500), VEXA_BENCH_FILES (2000),
# VEXA_BENCH_RUNS (5, the best run counts).
# Needs python3, curl, openssl, sha256sum, unzip, /usr/bin/time. Traffic stays
# on 127.0.0.1; the large files live in a temporary directory that is deleted section by section.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../build-archive}
bench=$build/bench/engine/bench_archive
[[ -x $bench ]] || { echo "bench_archive not built in $build" >&2; exit 1; }
download_mb=${VEXA_BENCH_DOWNLOAD_MB:-1024}
big_entry_mb=${VEXA_BENCH_BIG_ENTRY_MB:-500}
file_count=${VEXA_BENCH_FILES:-2000}
runs=${VEXA_BENCH_RUNS:-5}

work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-archive-bench.XXXXXX")
server_pid=
cleanup() {
    [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
elapsed() { python3 -c "print(f'{$2 - $1:.3f}')"; }
ratio() { python3 -c "print(f'{$1 / $2:.2f}')"; }
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }

# Best of $runs wall-clock runs of a command: the machine may be busy, the best run shows the cost.
# `reset` (a function name or :) runs, untimed, before each.
best_of_runs() {
    local reset=$1; shift
    local best=
    for _ in $(seq "$runs"); do
        $reset
        local start; start=$(now)
        "$@" >/dev/null
        local t; t=$(elapsed "$start" "$(now)")
        if [[ -z $best ]] || python3 -c "import sys; sys.exit(0 if $t < $best else 1)"; then best=$t; fi
    done
    echo "$best"
}

# Best of $runs runs of bench_archive, as reported by the program itself.
bench_best_of_runs() {
    local reset=$1; shift
    local best=
    for _ in $(seq "$runs"); do
        $reset
        local t; t=$("$@" | field seconds)
        if [[ -z $best ]] || python3 -c "import sys; sys.exit(0 if $t < $best else 1)"; then best=$t; fi
    done
    echo "$best"
}

report() { printf '%-58s %s\n' "$1" "$2"; }

echo "== SHA-256 and download (${download_mb} MiB) =="
mkdir -p "$work/srv"
head -c "$((download_mb * 1024 * 1024))" /dev/urandom > "$work/srv/payload.zip"
head -c "$((256 * 1024 * 1024))" /dev/urandom > "$work/srv/small.zip"
digest=$(sha256sum "$work/srv/payload.zip" | cut -d' ' -f1)
size=$(stat -c %s "$work/srv/payload.zip")
small_digest=$(sha256sum "$work/srv/small.zip" | cut -d' ' -f1)
small_size=$(stat -c %s "$work/srv/small.zip")

openssl_s=$(best_of_runs : openssl dgst -sha256 "$work/srv/payload.zip")
ours_sha_s=$(bench_best_of_runs : "$bench" sha256 "$work/srv/payload.zip")
report "openssl dgst -sha256 (s)" "$openssl_s"
report "sha256OfFile (s)" "$ours_sha_s"
report "sha256OfFile / openssl" "$(ratio "$ours_sha_s" "$openssl_s")"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/srv" >/dev/null 2>&1 &
server_pid=$!
url=http://127.0.0.1:$port/payload.zip
for _ in $(seq 50); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.1; done

sync
/usr/bin/time -f "%e %M" -o "$work/time.txt" curl -s -o "$work/curl.zip" "$url"
read -r curl_s curl_kb < "$work/time.txt"
start=$(now); sha256sum "$work/curl.zip" >/dev/null; sum_s=$(elapsed "$start" "$(now)")
rm -f "$work/curl.zip"
curl_sum_s=$(python3 -c "print(f'{$curl_s + $sum_s:.3f}')")

sync
line=$("$bench" download "$url" "$work/cache" "$digest" "$size")
ours_dl_s=$(field seconds <<< "$line"); ours_dl_kb=$(field peak_rss_kb <<< "$line")
rm -rf "$work/cache"
small_line=$("$bench" download "http://127.0.0.1:$port/small.zip" "$work/cache" "$small_digest" "$small_size")
small_kb=$(field peak_rss_kb <<< "$small_line")
rm -rf "$work/cache"

report "curl -o (s, peak RSS KiB)" "$curl_s  $curl_kb"
report "curl -o then sha256sum (s)" "$curl_sum_s"
report "acquireArchive download+verify (s, peak RSS KiB)" "$ours_dl_s  $ours_dl_kb"
report "acquireArchive / curl -o" "$(ratio "$ours_dl_s" "$curl_s")"
report "acquireArchive / (curl -o + sha256sum)" "$(ratio "$ours_dl_s" "$curl_sum_s")"
report "acquireArchive peak RSS KiB: 256 MiB vs ${download_mb} MiB" "$small_kb  $ours_dl_kb"
kill "$server_pid"; server_pid=
rm -rf "$work/srv"

echo "== Extraction ($file_count files; one ${big_entry_mb} MB entry) =="
python3 - "$work" "$file_count" "$big_entry_mb" <<'PY'
import os, random, sys, zipfile
work, count, big_mb = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(1)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz_') for _ in range(rng.randint(3, 12))) for _ in range(4000)]
def text(size):
    out, n = [], 0
    while n < size:
        line = 'set(%s %s %d)\n' % (rng.choice(words), rng.choice(words), rng.randint(0, 1 << 30))
        out.append(line); n += len(line)
    return ''.join(out)[:size]
with zipfile.ZipFile(os.path.join(work, 'many.zip'), 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(count):
        z.writestr('pkg/dir%02d/sub%d/file%04d.cmake' % (i % 40, i % 3, i), text(rng.randint(2000, 20000)))
block = text(4 * 1024 * 1024).encode()
with zipfile.ZipFile(os.path.join(work, 'big.zip'), 'w', zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    # Plain (not ZIP64) headers: the zip reader of Qt 6.4 refuses entries that need ZIP64.
    with z.open('sdk/lib/big.bin', 'w', force_zip64=False) as entry:
        written = 0
        while written < big_mb * 1000 * 1000:
            piece = block[: big_mb * 1000 * 1000 - written]
            entry.write(piece); written += len(piece)
PY
for archive in many big; do
    # sync: data written by the previous run must not be flushed on the time of the next one.
    reset_dest() { rm -rf "$work/dest"; sync; }
    unzip_s=$(best_of_runs reset_dest unzip -q -o "$work/$archive.zip" -d "$work/dest")
    reader_s=$(bench_best_of_runs reset_dest "$bench" extract "$work/$archive.zip" "$work/dest")
    report "$archive.zip: unzip (s)" "$unzip_s"
    report "$archive.zip: extractArchive (s)" "$reader_s   ratio $(ratio "$reader_s" "$unzip_s")"
    line=$("$bench" extract "$work/$archive.zip" "$work/dest.rss")
    report "$archive.zip: extractArchive peak RSS KiB" "$(field peak_rss_kb <<< "$line")"
    rm -rf "$work/dest.rss"
done

echo "== Directory copy =="
rm -rf "$work/dest" "$work/tree"
unzip -q -o "$work/many.zip" -d "$work/tree"
reset_copy() { rm -rf "$work/copy"; sync; }
cp_s=$(best_of_runs reset_copy cp -r "$work/tree" "$work/copy")
ours_copy_s=$(bench_best_of_runs reset_copy "$bench" copy "$work/tree" "$work/copy")
report "$file_count files: cp -r (s)" "$cp_s"
report "$file_count files: copyDirectoryTree (s)" "$ours_copy_s   ratio $(ratio "$ours_copy_s" "$cp_s")"
unzip -q -o "$work/big.zip" -d "$work/tree"
cp_s=$(best_of_runs reset_copy cp -r "$work/tree" "$work/copy")
ours_copy_s=$(bench_best_of_runs reset_copy "$bench" copy "$work/tree" "$work/copy")
report "$file_count files + ${big_entry_mb} MB file: cp -r (s)" "$cp_s"
report "$file_count files + ${big_entry_mb} MB file: copyDirectoryTree (s)" "$ours_copy_s   ratio $(ratio "$ours_copy_s" "$cp_s")"
