#!/usr/bin/env bash
# Builds the Debian package from the build folder, checks it with lintian (any error or warning
# fails), installs it as a user would, checks the installed program and its desktop files, and
# removes the package again. Needs root or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
rm -f build/tessary_*.deb
(cd build && cpack -G DEB)
deb="$(echo build/tessary_*.deb)"
test -f "$deb"

# Info tags may stay; errors and warnings may not (exit status 2). Any other failure of lintian
# itself fails too. Its own notes (running as root) go to stderr.
echo "== lintian $deb"
status=0
findings="$(lintian --display-info --fail-on error,warning "$deb")" || status=$?
echo "$findings"
if [ "$status" -ne 0 ] || grep -q '^[EW]: ' <<<"$findings"; then
    echo "lintian failed (exit status $status); its errors and warnings:" >&2
    grep '^[EW]: ' <<<"$findings" >&2 || true
    exit 1
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Removing the package afterwards must not take away a copy someone installed on purpose.
if dpkg-query -W -f='${Status}' tessary 2>/dev/null | grep -q "install ok installed"; then
    echo "tessary is already installed here; remove it first (apt-get remove tessary)" >&2
    exit 1
fi
trap '$sudo apt-get remove -y tessary >/dev/null 2>&1 || true' EXIT

echo "== installing $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb -f "$deb" Package Version Depends
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "./$deb"

# No display on purpose: --version must answer without one.
version="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/tessary --version)"
expected="Orvane Tessary $(dpkg-deb -f "$deb" Version | sed 's/-[^-]*$//')"
if [ "$version" != "$expected" ]; then
    echo "tessary --version printed '$version', expected '$expected'" >&2
    exit 1
fi
echo "$version"
desktop-file-validate /usr/share/applications/com.example.tessary.desktop
appstreamcli validate --no-net /usr/share/metainfo/com.example.tessary.metainfo.xml

DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y tessary
trap - EXIT
if [ -e /usr/bin/tessary ]; then
    echo "/usr/bin/tessary is still there after removing the package" >&2
    exit 1
fi
echo "== package installed, checked and removed"
