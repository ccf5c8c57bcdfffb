#!/usr/bin/env bash
# Installs the Debian packages Quillmark needs (only those missing), then configures and builds
# it. The build lays out the program folder build/bin: the quillmark executable, Help/, an
# empty xsl/ and qmk.dat (made only when there is none). With --tests it also installs what only
# the tests use: LibreOffice Calc, Gnumeric and Python's openpyxl, which read exported files back
# as other programs see them, clang with its sanitizer and libFuzzer runtimes for the checking build, and the PostgreSQL
# server, of which the tests start a throwaway cluster of their own, and the German locale
# (de_DE.UTF-8), in which a test has that server speak.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-missing.sh

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins qt6-charts-dev libqt6opengl6-dev libsqlcipher-dev sqlcipher libpq-dev libxlsxwriter-dev libsodium-dev libzip-dev libfreexl-dev
          libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core)
if [ "${1:-}" = "--tests" ]; then
  packages+=(libreoffice-calc-nogui clang libclang-rt-14-dev postgresql poppler-utils gnumeric python3-openpyxl locales)
fi
install_missing "${packages[@]}"
if [ "${1:-}" = "--tests" ] && ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  if grep -q '^# *de_DE\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    "${as_root[@]}" sed -i 's/^# *\(de_DE\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  elif ! grep -q '^de_DE\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo 'de_DE.UTF-8 UTF-8' | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
  fi
  "${as_root[@]}" locale-gen
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
