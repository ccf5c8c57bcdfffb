#!/usr/bin/env bash
# Sets Quillmark up (packages, build, program folder) and starts it on build/bin/qmk.dat.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: Quillmark needs one (or QT_QPA_PLATFORM=offscreen)." >&2
fi
cd build/bin
exec ./quillmark
