#!/usr/bin/env bash
# Checks the two Debian packages packaging/build-deb.sh made: lintian finds
# no error or warning in either; veskcfg installs alone, and nothing it
# depends on, however far down, is a GUI library, so a server without a
# display takes it as it is.
#   packaging/check-debs.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build-deb}
cfg=$(ls "$out"/veskcfg_*.deb) gui=$(ls "$out"/veskfrontend_*.deb)
found=$(lintian --tag-display-limit 0 "$cfg" "$gui" 2>/dev/null | grep -E '^[EW]: ' || true)
if [ -n "$found" ]; then
  echo "lintian:"; echo "$found"; exit 1
fi
apt-get install --simulate "./$cfg" >/dev/null
deps=$(dpkg-deb -f "$cfg" Depends | sed 's/([^)]*)//g; s/[,|]/ /g')
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
  --no-replaces --no-enhances $deps | grep -v '^ ' | sort -u)
gui=$(echo "$closure" | grep -E '^(libqt6(gui|widgets|opengl|dbus)|libx11|libxcb|libgl1|libegl|libwayland)' || true)
if [ -n "$gui" ]; then
  echo "veskcfg would pull in GUI libraries:"; echo "$gui"; exit 1
fi
echo "Packages: lintian clean; veskcfg ($(dpkg-deb -f "$cfg" Depends)) installs without a GUI library"
