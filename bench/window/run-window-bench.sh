#!/usr/bin/env bash
# Start-up to the main window's first frame, check-box clicks and peak memory, offscreen, over the
# sample repository and over generated catalogs of 5,000 packages with 1,000 installed and of 50,000
# with 10,000 installed; then progress lines while 1,000 download rows are shown, served by the tests'
# loopback server (needs python3; traffic stays on 127.0.0.1).
# Usage: bench/window/run-window-bench.sh [build directory]   (default: build)
# Environment: VEXA_BENCH_RUNS (7 start-ups per case), VEXA_BENCH_CLICKS (40).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
bench=$build/bench/window/bench_window
bench_rows=$build/bench/window/bench_downloadrows
installer_name=$(sed -n 's/^VEXA_INSTALLER_EXE_NAME:STRING=//p' "$build/CMakeCache.txt")
installer=$build/bin/${installer_name:-CompanyVexaInstaller}
[[ -x $bench && -x $bench_rows && -x $installer ]] \
    || { echo "bench_window, bench_downloadrows or the installer not built in $build" >&2; exit 1; }
runs=${VEXA_BENCH_RUNS:-7}
clicks=${VEXA_BENCH_CLICKS:-40}

work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-window-bench.XXXXXX")
cleanup() {
    exec 3>&- || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/sample/home" && mkdir -m 700 "$work/runtime"
"$bench" fixture "$work/large" 5000 1000
"$bench" fixture "$work/huge" 50000 10000

# Each run in a clean environment: offscreen, no catalog variables, home and caches in $work.
run_clean() {
    local home=$1; shift
    env -i PATH="$PATH" HOME="$home" TMPDIR="$work" XDG_RUNTIME_DIR="$work/runtime" \
        XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen "$@"
}
stats() { sort -n | awk '{ v[NR] = $1 } END { printf "median %.1f ms, best %.1f ms (%d runs)", v[int((NR + 1) / 2)], v[1], NR }'; }

measure() {
    local name=$1 home=$2 repository=$3
    local inprocess=() inprocess_cpu=() whole=() whole_cpu=() peak=
    for _ in $(seq "$runs"); do
        local report; report=$(run_clean "$home" "$bench" startup "$repository" 2>/dev/null)
        inprocess+=("$(sed -n 's/^catalog load to first frame: \([0-9.]*\) ms$/\1/p' <<< "$report")")
        inprocess_cpu+=("$(sed -n 's/^process CPU time at the first frame: \([0-9.]*\) ms$/\1/p' <<< "$report")")
        peak=$(sed -n 's/^peak resident memory: \([0-9]*\) KiB$/\1/p' <<< "$report")
        # Wall, user and system seconds of the whole program.
        local times; times=$( { TIMEFORMAT='%3R %3U %3S'; time run_clean "$home" env VEXA_SCREENSHOT="$work/shot.png" \
            "$installer" --repository-dir "$repository" --skip-self-update >/dev/null 2>&1; } 2>&1 )
        whole+=("$(awk '{ print $1 * 1000 }' <<< "$times")")
        whole_cpu+=("$(awk '{ print ($2 + $3) * 1000 }' <<< "$times")")
    done
    echo "$name"
    echo "  in-process, catalog load to first swapped frame: $(printf '%s\n' "${inprocess[@]}" | stats)"
    echo "  in-process, CPU time of the process at the first frame: $(printf '%s\n' "${inprocess_cpu[@]}" | stats)"
    echo "  whole program, start to exit after saving the first frame: $(printf '%s\n' "${whole[@]}" | stats)"
    echo "  whole program, CPU time: $(printf '%s\n' "${whole_cpu[@]}" | stats)"
    echo "  peak resident memory of an in-process start-up: $peak KiB"
    echo "  last in-process run, step by step:"
    run_clean "$home" "$bench" startup "$repository" 2>/dev/null | sed 's/^/    /'
}

uptime
measure "sample repository" "$work/sample/home" "$source_dir/examples/repository"
measure "5,000 packages, 1,000 installed" "$work/large/home" "$work/large/repo"
echo "check-box clicks at 5,000 packages ($clicks rounds):"
run_clean "$work/large/home" "$bench" click "$work/large/repo" "$clicks" 2>/dev/null | sed 's/^/  /'
echo "check-box clicks at 50,000 packages ($clicks rounds):"
run_clean "$work/huge/home" "$bench" click "$work/huge/repo" "$clicks" 2>/dev/null | sed 's/^/  /'

# 1,000 packages that all download the same 1 MiB archive, served in 4 KiB pieces 30 ms apart (Qt
# reports progress ten times a second: about eighty lines). It is no zip, so the apply fails once the first download has arrived.
srv=$work/downloads/srv
mkdir -p "$srv/packages" "$work/downloads/home"
head -c 1048576 /dev/urandom > "$srv/packages/rows.bin"
mkfifo "$work/server-input"
python3 "$source_dir/tests/support/httpserver.py" --root "$srv" < "$work/server-input" > "$work/port" &
exec 3> "$work/server-input"
for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.1; done
base=http://127.0.0.1:$(head -n1 "$work/port")
python3 - "$srv" "$base" 1000 <<'PY'
import hashlib, json, os, sys
srv, base, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
archive = os.path.join(srv, "packages", "rows.bin")
digest = hashlib.sha256(open(archive, "rb").read()).hexdigest()
packages = [{"package_id": "com.example.rows%d" % i, "display_name": "Download %d" % i, "product": "Rows",
             "version": "1.0", "internal_version_code": 1, "toolchain": "any", "platform": "any",
             "group": "Rows", "install_subdir": "rows%d" % i, "marker_relative_path": "rows%d/marker.txt" % i,
             "payload_url": base + "/drip/packages/rows.bin?chunk=4096&interval_ms=30", "sha256": digest,
             "size_bytes": os.path.getsize(archive), "owned_paths": ["rows%d" % i], "default_selected": True}
            for i in range(count)]
with open(os.path.join(srv, "catalog.json"), "w") as handle:
    json.dump({"schema_version": 1, "packages": packages}, handle)
PY
echo "progress lines with 1,000 download rows:"
run_clean "$work/downloads/home" "$bench_rows" "$base/catalog.json" "$work/downloads/root" 2>/dev/null | sed 's/^/  /'
