#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a scratch DESTDIR, as a package build does, and checks
# that every file lands in its place and passes the tools desktops, software
# centres and man read it with. Usage: check_install.sh BUILD_DIR
set -u
id=example.quillotone.Quillotone
src=$(cd "$(dirname "$0")/.." && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt")
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$1" --prefix /usr >/dev/null || exit 1
cd "$dest/usr" || exit 1
status=0
fail() { echo "FAIL: $*"; status=1; }

for f in bin/quillotone share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/man/man1/quillotone.1 share/icons/hicolor/scalable/apps/$id.svg; do
  [ -s "$f" ] || fail "$f is not installed"
done
for size in 48 64 128 256; do
  file "share/icons/hicolor/${size}x$size/apps/$id.png" | grep -q "PNG image data, $size x $size," ||
    fail "no ${size} px icon"
done
grep -qx "Icon=$id" share/applications/$id.desktop || fail "the desktop entry names another icon"
# German, French and Spanish: the program's texts, the desktop entry's and AppStream's.
untranslated=$(sed '/<releases>/,$d' share/metainfo/$id.metainfo.xml |
  grep -cE '<(summary|p|li|caption)>')
for language in de fr es; do
  [ -s "share/quillotone/translations/quillotone_$language.qm" ] || fail "no $language translation"
  for key in Name GenericName Comment Keywords; do
    grep -q "^$key\[$language\]=" share/applications/$id.desktop || fail "no $key[$language]"
  done
  found=$(grep -cE "<(summary|p|li|caption) xml:lang=\"$language\">" share/metainfo/$id.metainfo.xml)
  [ "$found" = "$untranslated" ] || fail "AppStream: $found of $untranslated texts in $language"
done
desktop-file-validate share/applications/$id.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net share/metainfo/$id.metainfo.xml >/dev/null ||
  fail "appstreamcli validate: $(appstreamcli validate --no-net share/metainfo/$id.metainfo.xml)"
warnings=$(man --warnings -l share/man/man1/quillotone.1 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man --warnings: $warnings"
# The manual documents every option the program takes.
for option in $(bin/quillotone --help | grep -oE -- '--[a-z-]+' | sort -u); do
  grep -qF -- "$(echo "$option" | sed 's/-/\\-/g')" share/man/man1/quillotone.1 ||
    fail "the manual lacks $option"
done
# One version, project()'s, wherever a version is shown.
while read -r what found; do
  [ "$found" = "$version" ] || fail "$what says ${found:-nothing}, project() $version"
done <<EOF
--version $(bin/quillotone --version | sed -n 's/^quillotone //p')
manual $(sed -n '1s/.*"Quillotone \([^"]*\)".*/\1/p' share/man/man1/quillotone.1)
AppStream $(grep -o '<release version="[^"]*"' share/metainfo/$id.metainfo.xml | cut -d'"' -f2)
debian/changelog $(sed -n '1s/^quillotone (\([^)-]*\).*/\1/p' "$src/debian/changelog")
EOF
# GPL-3.0-or-later: the licence's text, the package's and AppStream's word for it, and each source
# file's own line.
cmp -s "$src/COPYING" /usr/share/common-licenses/GPL-3 || fail "COPYING is not the GPL 3 text"
grep -q '^License: GPL-3+$' "$src/debian/copyright" || fail "debian/copyright names another licence"
grep -q '>GPL-3.0-or-later</project_license>' share/metainfo/$id.* || fail "AppStream's licence"
missing=$(cd "$src" && find app framework melody ui tests bench data CMakeLists.txt setup.sh \
  -name '*.cpp' -o -name '*.h' -o -name '*.sh' -o -name '*.py' -o -name CMakeLists.txt |
  xargs grep -L 'SPDX-License-Identifier: GPL-3.0-or-later')
[ -z "$missing" ] || fail "no SPDX line in" $missing
exit $status
