#!/usr/bin/env bash
# Checks a Debian package of Folivo the way a new machine meets it: the files it must hold,
# its metadata valid, its dependencies known to this system's dpkg, and the command-line
# program, unpacked into a throw-away root, starting.
# Usage: scripts/check-package.sh dist/folivo_<version>_<arch>.deb
set -euo pipefail
deb=$1
fail() { echo "check-package: $*" >&2; exit 1; }

contents=$(dpkg-deb --contents "$deb" | sed 's/ -> .*//' | awk '{print $NF}' | sed 's|^\./|/|')
required=(
  /usr/bin/folivo
  /usr/bin/folivo-cli
  /usr/share/applications/folivo.desktop
  /usr/share/mime/packages/folivo.xml
  /usr/share/icons/hicolor/scalable/apps/folivo.svg
  /usr/share/icons/hicolor/48x48/apps/folivo.png
  /usr/share/icons/hicolor/256x256/apps/folivo.png
  /usr/share/metainfo/org.folivo.Folivo.metainfo.xml
  /usr/share/man/man1/folivo-cli.1.gz
  /usr/lib/systemd/user/folivo-reminders.service
  /usr/lib/systemd/user/folivo-reminders.timer
  /etc/xdg/autostart/folivo-reminders.desktop
  /usr/share/doc/folivo/copyright
)
# The help: its viewer, the library the program asks it through, and the book.
required+=(/usr/bin/folivo-help /usr/share/folivo/help/index.html)
grep -q '^/usr/lib/.*/libkthelp\.so\.1$' <<<"$contents" || fail "libkthelp.so.1 is missing from $deb"
for f in "${required[@]}"; do
  grep -qxF "$f" <<<"$contents" || fail "$f is missing from $deb"
done
if grep -q '^/usr/local\|^/home\|^/root\|^/tmp' <<<"$contents"; then
  fail "$deb installs outside the distribution's folders"
fi

# The dependencies are package names dpkg knows, with nothing left unresolved.
depends=$(dpkg-deb --field "$deb" Depends)
[ -n "$depends" ] || fail "$deb has no dependencies"
grep -q '/' <<<"$depends" && fail "a dependency is a path: $depends"
while IFS= read -r group; do
  known=no
  for p in $(tr '|' '\n' <<<"$group" | sed 's/(.*)//; s/:any//' | tr -d ' '); do
    if dpkg-query -W "$p" >/dev/null 2>&1; then known=yes; fi
  done
  [ "$known" = yes ] || fail "dependency \"$group\" is no package installed here"
done < <(tr ',' '\n' <<<"$depends")

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
appstreamcli validate --no-net --explain "$root/usr/share/metainfo/org.folivo.Folivo.metainfo.xml" >/dev/null ||
  fail "the AppStream metadata does not validate"
man -l "$root/usr/share/man/man1/folivo-cli.1.gz" >/dev/null 2>&1 || fail "the manual page does not format"
libs=$(find "$root" -name '*.so*' -printf '%h\n' | sort -u | tr '\n' ':')
out=$(ASAN_OPTIONS=detect_leaks=0 LD_LIBRARY_PATH="${libs}${LD_LIBRARY_PATH:-}" "$root/usr/bin/folivo-cli" --version)
grep -q "^folivo-cli " <<<"$out" || fail "folivo-cli --version from the package said: $out"
echo "check-package: $deb holds ${#required[@]} required files, depends on $(tr ',' '\n' <<<"$depends" | wc -l) packages, and starts: $out"
