#!/usr/bin/env bash
# The archive cache and resumed downloads, each against its goal:
#   1. an archive cut at 90%: the retry's bytes and time against a full download, both through
#      acquireArchive (the "seconds" bench_archive reports), interleaved;
#   2. an archive already in the cache: the whole bench_archive process that checks and uses it against
#      `sha256sum` of the file;
#   3. an uninterrupted download against `curl -o`, and with a baseline build the same ratio of today's
#      program in the same rounds.
# Runs alternate A B B A in rounds; every neighbouring pair gives one ratio, and the median and range of
# the ratios are reported beside the goal. The archive cache of every run is a fresh folder
# (XDG_CACHE_HOME), the server is the tests' loopback server, which can cut a body and counts the bytes
# it sends.
#
# Usage: bench/engine/run-cache-bench.sh [build directory] [baseline build directory]
# Environment: VEXA_BENCH_DOWNLOAD_MB (1024), VEXA_BENCH_ROUNDS (3), VEXA_BENCH_PARTS (123: which of the
# three to run).
# Needs python3, GNU time, curl, sha256sum. Traffic stays on 127.0.0.1; the files live in a temporary
# directory that is deleted at the end.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$source_dir/build}" && pwd)
bench=$build/bench/engine/bench_archive
[[ -x $bench ]] || { echo "bench_archive not built in $build" >&2; exit 1; }
baseline=
if [[ -n ${2:-} ]]; then
    baseline=$(cd "$2" && pwd)/bench/engine/bench_archive
    [[ -x $baseline ]] || { echo "bench_archive not built in $2" >&2; exit 1; }
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-cache-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

python3 - "$bench" "$baseline" "$work" "$source_dir/tests/support/httpserver.py" <<'PY'
import hashlib, json, os, re, shutil, statistics, subprocess, sys, time

bench, baseline, work, server_script = sys.argv[1:5]
download_mb = int(os.environ.get('VEXA_BENCH_DOWNLOAD_MB', '1024'))
rounds = int(os.environ.get('VEXA_BENCH_ROUNDS', '3'))
parts = os.environ.get('VEXA_BENCH_PARTS', '123')
srv = os.path.join(work, 'srv')
os.makedirs(srv)
control = os.path.join(work, 'control.json')
sent_file = os.path.join(work, 'sent')
xdg = os.path.join(work, 'xdg-cache')
apply_folder = os.path.join(work, 'apply-folder')

payload = os.path.join(srv, 'payload.zip')
digest = hashlib.sha256()
with open(payload, 'wb') as out:
    for _ in range(download_mb):
        block = os.urandom(1 << 20)
        digest.update(block)
        out.write(block)
digest = digest.hexdigest()
size = os.path.getsize(payload)
cut = size * 9 // 10


def set_control(**settings):
    with open(control + '.new', 'w') as out:
        json.dump(settings, out)
    os.replace(control + '.new', control)


def sent():
    with open(sent_file) as handle:
        return int(handle.read())


def fresh_cache():
    for path in (xdg, apply_folder):
        shutil.rmtree(path, ignore_errors=True)


def environment():
    return dict(os.environ, XDG_CACHE_HOME=xdg)


def timed(command):
    """Wall seconds of the whole process, the seconds it reports itself (or None), and its exit code."""
    started = time.perf_counter()
    process = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=environment())
    wall = time.perf_counter() - started
    match = re.search(rb'seconds=([0-9.]+)', process.stdout)
    return wall, float(match.group(1)) if match else None, process.returncode


def acquire(program):
    return [program, 'download', url, apply_folder, digest, str(size)]


def report(title, goal, ratios, extra=''):
    verdict = 'met' if statistics.median(ratios) <= goal else 'NOT met'
    print(f'  {title}: median {statistics.median(ratios):.3f}x, range {min(ratios):.3f}x-{max(ratios):.3f}x '
          f'({len(ratios)} pairs){extra}; goal at most {goal:.2f}x: {verdict}', flush=True)


set_control()
server = subprocess.Popen([sys.executable, server_script, '--root', srv, '--control', control, '--sent', sent_file],
                          stdin=subprocess.PIPE, stdout=subprocess.PIPE)
try:
    port = int(server.stdout.readline())
    url = f'http://127.0.0.1:{port}/payload.zip'
    print(f'archive: {size} bytes, cut at {cut}; load: {os.getloadavg()[0]:.2f}', flush=True)

    if '1' in parts:
        # 1. Full download against the retry of one cut at 90%.
        def full_download():
            fresh_cache()
            os.sync()
            _, seconds, code = timed(acquire(bench))
            assert code == 0, 'the full download failed'
            return seconds

        def retry():
            fresh_cache()
            set_control(cut_after=cut)
            _, _, code = timed(acquire(bench))
            assert code != 0, 'the cut download did not fail'
            set_control()
            os.sync()
            before = sent()
            _, seconds, code = timed(acquire(bench))
            assert code == 0, 'the retry failed'
            return seconds, sent() - before

        print('== 1 GiB archive cut at 90%: retry against a full download, both through acquireArchive')
        time_ratios, byte_ratios, fulls, retries = [], [], [], []
        for _ in range(rounds):
            for order in ((full_download, retry), (retry, full_download)):
                half = {}
                for step in order:
                    half[step.__name__] = step()
                full_seconds = half['full_download']
                retry_seconds, retry_bytes = half['retry']
                fulls.append(full_seconds)
                retries.append(retry_seconds)
                time_ratios.append(retry_seconds / full_seconds)
                byte_ratios.append(retry_bytes / size)
        print(f'  full download median {statistics.median(fulls):.3f} s, retry median {statistics.median(retries):.3f} s')
        report('retry bytes / archive bytes', 0.11, byte_ratios)
        report('retry time / full download time', 0.15, time_ratios)

    if '2' in parts:
        # 2. The archive already in the cache against sha256sum of the file.
        print('== archive already in the cache: bench_archive process against sha256sum')
        fresh_cache()
        assert timed(acquire(bench))[2] == 0
        cached = os.path.join(xdg, 'bench_archive', 'archives', digest + '.zip')
        assert os.path.isfile(cached), cached
        ours, tool, ratios = [], [], []
        for _ in range(rounds):
            for order in (('tool', 'ours'), ('ours', 'tool')):
                half = {}
                for side in order:
                    before = sent()
                    if side == 'tool':
                        half[side] = timed(['sha256sum', cached])[0]
                    else:
                        wall, _, code = timed(acquire(bench))
                        assert code == 0 and sent() == before, 'the cached archive was not used'
                        half[side] = wall
                ours.append(half['ours'])
                tool.append(half['tool'])
                ratios.append(half['ours'] / half['tool'])
        print(f'  sha256sum median {statistics.median(tool):.3f} s, acquireArchive (whole process) median '
              f'{statistics.median(ours):.3f} s')
        report('cached use / sha256sum', 1.1, ratios)

    if '3' in parts:
        # 3. Uninterrupted download against curl, ours and today's.
        print('== uninterrupted download against curl -o')
        curl_file = os.path.join(work, 'curl.zip')
        sides = [('curl -o', lambda: ['curl', '-s', '-o', curl_file, url]), ('acquireArchive', lambda: acquire(bench))]
        if baseline:
            sides.append(('acquireArchive (baseline)', lambda: acquire(baseline)))
        times = {label: [] for label, _ in sides}
        ratios = {label: [] for label, _ in sides[1:]}
        for _ in range(rounds):
            for order in (sides, sides[::-1]):
                half = {}
                for label, command in order:
                    fresh_cache()
                    if os.path.exists(curl_file):
                        os.remove(curl_file)
                    os.sync()
                    wall, _, code = timed(command())
                    assert code == 0, label + ' failed'
                    half[label] = wall
                    times[label].append(wall)
                for label in ratios:
                    ratios[label].append(half[label] / half['curl -o'])
        for label, values in times.items():
            print(f'  {label:<28} median {statistics.median(values):.3f} s, range {min(values):.3f}-{max(values):.3f} s')
        for label, values in ratios.items():
            print(f'  {label} / curl -o: median {statistics.median(values):.3f}x, '
                  f'range {min(values):.3f}x-{max(values):.3f}x')
        if baseline:
            # Both ratios of the same half round against each other: the change the load of the moment
            # affects least.
            changes = [now / today for now, today in zip(ratios['acquireArchive'], ratios['acquireArchive (baseline)'])]
            report('ratio to curl now / ratio to curl today', 1.05, changes)
finally:
    server.stdin.close()
    server.wait()
PY
