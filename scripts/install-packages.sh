#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Tarvik need, when any is
# missing. Further package names may be given as arguments (the CI adds clang).
set -euo pipefail

packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev qt6-base-dev
  qt6-svg-dev libqcustomplot-dev qt6-translations-l10n xvfb xauth fonts-dejavu-core
  xdg-utils libfile-mimeinfo-perl shared-mime-info desktop-file-utils dpkg-dev
  libhdf5-dev python3-h5py python3-numpy python3-pandas pybind11-dev python3-pybind11
  python3-pytest "$@")

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "packages: all present"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "install-packages: these packages are missing and neither root nor sudo is available:" >&2
  echo "  ${missing[*]}" >&2
  exit 1
fi

echo "packages: installing ${missing[*]}"
"${as_root[@]}" apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
