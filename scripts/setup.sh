#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again: apt skips what is present.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
  # engine libraries
  libasio-dev libssl-dev nlohmann-json3-dev libicu-dev
  libavahi-client-dev libavformat-dev libavcodec-dev libavutil-dev
  libcurl4-openssl-dev libsecret-1-dev libsqlite3-dev libcpp-httplib-dev
  # application layer: the QML views and the backdrop's shaders (compiled at build time)
  qt6-base-dev qt6-multimedia-dev qt6-declarative-dev qt6-shadertools-dev
  qml6-module-qtquick qml6-module-qtquick-window qml6-module-qtquick-controls
  qml6-module-qtquick-layouts qml6-module-qtquick-templates qml6-module-qtqml-workerscript
  qml6-module-qtqml-models
  libgl1-mesa-dri fonts-dejavu-core
  # the Debian package (CPack's dependencies from the shared libraries need dpkg-shlibdeps and file) and
  # the checks of the installed launcher, metadata, icons, manual and firewall files
  dpkg-dev file desktop-file-utils appstream man-db libxml2-utils
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev curl jq
  # services the tests start themselves, and a bare X server for the windows' screenshots
  xvfb xauth
  avahi-daemon avahi-utils dbus iproute2 openssl ffmpeg
  # a Secret Service on a private session bus for the key-store tests
  gnome-keyring dbus-daemon
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
