#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Vantrel needs.
# Idempotent: packages already present are skipped, and nothing runs apt when all are there.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libqt6openglwidgets6
  qt6-multimedia-dev libqt6multimedia6 qt6-qpa-plugins
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libjpeg62-turbo-dev libpng-dev
  libgl-dev libglu1-mesa-dev libegl-dev libosmesa6-dev libgl1-mesa-dri libglx-mesa0
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-ipaexfont-gothic fontconfig
  xvfb xauth x11-apps imagemagick openbox
  clang clang-format
  desktop-file-utils libxml2-utils man-db shared-mime-info libglib2.0-bin file lintian librsvg2-bin
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "install-deps: installing ${missing[*]}"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Another apt or dpkg run (unattended upgrades, a second terminal) holds the lock: wait for it
# rather than failing half-way.
wait_for_lock() {
  local waited=0
  while fuser /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock >/dev/null 2>&1; do
    if [ $waited -eq 0 ]; then echo "install-deps: waiting for the package manager lock..."; fi
    sleep 2
    waited=$((waited + 2))
    if [ $waited -ge 600 ]; then echo "install-deps: lock still held after 10 minutes" >&2; return 1; fi
  done
}

export DEBIAN_FRONTEND=noninteractive
wait_for_lock || true
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
wait_for_lock || true
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
