#!/usr/bin/env bash
# Publishes the sample repository examples/repository from the payload directories in
# examples/payloads with `vexa publish`, in the catalog order below, and adds a client update manifest
# offering the version of the build (client/client-manifest.json).
#
#   scripts/publish-sample.sh [--check] [build directory]
#
# Without --check the committed repository is replaced by a fresh publish. With --check (CI) a fresh
# publish goes to a temporary directory and the script fails unless it is byte-identical to what is
# committed. The build directory (default: build) must hold bin/vexa and bin/vexa-release.json.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

check=false
if [[ ${1:-} == --check ]]; then
    check=true
    shift
fi
build="${1:-build}"
vexa="$build/bin/vexa"
release_record="$build/bin/vexa-release.json"
[[ -x $vexa ]] || { echo "$vexa is not built" >&2; exit 1; }
[[ -f $release_record ]] || { echo "$release_record is not built" >&2; exit 1; }

# The window lists groups and packages in catalog order, so the order is part of the sample.
payloads=(
    vexa-cmake-support-1.4.0-iv1
    qt6-6.7.2-iv2
    qt6-qtdeclarative-6.7.2-iv2
    qt6-qtsvg-6.7.2-iv2
    qt6-qtimageformats-6.7.2-iv2
    opencv-4.10.0-iv1
    openssl-3.0.13-iv3
    kf6-syntax-highlighting-6.3.0-iv1
    nlohmann_json-3.11.3-iv1
    onnxruntime-cpu-1.18.1-iv1
    onnxruntime-cuda-1.18.1-iv1
    cuda-12.4.1-iv1
    cmake-3.29.6-iv1
    ninja-1.12.1-iv1
)
for directory in examples/payloads/*/; do
    name=$(basename "$directory")
    [[ " ${payloads[*]} " == *" $name "* ]] || { echo "examples/payloads/$name is not in $0" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vexa-sample.XXXXXX")
trap 'rm -rf "$work"' EXIT
if ! "$vexa" publish "${payloads[@]/#/examples/payloads/}" --out "$work/repository" >/dev/null 2>"$work/log"; then
    cat "$work/log" >&2
    exit 1
fi
# An installer started on the sample checks for a client update; offered its own version, it finds
# nothing newer and starts quietly. The archive named is never fetched, so none is shipped.
version=$(sed -n 's/^ *"version": *"\([^"]*\)".*/\1/p' "$release_record")
[[ -n $version ]] || { echo "$release_record names no version" >&2; exit 1; }
mkdir "$work/repository/client"
cat >"$work/repository/client/client-manifest.json" <<JSON
{
    "schema_version": 1,
    "version": "$version",
    "archive_url": "vexa-installer-$version.zip"
}
JSON

if $check; then
    if ! diff -r "$work/repository" examples/repository; then
        echo "examples/repository differs from a fresh publish: run scripts/publish-sample.sh" >&2
        exit 1
    fi
    echo "examples/repository is what vexa publish makes of examples/payloads"
else
    rm -rf examples/repository
    mv "$work/repository" examples/repository
    echo "examples/repository published from examples/payloads"
fi
