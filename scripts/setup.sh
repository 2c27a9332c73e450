#!/usr/bin/env bash
# Installs what the build, the tests and the peer tools need, through apt, when missing.
set -euo pipefail

packages=(
  build-essential g++ cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libssl-dev zlib1g-dev libminizip-dev
  clang libclang-rt-14-dev
  cc1541 cbmconvert lhasa gzip zip
  qt6-base-dev fonts-dejavu-core xvfb xauth
  xdg-utils shared-mime-info desktop-file-utils libfile-mimeinfo-perl
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "Missing packages (${missing[*]}) and no root or sudo to install them." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
