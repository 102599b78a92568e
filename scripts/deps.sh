#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages the build, the tests and the player need,
# only when something is missing.
set -euo pipefail

packages=(
  cmake make g++ clang lld libclang-rt-14-dev googletest
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 fonts-wine fonts-liberation
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good libasound2-plugins
  libxrender1 libxcomposite1 libxcursor1 libxi6 libxinerama1 libxrandr2 libxxf86vm1 libxfixes3
  xvfb xdotool x11-utils imagemagick sox lame python3 util-linux
  nsis zip unzip
)

missing=()
for p in "${packages[@]}"; do
  # An architecture-qualified status line is enough: we only ask "installed?".
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# clang-14 is what Debian 12 ships; on other releases take whatever clang rt matches.
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
if ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
  # Releases other than Debian 12 name the clang runtime differently; fall back
  # to the generic names and install the rest.
  rest=()
  for p in "${missing[@]}"; do
    case "$p" in libclang-rt-14-dev) rest+=(libclang-rt-dev) ;; *) rest+=("$p") ;; esac
  done
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${rest[@]}" >/dev/null
fi
