#!/usr/bin/env bash
# Installs what is missing, builds the installer into build/ and opens its main window on the sample
# repository in examples/repository. Extra arguments are passed on to the installer.
#
# On a machine without a display (neither DISPLAY nor WAYLAND_DISPLAY set) the same window runs on a
# virtual X server (xvfb-run): once it has drawn, a screenshot is saved, its path printed, and the
# script ends with exit code 0. VEXA_SCREENSHOT chooses the file (default build/screenshots/sample.png).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

installer=("$(scripts/build-installer.sh)" --repository-dir examples/repository "$@")

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "${installer[@]}"
fi

export VEXA_SCREENSHOT="${VEXA_SCREENSHOT:-$PWD/build/screenshots/sample.png}"
echo "No display found: showing the installer on a virtual X server (xvfb-run)."
# A platform chosen in the environment would bypass the virtual server.
unset QT_QPA_PLATFORM
exec xvfb-run --auto-servernum --server-args="-screen 0 1920x1080x24" "${installer[@]}"
