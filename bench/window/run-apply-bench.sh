#!/usr/bin/env bash
# The main window's responsiveness while an apply downloads a large archive from the loopback test
# server, and the download's speed against the engine's own acquireArchive of the same file.
# Usage: bench/window/run-apply-bench.sh [build directory]   (default: build)
# Environment: VEXA_BENCH_DOWNLOAD_MB (1024), VEXA_BENCH_RUNS (3, the best download counts).
# Needs python3. Traffic stays on 127.0.0.1; the files live in a temporary directory.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
bench_apply=$build/bench/window/bench_apply
bench_archive=$build/bench/engine/bench_archive
[[ -x $bench_apply && -x $bench_archive ]] || { echo "bench_apply or bench_archive not built in $build" >&2; exit 1; }
size_mb=${VEXA_BENCH_DOWNLOAD_MB:-1024}
runs=${VEXA_BENCH_RUNS:-3}

work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-apply-bench.XXXXXX")
cleanup() {
    exec 3>&- || true
    rm -rf "$work"
}
trap cleanup EXIT

# One package whose archive holds its marker and $size_mb MiB of random bytes, stored as they are.
mkdir -p "$work/srv/packages"
python3 - "$work/srv" "$size_mb" <<'PY'
import hashlib, json, os, sys, zipfile
srv, size_mb = sys.argv[1], int(sys.argv[2])
archive = os.path.join(srv, "packages", "bench.zip")
with zipfile.ZipFile(archive, "w", zipfile.ZIP_STORED) as z:
    z.writestr("bench/marker.txt", "bench\n")
    with z.open("bench/payload.bin", "w", force_zip64=False) as entry:
        for _ in range(size_mb):
            entry.write(os.urandom(1 << 20))
digest = hashlib.sha256()
with open(archive, "rb") as handle:
    for block in iter(lambda: handle.read(1 << 24), b""):
        digest.update(block)
package = {"package_id": "com.company.vexa.bench", "display_name": "Bench Archive", "product": "Bench",
           "version": "1.0", "internal_version_code": 1, "toolchain": "any", "platform": "any",
           "group": "Bench", "install_subdir": "bench", "marker_relative_path": "bench/marker.txt",
           "payload_archive": "packages/bench.zip", "sha256": digest.hexdigest(),
           "size_bytes": os.path.getsize(archive), "owned_paths": ["bench"], "default_selected": True}
with open(os.path.join(srv, "catalog.json"), "w") as handle:
    json.dump({"schema_version": 1, "packages": [package]}, handle)
with open(os.path.join(srv, "digest"), "w") as handle:
    handle.write("%s %d\n" % (digest.hexdigest(), os.path.getsize(archive)))
PY
read -r digest size < "$work/srv/digest"

# The tests' loopback server; it runs until its standard input (descriptor 3 here) closes.
mkfifo "$work/server-input"
python3 "$source_dir/tests/support/httpserver.py" --root "$work/srv" < "$work/server-input" > "$work/port" &
exec 3> "$work/server-input"
for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.1; done
base=http://127.0.0.1:$(head -n1 "$work/port")

uptime
echo "archive: $size bytes"
best_engine=
for run in $(seq "$runs"); do
    rm -rf "$work/cache"; sync
    seconds=$(XDG_CACHE_HOME="$work/cache/xdg" "$bench_archive" download "$base/packages/bench.zip" "$work/cache" "$digest" "$size" | sed -n 's/.*seconds=\([^ ]*\).*/\1/p')
    echo "acquireArchive run $run: $seconds s"
    if [[ -z $best_engine ]] || python3 -c "import sys; sys.exit(0 if $seconds < $best_engine else 1)"; then best_engine=$seconds; fi
done
rm -rf "$work/cache"

best_window=
for run in $(seq "$runs"); do
    # A fresh archive cache each time, so every run downloads.
    rm -rf "$work/root" "$work/tmp" "$work/xdg-cache"; mkdir -p "$work/tmp"; sync
    report=$(env TMPDIR="$work/tmp" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/xdg-cache" VEXA_SKIP_ENV_UPDATE=1 QT_QPA_PLATFORM=offscreen \
        "$bench_apply" "$base/catalog.json" "$work/root")
    echo "window apply run $run:"
    sed 's/^/  /' <<< "$report"
    seconds=$(sed -n 's/^download seconds=\([^ ]*\).*/\1/p' <<< "$report")
    if [[ -z $best_window ]] || python3 -c "import sys; sys.exit(0 if $seconds < $best_window else 1)"; then best_window=$seconds; fi
done
echo "best download: window apply $best_window s, acquireArchive $best_engine s," \
    "ratio $(python3 -c "print(f'{$best_window / $best_engine:.2f}')")"
