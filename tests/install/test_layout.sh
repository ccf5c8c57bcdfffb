#!/usr/bin/env bash
# Installs the build into a temporary prefix twice and checks the installed program folder, its
# links into the shared data folder, the modes that let every user work there, and that the second
# install keeps the database. Then stages the package's part (DESTDIR, prefix /usr), which must
# carry no database. Usage: test_layout.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
install_into() { cmake --install "$build" "$@" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "install $*"; }; }
expect_link() {  # name, target
  [ -L "$1" ] || fail "$1 is not a link"
  [ "$(readlink "$1")" = "$2" ] || fail "$1 -> $(readlink "$1"), expected $2"
}
expect_mode() {  # path, mode
  [ "$(stat -c %a "$1")" = "$2" ] || fail "$1 has mode $(stat -c %a "$1"), expected $2"
}

p=$work/prefix
install_into --prefix "$p"
prog=$p/lib/quillmark state=$p/var/lib/quillmark
for f in quillmark qmk-initdb; do [ -f "$prog/$f" ] && [ -x "$prog/$f" ] || fail "$prog/$f missing"; done
for f in lib/quillmark/Help/index.html share/applications/quillmark.desktop share/man/man1/quillmark.1.gz \
         share/icons/hicolor/scalable/apps/quillmark.svg share/doc/quillmark/copyright share/doc/quillmark/changelog.gz; do
  [ -s "$p/$f" ] || fail "$p/$f missing"
done
expect_link "$p/bin/quillmark" ../lib/quillmark/quillmark
[ "$(readlink -f "$p/bin/quillmark")" = "$(readlink -f "$prog/quillmark")" ] || fail "bin/quillmark does not reach the program"
expect_link "$prog/qmk.dat" "$state/qmk.dat"
expect_link "$prog/xsl" "$state/xsl"
[ -f "$state/qmk.dat" ] && [ -s "$state/qmk.dat" ] || fail "no database made in $state"
expect_mode "$state" 777
expect_mode "$state/qmk.dat" 666
expect_mode "$state/xsl" 1777

# A second install renews the program and the links and leaves the data as it was.
echo "the users' data" >"$state/qmk.dat"
install_into --prefix "$p"
[ "$(cat "$state/qmk.dat")" = "the users' data" ] || fail "the second install replaced the database"
expect_link "$prog/qmk.dat" "$state/qmk.dat"

# A data file where the link belongs is kept, and the install says why it stops.
rm "$prog/qmk.dat" && echo "old data" >"$prog/qmk.dat"
! cmake --install "$build" --prefix "$p" >"$work/install.log" 2>&1 || fail "install over a data file succeeded"
grep -q "is not a link" "$work/install.log" && [ "$(cat "$prog/qmk.dat")" = "old data" ] || fail "data file not kept"

# The package's part: prefix /usr puts the data under /var, and no database is shipped.
d=$work/stage
DESTDIR=$d install_into --prefix /usr --component program
expect_link "$d/usr/lib/quillmark/qmk.dat" /var/lib/quillmark/qmk.dat
expect_link "$d/usr/lib/quillmark/xsl" /var/lib/quillmark/xsl
expect_mode "$d/var/lib/quillmark/xsl" 1777
[ ! -e "$d/var/lib/quillmark/qmk.dat" ] || fail "the package's part carries a database"
echo "installed layout OK"
