#!/usr/bin/env bash
# Installs the Debian packages the project needs, and only those that are missing.
# Usage: scripts/setup.sh [--bench] [--fuzz]
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-svg-dev qt6-tools-dev qt6-l10n-tools
  zlib1g-dev libeigen3-dev libkissfft-dev libssl-dev libsqlite3-dev libsndfile1-dev libmatio-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic fonts-ipaexfont-gothic fonts-motoya-l-maruberi
  qt6-translations-l10n
  xvfb xdotool x11-apps x11-utils xclip python3
  librsvg2-bin desktop-file-utils appstream man-db file
  locales-all strace poppler-utils parallel sqlite3
)
for arg in "$@"; do
  case "$arg" in
    --bench) packages+=(python3-numpy python3-scipy python3-pandas time) ;;
    --fuzz)  packages+=(clang libclang-rt-dev) ;;
    *) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
