#!/usr/bin/env bash
# Installs what is needed, builds the game program alone (the tests and
# benchmarks are built by scripts/test.sh), and plays the embedded game.
# Without a display the game runs on SDL's offscreen driver.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh tarnwicke
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
fi
exec build/apps/tarnwicke "$@"
