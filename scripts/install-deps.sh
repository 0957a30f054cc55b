#!/usr/bin/env bash
# Installs every Debian package Orvella needs to build, test, fuzz and benchmark.
# Idempotent and non-interactive; uses sudo when not run as root.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  libavcodec-dev libavformat-dev libavutil-dev
  libmpg123-dev libmp3lame-dev
  portaudio19-dev libasound2-dev
  pulseaudio pulseaudio-utils libasound2-plugins
  libsoxr-dev mpg123 lame
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-liberation
  xvfb xauth xdotool xclip libx11-dev
  desktop-file-utils appstream librsvg2-bin qt6-gtk-platformtheme
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
