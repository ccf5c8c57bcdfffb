#!/usr/bin/env bash
# Builds the Debian package build-package/quillmark_<version>_amd64.deb: installs the missing
# Debian packages, builds the program with Debian's compiler flags into build-package/ (prefix
# /usr, no tests) and packs it with CPack. lintian checks the package when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/install-missing.sh

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-charts-dev libqt6opengl6-dev libsqlcipher-dev libpq-dev libxlsxwriter-dev libsodium-dev libzip-dev libfreexl-dev dpkg-dev file gzip)
install_missing "${packages[@]}"

# Debian's hardening and optimisation flags, as a package built by Debian would have them.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
      -DQM_BUILD_TESTS=OFF -DQM_BUILD_BENCH=OFF \
      -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS"
cmake --build build-package --parallel "$(nproc)"
(cd build-package && cpack -G DEB)

deb=$(ls -t build-package/quillmark_*.deb | head -n 1)
echo "Package: $deb"
# Without libpq5 the program could not use a database server.
dpkg-deb -f "$deb" Depends | grep -Eq '(^|, )libpq5( |,|$)' || { echo "package.sh: $deb does not depend on libpq5" >&2; exit 1; }
if command -v lintian >/dev/null; then
  lintian --info "$deb"
fi
