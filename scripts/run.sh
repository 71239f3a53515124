#!/usr/bin/env bash
# Installs what is needed, builds, and plays the embedded game. Without a
# display the game runs on SDL's offscreen driver.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
fi
exec build/apps/tarnwicke "$@"
