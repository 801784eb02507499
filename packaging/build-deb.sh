#!/usr/bin/env bash
# Builds the Debian package in a build folder of its own (default
# build-deb/), with Debian's usual compiler and linker hardening, and prints
# where the package is. Needs dpkg-dev (scripts/setup installs it).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-deb}
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# CMake reads CXXFLAGS and LDFLAGS, not CPPFLAGS: fold those in.
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DVESK_TESTS=OFF
cmake --build "$out"
(cd "$out" && cpack -G DEB)
ls "$out"/veskcfg_*.deb "$out"/veskfrontend_*.deb
