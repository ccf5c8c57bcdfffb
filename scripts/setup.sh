#!/usr/bin/env bash
# Installs the Debian packages Quillmark needs (only those missing), then configures and builds
# it. The build lays out the program folder build/bin: the quillmark executable, Help/, an
# empty xsl/ and qmk.dat (made only when there is none). With --tests it also installs what only
# the tests use: LibreOffice Calc, which checks that exported sheets open in a spreadsheet program,
# and clang with its sanitizer and libFuzzer runtimes for the checking build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libsqlcipher-dev sqlcipher
          libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core)
if [ "${1:-}" = "--tests" ]; then
  packages+=(libreoffice-calc-nogui clang libclang-rt-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)"
