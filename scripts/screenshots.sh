#!/usr/bin/env bash
# Builds what is missing and takes the pictures of the user's guide in the
# README again (docs/images/), from the real client under Xvfb. As root it runs
# in a network of its own, so a running service or client is not disturbed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TALLYRO_BUILD_DIR:-$root/build}
"$root/scripts/install-deps.sh"
TALLYRO_BUILD_DIR=$build "$root/scripts/build.sh"
screens=("$root/tools/screenshots/screens.sh" "$build" "$root/docs/images")
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; then
  unshare -n bash -c 'ip link set lo up && exec "$@"' _ "${screens[@]}"
else
  "${screens[@]}"
fi
