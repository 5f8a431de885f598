#!/usr/bin/env bash
# Regenerates docs/main-window.png, the README's picture of the main window over the sample
# repository: the installer draws its window offscreen, saves the first frame and exits.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

installer="$(scripts/build-installer.sh)"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
# A clean environment: no catalog or update variables of this machine, and a home directory that
# does not exist, so the root field shows an ordinary user's default root and an empty root.
env -i PATH="$PATH" HOME=/home/you TMPDIR="$work" XDG_RUNTIME_DIR="$work/runtime" \
  XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
  QT_QPA_PLATFORM=offscreen VEXA_SCREENSHOT="$PWD/docs/main-window.png" \
  "$installer" --repository-dir examples/repository --skip-self-update
