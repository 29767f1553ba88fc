#!/usr/bin/env bash
# Builds the Debian package of Folivo, dist/folivo_<version>_<arch>.deb: the programs, the help,
# the desktop entry, the MIME type, the icons, the AppStream metadata, the reminder timer units
# and the manual page, with the dependencies worked out from the libraries the programs use.
#
# Usage: scripts/package.sh [BUILD_DIR]
#   without BUILD_DIR: configures and builds the release preset (build/release) first;
#   with one (e.g. build/asan, as the tests do): packages what that build holds.
# FOLIVO_DEB_COMPRESSION picks dpkg-deb's compression ("xz", the default, or e.g. "gzip" for a
# quick package of a large sanitizer build).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

if [ $# -ge 1 ]; then
  build=$1
else
  build=build/release
  cmake --preset release >/dev/null
fi
# Installed paths are those of a distribution package (/usr, and /etc for the autostart entry).
cmake -S . -B "$build" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j "$(nproc)"

version=$(sed -n 's/^project(Folivo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root

DESTDIR=$root cmake --install "$build" >/dev/null
# Debian keeps programs stripped and manual pages compressed.
find "$root" -type f \( -perm -u+x -o -name '*.so*' \) -print0 |
  while IFS= read -r -d '' f; do
    if file -b "$f" | grep -q '^ELF'; then strip --strip-unneeded --remove-section=.comment "$f"; fi
  done
find "$root/usr/share/man" -type f -name '*.[0-9]' -exec gzip -9n {} +
install -D -m 0644 packaging/copyright "$root/usr/share/doc/folivo/copyright"

# The libraries the programs need, as the Debian packages that provide them.
elves=()
while IFS= read -r -d '' f; do
  if file -b "$f" | grep -q '^ELF'; then elves+=("$f"); fi
done < <(find "$root" -type f -print0)
mkdir -p "$work/debian"
printf 'Source: folivo\n\nPackage: folivo\nArchitecture: any\n' >"$work/debian/control"
privlibs=$(find "$root" -name '*.so*' -printf '%h\n' | sort -u | sed 's/^/-l/' | tr '\n' ' ')
# shellcheck disable=SC2086
shlibs=$(cd "$work" && dpkg-shlibdeps -O --ignore-missing-info $privlibs "${elves[@]}" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
# Started or loaded, not linked: xdg-open and xdg-email, and Qt's platform plugins, without
# which the window cannot open on X11 or Wayland.
depends="${shlibs:+$shlibs, }qt6-qpa-plugins, xdg-utils"

mkdir -p "$root/DEBIAN"
cat >"$root/DEBIAN/control" <<CONTROL
Package: folivo
Version: $version
Architecture: $arch
Maintainer: Folivo developers <folivo@localhost>
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends
Recommends: dbus-user-session, libqt6svg6, qt6-image-formats-plugins, gstreamer1.0-plugins-good
Section: utils
Priority: optional
Description: document organiser for household papers
 Folivo keeps scanned statements, PDFs, pictures, films and website logins in
 one database on your own disk, files imported documents into folders and
 year/month folders by rules, finds them, keeps searches as smart folders,
 tags them, reports over their attributes as CSV, raises reminders and backs
 the databases up. folivo-cli does the same from scripts.
CONTROL

mkdir -p dist
deb=dist/folivo_${version}_${arch}.deb
dpkg-deb --root-owner-group -Z"${FOLIVO_DEB_COMPRESSION:-xz}" --build "$root" "$deb" >/dev/null
echo "$deb"
