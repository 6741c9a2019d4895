#!/usr/bin/env bash
# Builds the Debian package: a Release build of its own in build-package/ (so that build/
# keeps its build type and nothing there is rebuilt), installed into /usr by CPack, with the
# dependencies dpkg-shlibdeps finds. The package ends up as build/vadrelon-editor_*.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Files and folders in the package get the usual modes whatever the caller's umask.
umask 022
# Debian's compiler and linker hardening (fortify, stack protector, relro, bindnow), as a
# package built by Debian's own tools gets it; -g is left out, the binaries are stripped.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS | sed 's/\(^\| \)-g\( \|$\)/ /')"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" > /dev/null
cmake --build build-package -j"$(nproc)"
(cd build-package && cpack -G DEB > cpack.log) || { cat build-package/cpack.log >&2; exit 1; }
mkdir -p build
rm -f build/vadrelon-editor_*.deb
cp build-package/vadrelon-editor_*.deb build/
ls build/vadrelon-editor_*.deb
