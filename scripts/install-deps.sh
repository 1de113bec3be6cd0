#!/usr/bin/env bash
# Installs the Debian 12 packages the console, its tests and its benches need (a font included:
# the surface writes its results and colour bar, and tests look for that text; poppler reads the
# printouts back), and the German locale in which a test checks that numbers keep their one form.
set -euo pipefail
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-numpy python3-pytest xvfb xauth
  fonts-dejavu-core
  poppler-utils
  qt6-multimedia-dev
  dpkg-dev lintian desktop-file-utils
  locales
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A comma-decimal locale for the test that runs the dialogs as a German user would.
if ! locale -a 2>/dev/null | grep -qix 'de_DE.utf8'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  if ! grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen >/dev/null
fi
