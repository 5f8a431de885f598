#!/usr/bin/env bash
# Runs each libFuzzer target of build-asan/ (scripts/build-and-test-sanitized.sh builds them), seeded
# from the tests' and examples' data, and prints executions and crashes per target.
#   scripts/run-fuzzers.sh [-t SECONDS | -r RUNS] [-b BUILD_DIR] [TARGET...]
# Default: 60 seconds per target, every target tests/fuzz/CMakeLists.txt declares. Exit code 1 when
# any target found a crash (kept in the printed directory), 0 otherwise.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

limit=(-max_total_time=60)
build=build-asan
while getopts "t:r:b:" option; do
  case "$option" in
    t) limit=(-max_total_time="$OPTARG") ;;
    r) limit=(-runs="$OPTARG") ;;
    b) build="$OPTARG" ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
list="$build/tests/fuzz/fuzzers.txt"
[ -f "$list" ] || { echo "$list is missing: configure $build with -DVEXA_BUILD_FUZZERS=ON" >&2; exit 2; }
mapfile -t fuzzers <"$list"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${fuzzers[@]}")

work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-fuzz.XXXXXX")
# The state file target writes its input to a file on every run; memory-backed files keep that cheap.
scratch="$work"
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=$(mktemp -d /dev/shm/vexa-fuzz.XXXXXX)

for fuzzer in "${fuzzers[@]}"; do mkdir -p "$work/$fuzzer"; done
cp tests/engine/state-data/catalog.json "$work/fuzz_catalog/state-data-catalog.json"
cp examples/repository/catalog.json "$work/fuzz_catalog/example-catalog.json"
cp tests/engine/state-data/*-state.json "$work/fuzz_statefile/"
printf '{"packages": ["com.company.vexa.zlib"]}' > "$work/fuzz_statefile/in-progress.json"
cp examples/repository/packages/*.zip "$work/fuzz_zipdirectory/"
# A package index with its sidecars, cut from the example catalog: names, then NUL-separated documents.
python3 - "$work/fuzz_packageindex" <<'PY'
import json, sys
packages = json.load(open("examples/repository/catalog.json"))["packages"]
for count in (1, 3, len(packages)):
    chosen = packages[:count]
    index = "# package index\n" + "\n".join(p["package_id"] for p in chosen) + "\n"
    body = "\0".join([index] + [json.dumps(p) for p in chosen])
    open(f"{sys.argv[1]}/index-{count}", "w").write(body)
PY

# A small quarantine keeps freed memory reused, which roughly halves the time of a run.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:quarantine_size_mb=16:malloc_context_size=10"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for target in "${targets[@]}"; do
  mkdir -p "$work/artifacts-$target"
  log="$work/$target.log"
  if TMPDIR="$scratch" "$build/tests/fuzz/$target" "${limit[@]}" -print_final_stats=1 \
      -artifact_prefix="$work/artifacts-$target/" "$work/$target" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  # A slow-unit file only says an input took long (a loaded machine does that); it is no failure.
  crashes=$(find "$work/artifacts-$target" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'oom-*' \
    -o -name 'timeout-*' \) | wc -l)
  echo "$target: ${runs:-?} executions, $crashes crashes ($result)"
  [ "$result" = ok ] || tail -40 "$log"
done
[ "$scratch" = "$work" ] || rm -rf "$scratch"
if [ "$status" -eq 0 ]; then
  rm -rf "$work"
else
  echo "Logs, corpora and crash inputs: $work"
fi
exit "$status"
