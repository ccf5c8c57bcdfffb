#!/usr/bin/env bash
# Sets Quillmark up (packages, build, program folder) and runs every test. Windows are drawn
# offscreen, so no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --tests
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure --timeout 300 -j "$(nproc)"
