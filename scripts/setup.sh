#!/usr/bin/env bash
# Installs the Debian packages Quillmark needs (only those missing), then configures and builds
# it. The build lays out the program folder build/bin: the quillmark executable, Help/, an
# empty xsl/ and qmk.dat (made only when there is none). With --tests it also installs what only
# the tests use: LibreOffice Calc, Gnumeric and Python's openpyxl, which read exported files back
# as other programs see them, clang with its sanitizer and libFuzzer runtimes for the checking build, and the PostgreSQL
# server, of which the tests start a throwaway cluster of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-missing.sh

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins qt6-charts-dev libqt6opengl6-dev libsqlcipher-dev sqlcipher libpq-dev libxlsxwriter-dev libsodium-dev
          libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core)
if [ "${1:-}" = "--tests" ]; then
  packages+=(libreoffice-calc-nogui clang libclang-rt-14-dev postgresql poppler-utils gnumeric python3-openpyxl)
fi
install_missing "${packages[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
