#!/usr/bin/env bash
# Sets Quillmark up (packages, build, program folder) and runs every test. Windows are drawn
# offscreen, so no display is needed. Then builds everything again with clang into build-san,
# under AddressSanitizer and UndefinedBehaviorSanitizer (any report fails the test that made it;
# the sanitizer options are built into the programs), and runs the same tests there together
# with short runs of the libFuzzer targets. Benchmarks are not built there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh --tests
export QT_QPA_PLATFORM=offscreen
status=0
(cd build && ctest --output-on-failure --timeout 300 -j "$(nproc)") || status=$?

CC=clang CXX=clang++ cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG" \
    -DQM_SANITIZE=ON -DQM_FUZZ=ON -DQM_BUILD_BENCH=OFF
cmake --build build-san --parallel "$(nproc)"
(cd build-san && ctest --output-on-failure --timeout 600 -j "$(nproc)") || status=$?
exit "$status"
