#!/usr/bin/env bash
# vexa against its goals, each side a whole process:
#  - `vexa apply --yes` of the sample repository's default selection from the tests' loopback HTTP
#    server, against bench_sessionapply making the same apply straight through the session library
#    (goal: within 1.1x). Rounds of A B B A, each run into a fresh root and a fresh archive cache, so
#    every run downloads; each neighbouring pair gives one ratio, the median is reported.
#  - `vexa list --json` over a 5,000-package catalog with 1,000 packages installed (goal: under
#    400 ms); the best and the median of the runs.
#
# Usage: bench/cli/run-cli-bench.sh [build directory]
# Environment: VEXA_BENCH_ROUNDS (5). Needs python3. Traffic stays on 127.0.0.1; everything lives in
# a temporary directory deleted at the end.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
for program in bin/vexa bench/cli/bench_sessionapply bench/cli/bench_largeroot; do
    [[ -x $build/$program ]] || { echo "$program not built in $build" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-cli-bench.XXXXXX")
cleanup() {
    exec 3>&- || true
    rm -rf "$work"
}
trap cleanup EXIT

# The tests' loopback server; it runs until its standard input (descriptor 3 here) closes.
mkfifo "$work/server-input"
python3 "$source_dir/tests/support/httpserver.py" --root "$source_dir/examples/repository" \
    < "$work/server-input" > "$work/port" &
exec 3> "$work/server-input"
for _ in $(seq 100); do [[ -s $work/port ]] && break; sleep 0.1; done
base=http://127.0.0.1:$(head -n1 "$work/port")

"$build/bench/cli/bench_largeroot" "$work/large" 5000 1000

uptime
python3 - "$build" "$work" "$base" <<'PY'
import os, shutil, statistics, subprocess, sys, time

build, work, base = sys.argv[1:4]
rounds = int(os.environ.get('VEXA_BENCH_ROUNDS', '5'))
catalog = base + '/catalog.json'

def timed(command, environment):
    start = time.perf_counter()
    subprocess.run(command, env=environment, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start

def apply(kind, run):
    # A fresh root, cache and temporary directory: every run downloads and installs everything.
    place = os.path.join(work, 'apply')
    shutil.rmtree(place, ignore_errors=True)
    os.makedirs(os.path.join(place, 'tmp'))
    environment = dict(os.environ, VEXA_SKIP_ENV_UPDATE='1', TMPDIR=os.path.join(place, 'tmp'),
                       XDG_CACHE_HOME=os.path.join(place, 'cache'), XDG_CONFIG_HOME=os.path.join(place, 'config'))
    root = os.path.join(place, 'root')
    if kind == 'vexa':
        command = [os.path.join(build, 'bin/vexa'), 'apply', '--yes', '--catalog-url', catalog, '--root', root]
    else:
        command = [os.path.join(build, 'bench/cli/bench_sessionapply'), catalog, root]
    return timed(command, environment)

apply('vexa', 0)  # warm the page cache
ratios, vexa_times, library_times = [], [], []
for round in range(rounds):
    a = apply('vexa', round); b = apply('library', round); b2 = apply('library', round); a2 = apply('vexa', round)
    vexa_times += [a, a2]; library_times += [b, b2]
    ratios += [a / b, a2 / b2]
print('apply of the sample selection: vexa median %.1f ms, library median %.1f ms; ratio median %.3f '
      '(range %.3f to %.3f), goal 1.1' % (statistics.median(vexa_times) * 1e3, statistics.median(library_times) * 1e3,
                                          statistics.median(ratios), min(ratios), max(ratios)))

large = os.path.join(work, 'large')
environment = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, 'cache'))
command = [os.path.join(build, 'bin/vexa'), 'list', '--json', '--repository-dir', large, '--root',
           os.path.join(large, 'root')]
timed(command, environment)
times = [timed(command, environment) for _ in range(max(rounds, 5))]
print('vexa list --json, 5,000 packages, 1,000 installed: best %.0f ms, median %.0f ms, goal 400 ms'
      % (min(times) * 1e3, statistics.median(times) * 1e3))
PY
