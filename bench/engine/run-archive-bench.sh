#!/usr/bin/env bash
# Sets the archive operations against the system's own tools and prints each ratio beside its goal.
# Both sides run as whole processes, timed the same way, interleaved in rounds of A B B A (the tool,
# then ours, then ours, then the tool), each run starting from the same state with written data flushed
# first. Every neighbouring pair gives one ratio; the median and the range of the ratios are reported.
# The many-small-file cases run on a tmpfs when one is writable and write each run to a fresh
# directory, removed only after the case's last run: deleting thousands of files just before creating
# them again makes a disk (ext4 without a journal) slow in ways that have nothing to do with us.
#
# Usage: bench/engine/run-archive-bench.sh [build directory] [baseline build directory]
#   build directory defaults to build; a baseline build's bench_archive joins every round as a third
#   party (A B C C B A), so that a change is measured before and after in one sitting.
# Environment: VEXA_BENCH_DOWNLOAD_MB (1024), VEXA_BENCH_BIG_ENTRY_MB (500), VEXA_BENCH_FILES (2000),
# VEXA_BENCH_ROUNDS (3), VEXA_BENCH_TMPFS (/dev/shm).
# Needs python3, GNU time, curl, openssl, unzip, cp. Traffic stays on 127.0.0.1; the large files
# live in a temporary directory that is deleted at the end.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
bench=$build/bench/engine/bench_archive
[[ -x $bench ]] || { echo "bench_archive not built in $build" >&2; exit 1; }
baseline=
if [[ -n ${2:-} ]]; then
    baseline=$(cd "$2" && pwd)/bench/engine/bench_archive
    [[ -x $baseline ]] || { echo "bench_archive not built in $2" >&2; exit 1; }
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-archive-bench.XXXXXX")
tmpfs=${VEXA_BENCH_TMPFS:-/dev/shm}
small=
if [[ -d $tmpfs && -w $tmpfs ]]; then small=$(mktemp -d "$tmpfs/vexa-archive-bench.XXXXXX"); fi
trap 'rm -rf "$work" ${small:+"$small"}' EXIT

python3 - "$bench" "$baseline" "$work" "${small:-$work/small}" <<'PY'
import hashlib, os, random, socket, statistics, subprocess, sys, time, zipfile, shutil
from functools import partial

bench, baseline, work, small = sys.argv[1:5]
download_mb = int(os.environ.get('VEXA_BENCH_DOWNLOAD_MB', '1024'))
big_mb = int(os.environ.get('VEXA_BENCH_BIG_ENTRY_MB', '500'))
file_count = int(os.environ.get('VEXA_BENCH_FILES', '2000'))
rounds = int(os.environ.get('VEXA_BENCH_ROUNDS', '3'))
os.makedirs(small, exist_ok=True)
print(f'work on disk: {work}; small-file cases in: {small}', flush=True)


def run(command):
    """Wall seconds and peak resident KiB of one whole process; output discarded, failure fatal.
    GNU time starts the command and reads its peak: a process forked from this script would count
    the script's own memory as its own."""
    peak_file = os.path.join(work, 'peak.txt')
    started = time.perf_counter()
    process = subprocess.run(['/usr/bin/time', '-f', '%M', '-o', peak_file] + command,
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    seconds = time.perf_counter() - started
    if process.returncode != 0:
        sys.exit(f'{command[0]} failed: {process.stderr.decode(errors="replace")}')
    with open(peak_file) as report:
        return seconds, int(report.read().split()[-1])


def compare(title, goal, tool, ours):
    """tool and ours: (label, make_command(run_number), reset) with reset run untimed before each run.
    Rounds of tool, ours..., ours reversed..., tool; each side's run is divided by the tool's run
    of the same half round."""
    parties = [tool] + ours
    times = {label: [] for label, _, _ in parties}
    peaks = {label: 0 for label, _, _ in parties}
    ratios = {label: [] for label, _, _ in ours}
    number = 0
    for _ in range(rounds):
        for order in (parties, parties[::-1]):
            half = {}
            for label, command, reset in order:
                number += 1
                reset()
                os.sync()
                seconds, peak = run(command(number))
                half[label] = seconds
                times[label].append(seconds)
                peaks[label] = max(peaks[label], peak)
            for label, _, _ in ours:
                ratios[label].append(half[label] / half[tool[0]])
    print(f'== {title}')
    for label, _, _ in parties:
        print(f'  {label:<44} median {statistics.median(times[label]):7.3f} s  '
              f'range {min(times[label]):.3f}-{max(times[label]):.3f} s  peak RSS {peaks[label]} KiB')
    for label, _, _ in ours:
        r = ratios[label]
        verdict = 'met' if statistics.median(r) <= goal else 'NOT met'
        print(f'  {label} / {tool[0]}: median {statistics.median(r):.2f}x, range {min(r):.2f}x-{max(r):.2f}x '
              f'({len(r)} pairs); goal at most {goal:.2f}x: {verdict}', flush=True)


def nothing():
    pass


def remove(path):
    if os.path.isdir(path):
        shutil.rmtree(path)
    elif os.path.exists(path):
        os.remove(path)


def ours(label, make_command, reset=nothing):
    """Our side, and the baseline build's beside it when one was given."""
    sides = [(label, partial(make_command, bench), reset)]
    if baseline:
        sides.append((label + ' (baseline)', partial(make_command, baseline), reset))
    return sides


def random_file(path, mib):
    """Incompressible bytes and their SHA-256."""
    digest = hashlib.sha256()
    with open(path, 'wb') as out:
        for _ in range(mib):
            block = os.urandom(1 << 20)
            digest.update(block)
            out.write(block)
    return digest.hexdigest()


# SHA-256 and download.
srv = os.path.join(work, 'srv')
os.makedirs(srv)
payload = os.path.join(srv, 'payload.zip')
digest = random_file(payload, download_mb)
size = os.path.getsize(payload)

compare(f'SHA-256 of {download_mb} MiB', 1.0,
        ('openssl dgst -sha256', lambda n: ['openssl', 'dgst', '-sha256', payload], nothing),
        ours('sha256OfFile', lambda program, n: [program, 'sha256', payload]))

with socket.socket() as s:
    s.bind(('127.0.0.1', 0))
    port = s.getsockname()[1]
server = subprocess.Popen([sys.executable, '-m', 'http.server', str(port), '--bind', '127.0.0.1',
                           '--directory', srv], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    url = f'http://127.0.0.1:{port}/payload.zip'
    for _ in range(100):
        try:
            socket.create_connection(('127.0.0.1', port)).close()
            break
        except OSError:
            time.sleep(0.1)
    curl_file = os.path.join(work, 'curl.zip')
    cache = os.path.join(work, 'cache')
    # The archive cache lives inside the folder removed before every run, so each run downloads.
    os.environ['XDG_CACHE_HOME'] = os.path.join(cache, 'xdg')
    compare(f'download + verify of {download_mb} MiB from loopback', 0.85,
            ('curl -o', lambda n: ['curl', '-s', '-o', curl_file, url], partial(remove, curl_file)),
            ours('acquireArchive', lambda program, n: [program, 'download', url, cache, digest, str(size)],
                 partial(remove, cache)))
    remove(cache)
    # Memory stays flat: a quarter of the download needs as much as the whole.
    quarter = os.path.join(srv, 'quarter.zip')
    quarter_digest = random_file(quarter, download_mb // 4)
    _, whole_kb = run([bench, 'download', url, cache, digest, str(size)])
    remove(cache)
    _, quarter_kb = run([bench, 'download', f'http://127.0.0.1:{port}/quarter.zip', cache, quarter_digest,
                         str(size // 4)])
    remove(cache)
    print(f'  acquireArchive peak RSS: {quarter_kb} KiB for {download_mb // 4} MiB, {whole_kb} KiB for '
          f'{download_mb} MiB; goal flat (at most 1.25x): {"met" if whole_kb <= 1.25 * quarter_kb else "NOT met"}')
finally:
    server.kill()
shutil.rmtree(srv)

# Extraction and copy.
rng = random.Random(1)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz_') for _ in range(rng.randint(3, 12))) for _ in range(4000)]


def text(length):
    out, n = [], 0
    while n < length:
        line = 'set(%s %s %d)\n' % (rng.choice(words), rng.choice(words), rng.randint(0, 1 << 30))
        out.append(line)
        n += len(line)
    return ''.join(out)[:length]


many = os.path.join(small, 'many.zip')
with zipfile.ZipFile(many, 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(file_count):
        z.writestr('pkg/dir%02d/sub%d/file%04d.cmake' % (i % 40, i % 3, i), text(rng.randint(2000, 20000)))
big = os.path.join(work, 'big.zip')
block = text(4 * 1024 * 1024).encode()
with zipfile.ZipFile(big, 'w', zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    # Plain (not ZIP64) headers: the zip reader of Qt 6.4 refuses entries that need ZIP64.
    with z.open('sdk/lib/big.bin', 'w', force_zip64=False) as entry:
        written = 0
        while written < big_mb * 1000 * 1000:
            piece = block[: big_mb * 1000 * 1000 - written]
            entry.write(piece)
            written += len(piece)

# Small files: a fresh destination per run, all removed after the last run.
destinations = os.path.join(small, 'dest')
fresh = lambda n: os.path.join(destinations, str(n))
os.makedirs(destinations)
compare(f'extract {file_count} small files', 1.0,
        ('unzip', lambda n: ['unzip', '-q', '-o', many, '-d', fresh(n)], nothing),
        ours('extractArchive', lambda program, n: [program, 'extract', many, fresh(n)]))
remove(destinations)
tree = os.path.join(small, 'tree')
subprocess.run(['unzip', '-q', '-o', many, '-d', tree], check=True)
os.makedirs(destinations)
compare(f'copy {file_count} small files', 1.0,
        ('cp -r', lambda n: ['cp', '-r', tree, fresh(n)], nothing),
        ours('copyDirectoryTree', lambda program, n: [program, 'copy', tree, fresh(n)]))
remove(destinations)
remove(tree)

# One big entry: on disk, its destination removed (one file, cheap) before each run.
dest = os.path.join(work, 'dest')
compare(f'extract one {big_mb} MB entry', 1.0,
        ('unzip', lambda n: ['unzip', '-q', '-o', big, '-d', dest], partial(remove, dest)),
        ours('extractArchive', lambda program, n: [program, 'extract', big, dest], partial(remove, dest)))
remove(dest)
PY
