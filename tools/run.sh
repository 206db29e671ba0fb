#!/usr/bin/env bash
# Starts the editor from the build folder; without a display, under Xvfb.
set -euo pipefail
build=${1:-build}
exe="$build/app/quirtle"
if [ ! -x "$exe" ]; then
  echo "quirtle was not built: see $build" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running quirtle under xvfb-run (nothing will be visible)."
  exec xvfb-run -a "$exe"
fi
exec "$exe"
