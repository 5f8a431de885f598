#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and benchmarking the installer need.
# Only packages that are missing are installed; apt-get runs as root (or through sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-private-dev qt6-declarative-dev qt6-declarative-private-dev
  qt6-tools-dev-tools libgl-dev libvulkan-dev
  qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
  qml6-module-qtquick-templates qml6-module-qtquick-window qml6-module-qtqml-workerscript
  qml6-module-qtquick-dialogs
  # The package list chooses its row delegates with Qt.labs.qmlmodels' DelegateChooser.
  qml6-module-qt-labs-qmlmodels
  # qmllint needs QtQml's type information; xvfb-run (with xauth) shows the window without a display.
  qml6-module-qtqml qml6-module-qtqml-models xvfb xauth
  libssl-dev zlib1g-dev openssl python3 fontconfig fonts-dejavu-core
  zip unzip curl time
  # bsdtar packs archives as Windows' own tar does (the top folder stored as "./").
  libarchive-tools
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
