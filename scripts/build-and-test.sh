#!/usr/bin/env bash
# Installs what is missing, builds the whole project into build/ and runs every test.
# The exit code is ctest's.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
# The tests show windows (start-up window, message boxes); they need no display.
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
