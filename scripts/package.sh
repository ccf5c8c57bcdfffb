#!/usr/bin/env bash
# Builds the Debian package build-package/quillmark_<version>_amd64.deb: installs the missing
# Debian packages, builds the program with Debian's compiler flags into build-package/ (prefix
# /usr, no tests) and packs it with CPack. lintian checks the package when it is installed.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libsqlcipher-dev dpkg-dev file gzip)
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
if command -v lintian >/dev/null; then
  lintian --info "$deb"
fi
