#!/usr/bin/env bash
# Sets `vexa publish` of one payload directory against `zip -qrX` plus `sha256sum` of the same tree,
# the work a maintainer would otherwise script, and prints the ratio beside its goal (1.5x). Both sides
# run as whole processes, interleaved in rounds of A B B A, each with written data flushed first; every
# neighbouring pair gives one ratio, and the median and range of the ratios are reported.
#
# The payload is a build-dependency SDK in miniature: a few large incompressible binaries, many
# medium libraries that deflate about threefold, and thousands of small headers. It is generated once,
# from a fixed seed, so every run packs the same bytes.
#
# Usage: bench/cli/run-publish-bench.sh [build directory]
# Environment: VEXA_BENCH_PAYLOAD_MB (1024), VEXA_BENCH_ROUNDS (2).
# Needs python3, zip and sha256sum. The payload lives in a temporary directory deleted at the end.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
vexa=$build/bin/vexa
[[ -x $vexa ]] || { echo "vexa not built in $build" >&2; exit 1; }
command -v zip >/dev/null && command -v sha256sum >/dev/null || { echo "needs zip and sha256sum" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-publish-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

python3 - "$vexa" "$work" <<'PY'
import os, random, shutil, statistics, subprocess, sys, time

vexa, work = sys.argv[1:3]
total_mb = int(os.environ.get('VEXA_BENCH_PAYLOAD_MB', '1024'))
rounds = int(os.environ.get('VEXA_BENCH_ROUNDS', '2'))
payload = os.path.join(work, 'sdk-1.0-iv1')
MiB = 1 << 20

rng = random.Random(20240601)
words = [''.join(rng.choice('abcdefghijklmnopqrstuvwxyz_') for _ in range(rng.randint(2, 12)))
         for _ in range(4000)]
text = ' '.join(rng.choice(words) for _ in range(300000)).encode()[:2 * MiB]


def write(relative, data):
    path = os.path.join(payload, relative)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as out:
        out.write(data)


def textual(size):
    start = rng.randrange(0, len(text) - size) if size < len(text) else 0
    return (text[start:] + text)[:size]


# 40% large binaries, 40% libraries of 2 MiB, 20% headers of 8 KiB.
binaries_mb = total_mb * 4 // 10
for i in range(max(1, binaries_mb // 100)):
    write(f'sdk/bin/tool{i}.dll', rng.randbytes(min(100, binaries_mb) * MiB))
for i in range(total_mb * 4 // 10 // 2):
    write(f'sdk/lib/part{i // 50}/lib{i}.lib', textual(MiB) + rng.randbytes(MiB // 4) + textual(3 * MiB // 4))
for i in range(total_mb * 2 // 10 * 128):
    write(f'sdk/include/module{i // 500}/header{i}.h', textual(8192))
write('vexa-package.json', b'{"package_id": "com.example.sdk", "display_name": "SDK", "install_subdir": "sdk"}\n')
size = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(payload) for f in fs)
files = sum(len(fs) for _, _, fs in os.walk(payload))
print(f'payload: {size / MiB:.0f} MiB in {files} files', flush=True)


def zip_and_hash(n):
    archive = os.path.join(work, f'zip-{n}.zip')
    subprocess.run(['zip', '-qrX', archive, '.'], cwd=payload, check=True)
    subprocess.run(['sha256sum', archive], check=True, stdout=subprocess.DEVNULL)
    os.remove(archive)


def publish(n):
    repository = os.path.join(work, f'repo-{n}')
    subprocess.run([vexa, 'publish', payload, '--out', repository], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    shutil.rmtree(repository)


parties = [('zip -qrX + sha256sum', zip_and_hash), ('vexa publish', publish)]
times = {label: [] for label, _ in parties}
ratios = []
number = 0
for _ in range(rounds):
    for order in (parties, parties[::-1]):
        half = {}
        for label, run in order:
            number += 1
            os.sync()
            started = time.perf_counter()
            run(number)
            half[label] = time.perf_counter() - started
            times[label].append(half[label])
        ratios.append(half['vexa publish'] / half['zip -qrX + sha256sum'])

for label, _ in parties:
    t = times[label]
    print(f'  {label:<24} median {statistics.median(t):7.2f} s  range {min(t):.2f}-{max(t):.2f} s')
verdict = 'met' if statistics.median(ratios) <= 1.5 else 'NOT met'
print(f'  vexa publish / zip + sha256sum: median {statistics.median(ratios):.2f}x, '
      f'range {min(ratios):.2f}x-{max(ratios):.2f}x ({len(ratios)} pairs); goal at most 1.50x: {verdict}')
PY
