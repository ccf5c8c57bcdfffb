#!/usr/bin/env bash
# Installs the build into a temporary prefix twice: the program folder, its links into the shared data
# folder, modes that let every user work there, and a database that the second install keeps; then
# the package's part (DESTDIR, prefix /usr), which carries no database. Usage: test_layout.sh BUILD
set -euo pipefail
build=$1 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
install_into() { cmake --install "$build" "$@" >"$work/log" 2>&1 || { cat "$work/log"; fail "install $*"; }; }
link() { [ "$(readlink "$1")" = "$2" ] || fail "$1 is not a link to $2"; }
mode() { [ "$(stat -c %a "$1")" = "$2" ] || fail "$1 has mode $(stat -c %a "$1"), expected $2"; }

p=$work/prefix
prog=$p/lib/quillmark state=$p/var/lib/quillmark
install_into --prefix "$p"
for f in lib/quillmark/quillmark lib/quillmark/qmk-initdb; do [ -x "$p/$f" ] || fail "$f missing"; done
for f in lib/quillmark/Help/index.html share/applications/quillmark.desktop share/man/man1/quillmark.1.gz \
  share/icons/hicolor/scalable/apps/quillmark.svg share/doc/quillmark/copyright share/doc/quillmark/changelog.gz \
  var/lib/quillmark/qmk.dat; do [ -f "$p/$f" ] && [ -s "$p/$f" ] || fail "$f missing"; done
link "$p/bin/quillmark" ../lib/quillmark/quillmark && link "$prog/xsl" "$state/xsl"
link "$prog/qmk.dat" "$state/qmk.dat"
mode "$state" 777 && mode "$state/qmk.dat" 666 && mode "$state/xsl" 1777
echo "the users' data" >"$state/qmk.dat"
install_into --prefix "$p"
[ "$(cat "$state/qmk.dat")" = "the users' data" ] || fail "the second install replaced the database"
# A data file where the link belongs is kept, and the install says why it stops.
rm "$prog/qmk.dat" && echo "old data" >"$prog/qmk.dat"
! cmake --install "$build" --prefix "$p" >"$work/log" 2>&1 || fail "install over a data file succeeded"
grep -q "is not a link" "$work/log" && [ "$(cat "$prog/qmk.dat")" = "old data" ] || fail "data file not kept"
d=$work/stage
DESTDIR=$d install_into --prefix /usr --component program
link "$d/usr/lib/quillmark/qmk.dat" /var/lib/quillmark/qmk.dat && link "$d/usr/lib/quillmark/xsl" /var/lib/quillmark/xsl
mode "$d/var/lib/quillmark/xsl" 1777
[ ! -e "$d/var/lib/quillmark/qmk.dat" ] || fail "the package's part carries a database"
echo "installed layout OK"
