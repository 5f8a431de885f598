#!/usr/bin/env bash
# Installs what is missing, builds the installer into build/ and prints the path of its executable
# on standard output (the build's own output goes to standard error).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

{
  scripts/install-deps.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
  installer_name="$(sed -n 's/^VEXA_INSTALLER_EXE_NAME:STRING=//p' build/CMakeCache.txt)"
  installer_name="${installer_name:-CompanyVexaInstaller}"
  cmake --build build --target "${installer_name}"
} >&2
echo "$PWD/build/bin/${installer_name}"
