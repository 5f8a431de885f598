#!/usr/bin/env bash
# Provisions a Vexa root the way a CI runner does, unattended: `vexa apply --yes` of the sample
# repository's default selection into a fresh root, `vexa verify`, then the CMake consumer in
# examples/consumer configured with the root's toolchain file, built and run.
#
#   scripts/provision-root-ci.sh [build directory]
#
# The build directory (default: build) must hold bin/vexa. The root, the archive cache and the
# consumer's build live in a temporary directory; VEXA_ROOT is not published (VEXA_SKIP_ENV_UPDATE).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

vexa="$(pwd)/${1:-build}/bin/vexa"
[[ -x $vexa ]] || { echo "$vexa is not built" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-provision.XXXXXX")
trap 'rm -rf "$work"' EXIT
export VEXA_SKIP_ENV_UPDATE=1 XDG_CACHE_HOME="$work/cache"
root="$work/Vexa"

"$vexa" apply --yes --repository-dir examples/repository --root "$root"
"$vexa" verify --repository-dir examples/repository --root "$root"
cmake -S examples/consumer -B "$work/consumer" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/vexa.cmake"
cmake --build "$work/consumer"
"$work/consumer/consumer"
