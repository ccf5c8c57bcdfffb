#!/usr/bin/env bash
# Installs the build into a temporary prefix twice: the program folder, its links into the shared data
# folder, modes that let every user work there, and a database that the second install keeps; then
# the package's part (DESTDIR, prefix /usr), which carries no data folder. Then the data set-up on
# its own: an upgrade from the earlier layout, and whatever another user may have put in the way.
# As root, an unprivileged user (uid 65534) keeps putting links in the way while the set-up and an
# install run: no file or folder the links point at may change. Usage: test_layout.sh BUILD
set -euo pipefail
build=$1 work=$(mktemp -d)
chmod 0755 "$work"  # the unprivileged user reaches the shared folders below
attacker=
trap '[ -z "$attacker" ] || stop; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
install_into() { cmake --install "$build" "$@" >"$work/log" 2>&1 || { cat "$work/log"; fail "install $*"; }; }
link() { [ "$(readlink "$1")" = "$2" ] || fail "$1 is not a link to $2"; }
mode() { [ "$(stat -c %a "$1")" = "$2" ] || fail "$1 has mode $(stat -c %a "$1"), expected $2"; }
me=$(id -u)
# What is at a path, a link not followed: owner, mode, type (and with a third argument, links).
is() { local f="%u %a${3:+ %h} %F"; [ "$(stat -c "$f" "$1" 2>&1)" = "$2" ] || fail "$1 is $(stat -c "$f" "$1" 2>&1), expected $2"; }
# The shared layout: folder 0755, set-group-id sticky folders data/ and xsl/ and one database file, all
# open to the group quillmark alone (as root; otherwise the running user's group).
layout() {
  is "$1" "$me 755 directory" && is "$1/data" "$me 3770 directory" && is "$1/xsl" "$me 3770 directory"
  # Empty when a user had put an empty file in place of an old database before the upgrade.
  is "$1/data/qmk.dat" "$me 660 1 regular$(test -s "$1/data/qmk.dat" || echo " empty") file" links
  [ "$me" != 0 ] || [ "$(stat -c %G "$1/data" "$1/xsl" "$1/data/qmk.dat" | sort -u)" = quillmark ] ||
    fail "$1: the shared folders and the database are not the group quillmark's"
}
# What the encrypted database answers to a statement, through the sqlcipher client.
query() { printf "PRAGMA key='quorvandelix';\n%s;\n" "$2" | sqlcipher "$1" 2>&1; }

p=$work/prefix
prog=$p/lib/quillmark state=$p/var/lib/quillmark
install_into --prefix "$p"
for f in lib/quillmark/quillmark lib/quillmark/qmk-initdb lib/quillmark/qmk-import; do [ -x "$p/$f" ] || fail "$f missing"; done
for f in lib/quillmark/Help/index.html share/applications/quillmark.desktop share/man/man1/quillmark.1.gz \
  share/icons/hicolor/scalable/apps/quillmark.svg share/doc/quillmark/copyright share/doc/quillmark/changelog.gz \
  var/lib/quillmark/data/qmk.dat; do [ -f "$p/$f" ] && [ -s "$p/$f" ] || fail "$f missing"; done
mode "$prog/quillmark-setup-data" 755
link "$p/bin/quillmark" ../lib/quillmark/quillmark && link "$p/bin/qmk-import" ../lib/quillmark/qmk-import && link "$prog/xsl" "$state/xsl"
link "$prog/qmk.dat" "$state/data/qmk.dat"
# qmk.server leads to the administrator's file, which no install makes or replaces.
link "$prog/qmk.server" "$p/etc/quillmark/qmk.server" && [ -d "$p/etc/quillmark" ] || fail "no folder for qmk.server"
[ ! -e "$p/etc/quillmark/qmk.server" ] || fail "the install made qmk.server"
layout "$state"
echo "the users' data" >"$state/data/qmk.dat" && echo "dbname=quillmark" >"$p/etc/quillmark/qmk.server"
install_into --prefix "$p"
[ "$(cat "$state/data/qmk.dat")" = "the users' data" ] || fail "the second install replaced the database"
[ "$(cat "$prog/qmk.server")" = "dbname=quillmark" ] || fail "the second install changed qmk.server"
# A data file where the link belongs is kept, and the install says why it stops.
rm "$prog/qmk.dat" && echo "old data" >"$prog/qmk.dat"
! cmake --install "$build" --prefix "$p" >"$work/log" 2>&1 || fail "install over a data file succeeded"
grep -q "is not a link" "$work/log" && [ "$(cat "$prog/qmk.dat")" = "old data" ] || fail "data file not kept"
d=$work/stage
DESTDIR=$d install_into --prefix /usr --component program
link "$d/usr/lib/quillmark/qmk.dat" /var/lib/quillmark/data/qmk.dat && link "$d/usr/lib/quillmark/xsl" /var/lib/quillmark/xsl
link "$d/usr/lib/quillmark/qmk.server" /etc/quillmark/qmk.server
[ -d "$d/etc/quillmark" ] && [ ! -e "$d/etc/quillmark/qmk.server" ] || fail "the package's part ships qmk.server or no folder for it"
[ -x "$d/usr/lib/quillmark/quillmark-setup-data" ] || fail "the package's part has no data set-up"
[ ! -e "$d/var" ] || fail "the package's part carries the data folders"

# Stand-ins for files of root's that links may point at: they must never change.
setup=$prog/quillmark-setup-data initdb=$prog/qmk-initdb
mkdir -m 0700 "$work/root" "$work/root/folder" && echo "root's secret" >"$work/root/secret" && chmod 0600 "$work/root/secret"
secret=$work/root/secret folder=$work/root/folder
stand_ins() {
  is "$secret" "$me 600 regular file" && [ "$(cat "$secret")" = "root's secret" ] || fail "the secret changed: $1"
  is "$folder" "$me 700 directory" && [ -z "$(ls -A "$folder")" ] || fail "the folder changed: $1"
}
set_up() { "$setup" "$1" "$initdb" >"$work/log" 2>&1 || { cat "$work/log"; fail "set-up of $1"; }; }
said() { grep -q "$1" "$work/log" || { cat "$work/log"; fail "the set-up did not say: $1"; }; }
# The earlier layout: one folder every user writes, the sticky xsl/ in it.
old_layout() { mkdir -m 0777 "$1" && mkdir -m 1777 "$1/xsl" && echo ledger >"$1/xsl/a.xls" && chmod 0777 "$1"; }

# Upgrade: a plain old database and its log move into data/ as they are, a side file that is a
# link stays; a second run keeps the database.
s=$work/old1
old_layout "$s" && echo "old data" >"$s/qmk.dat" && echo "latest saves" >"$s/qmk.dat-wal" && chmod 0600 "$s/qmk.dat"
[ "$me" != 0 ] || chown 65534 "$s/qmk.dat"
ln -s "$secret" "$s/qmk.dat-shm"
set_up "$s" && layout "$s"
[ "$(cat "$s/data/qmk.dat")" = "old data" ] && [ "$(cat "$s/data/qmk.dat-wal")" = "latest saves" ] || fail "old database not moved"
[ -L "$s/qmk.dat-shm" ] && ! [ -L "$s/data/qmk.dat-shm" ] || fail "a linked side file moved"
[ ! -e "$s/qmk.dat" ] && [ "$(cat "$s/xsl/a.xls")" = ledger ] || fail "upgrade left the old database or lost an export"
set_up "$s" && said "kept the database" && [ "$(cat "$s/data/qmk.dat")" = "old data" ] || fail "second set-up"
# Upgrade: an old database that is another name of a file (a hard link) stays, and so does its
# log; data/ as a link and xsl/ as a file are moved aside; a new database is made.
s=$work/old2
old_layout "$s" && ln "$secret" "$s/qmk.dat" && echo log >"$s/qmk.dat-wal" && ln -s "$folder" "$s/data"
rm -r "$s/xsl" && echo junk >"$s/xsl"
set_up "$s" && layout "$s" && stand_ins "hard-linked old database" && said "left where it is"
[ "$(cat "$s/qmk.dat-wal")" = log ] && [ ! -e "$s/data/qmk.dat-wal" ] || fail "the log of a left database moved"
[ "$(cat "$s"/set-aside.*/xsl.1)" = junk ] && [ "$(readlink "$s"/set-aside.*/data.1)" = "$folder" ] || fail "not moved aside"
# A new layout where a folder and another name of a file were put at the database's names.
s=$work/new
mkdir -p "$s/data" && chmod 1777 "$s/data" && mkdir -p "$s/data/qmk.dat/x" && ln "$secret" "$s/data/qmk.dat-journal"
set_up "$s" && layout "$s" && stand_ins "names in data/" && said "was a folder of user"
[ ! -e "$s/data/qmk.dat-journal" ] || fail "a stale journal stayed beside a new database"
rm "$s/data/qmk.dat" && ln "$secret" "$s/data/qmk.dat"
set_up "$s" && layout "$s" && stand_ins "hard link at the database's name" && said "a file with other names"
# An upgrade from the layout open to every user (1777, 0666), where someone made a second name of the
# database, and its log holds a save not yet folded in: the file is copied with the save into a file
# of one name; the second name keeps the old file.
s=$work/linked && mkdir -m 0755 "$s" && mkdir -m 1777 "$s/data" "$s/xsl" && db=$s/data/qmk.dat
"$initdb" "$db" --demo >/dev/null && chmod 0666 "$db" && rows=$(query "$db" "SELECT count(*) FROM tblTransaction")
# The client is killed after its save, so the save stays in the log.
sqlcipher "$db" < <(echo "PRAGMA key='quorvandelix'; PRAGMA journal_mode=WAL; INSERT INTO tblStatus VALUES (99,'kept');"
  sleep 30) >/dev/null &
writer=$!
for _ in $(seq 100); do [ ! -s "$db-wal" ] || break; sleep 0.05; done
sleep 0.5 && kill -9 "$writer" && { wait "$writer" 2>/dev/null || true; } && ln "$db" "$work/second-name"
[ -s "$db-wal" ] || fail "no log to fold in"
set_up "$s" && layout "$s" && said "copied the database"
[ "$rows" -gt 0 ] && [ "$(query "$db" "SELECT count(*) FROM tblTransaction")" = "$rows" ] || fail "the copy lost rows"
[ "$(query "$db" "SELECT StatusName FROM tblStatus WHERE StatusID=99")" = kept ] || fail "the copy lost the log's save"
[ "$(stat -c %i "$work/second-name")" != "$(stat -c %i "$db")" ] && [ -s "$work/second-name" ] || fail "the second name"
# A folder of shared data that is a link is refused.
ln -s "$folder" "$work/state-link"
! "$setup" "$work/state-link" "$initdb" >"$work/log" 2>&1 || fail "the set-up went through a link"
said "symbolic link" && stand_ins "state is a link"
# A folder that comes back at the database's name each time it is moved aside: the set-up fails.
mkdir "$work/shim" && real_mv=$(command -v mv)
printf '#!/bin/sh\nfor last; do :; done\ncase $last in */data/qmk.dat) mkdir -p "$last";; esac\nexec %s "$@"\n' "$real_mv" >"$work/shim/mv"
chmod +x "$work/shim/mv" && s=$work/back && mkdir "$s"
! PATH=$work/shim:$PATH "$setup" "$s" "$initdb" >"$work/log" 2>&1 || fail "the set-up reported success without a database"
said "could not put" && [ -d "$s/data/qmk.dat" ] && [ -z "$(ls -d "$s"/new.* 2>/dev/null)" ] || fail "left a half-made database"

if [ "$me" != 0 ]; then
  echo "installed layout OK (not root: the unprivileged user's part was skipped)"
  exit 0
fi
# As root: user 65534 keeps putting links to the stand-ins at every name it can reach. At a name
# marked "=" it puts plain files of its own instead, at one marked "~" both in turns: a look at a
# name and the step after it may then meet different files.
attack() {
  setpriv --reuid=65534 --regid=65534 --clear-groups perl -e '
    my ($file, $folder, @names) = @ARGV;
    for (my $i = 0; ; $i++) {
      for (@names) {
        my ($how, $name) = /^([=~]?)(.*)$/;
        my $is_folder = $name =~ m{/(data|xsl)$};
        my $new = "$name.new$$";
        if ($how eq "=" || ($how eq "~" && $i % 2)) { open(my $f, ">", $new) } else { symlink($is_folder ? $folder : $file, $new) }
        rename($name, "$name.gone$$.$i") if $is_folder;
        rename($new, $name) or unlink($new);
      }
    }' "$secret" "$folder" "$@" &
  attacker=$!
  # Under way once the first name is the user's.
  for _ in $(seq 100); do [ "$(stat -c %u "${1#[=~]}" 2>/dev/null)" != 65534 ] || return 0; sleep 0.02; done
  fail "the unprivileged user put nothing at $1"
}
stop() { kill "$attacker" && wait "$attacker" 2>/dev/null || true; attacker=; }
# The names of the earlier layout's database, marked as above (none when the mark is "-"), then
# the folders and the names in them.
names() { [ "$2" = - ] || for n in qmk.dat qmk.dat-wal qmk.dat-shm qmk.dat-journal; do echo "$2$1/$n"; done
  for n in data xsl data/qmk.dat data/qmk.dat-wal data/qmk.dat-shm data/qmk.dat-journal xsl/a.xls; do echo "$1/$n"; done; }
# The old database is replaced by the user's own file, which moves into data/; then by links too.
round=0
for how in = "~"; do
  s=$work/attacked$((round += 1))
  old_layout "$s" && echo "old data" >"$s/qmk.dat" && echo "latest saves" >"$s/qmk.dat-wal"
  attack $(names "$s" "$how") && set_up "$s" && stop
  layout "$s" && stand_ins "set-up under attack ($how)"
done
# Someone outside the group reaches nothing in the shared folders: no pipe can be put where the engine
# keeps its log, and the database cannot be read.
for f in "$state/data/qmk.dat-wal" "$state/xsl/a.xls"; do
  ! setpriv --reuid=65534 --regid=65534 --clear-groups mkfifo "$f" 2>/dev/null && [ ! -e "$f" ] || fail "a non-member made $f"
done
! setpriv --reuid=65534 --regid=65534 --clear-groups cat "$state/data/qmk.dat" >/dev/null 2>&1 || fail "a non-member read it"
# cmake --install over an empty folder of the earlier layout: a new database is made.
p=$work/prefix2 && mkdir -p "$p/var/lib" && old_layout "$p/var/lib/quillmark"
attack $(names "$p/var/lib/quillmark" -) && install_into --prefix "$p" && stop
layout "$p/var/lib/quillmark" && stand_ins "install under attack"
echo "installed layout OK"
