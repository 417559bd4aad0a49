#!/usr/bin/env bash
# Builds the Debian packages from this repository:
#   tallyro_<version>_amd64.deb          the client, its menu entry and icons
#   tallyro-service_<version>_amd64.deb  the service with its systemd unit
# into <build>/packages/ (build folder: $TALLYRO_PACKAGE_BUILD, default
# build-package/), and prints their paths. Installs what the build needs first.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${TALLYRO_PACKAGE_BUILD:-$ROOT/build-package}

"$ROOT/scripts/install-deps.sh" >&2

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_INSTALL_PREFIX=/usr -DTALLYRO_BUILD_TESTS=OFF -DTALLYRO_BUILD_BENCH=OFF \
  "${launcher[@]}" >&2
cmake --build "$BUILD" -j "${TALLYRO_JOBS:-$(nproc)}" >&2
rm -f "$BUILD"/packages/*.deb
(cd "$BUILD" && cpack -G DEB >&2)
ls "$BUILD"/packages/*.deb
