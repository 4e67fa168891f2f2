#!/usr/bin/env bash
# velmora-cli add-all replacing files in place, hit from outside on Linux: a kill -9 while a group
# of new files is staged, and a disk that fills midway. Every file must stay its old self or
# become add's output, whole, with nothing left beside the files.
set -uo pipefail
cd "$(dirname "$0")/../.."
. tests/suites/lib/report.sh
build=${VELMORA_BUILD_ROOT:-$PWD/build}/native
{ cmake --preset native -B "$build" && cmake --build "$build" -j 2 --target velmora-cli; } \
  >/dev/null 2>&1 || finish
cli=$build/cli/velmora-cli
work=$(mktemp -d) mounted=
trap '[ -z "$mounted" ] || umount "$mounted"; rm -rf "$work"' EXIT

# copies DIR COUNT SIZE: COUNT copies of a SIZE x SIZE picture, and new.bmp, add's output of it
copies() {
  mkdir -p "$1"
  python3 scripts/make_bmp.py "$work/old.bmp" "$3" "$3" noise 7
  "$cli" add "$work/old.bmp" "$work/new.bmp" 40 -30 9
  for i in $(seq "$2"); do cp "$work/old.bmp" "$1/$i.bmp"; done
}
# count DIR WHICH: how many files in DIR are byte for byte WHICH.bmp
count() {
  local f n=0
  for f in "$1"/*; do cmp -s "$f" "$work/$2.bmp" && n=$((n + 1)); done
  echo "$n"
}

# A group commits 64 files. The program is watched frozen, so that what is seen is what the kill
# finds: the first group in place, at least eight files of the second staged (open in the folder
# beside the one being read), and no file between its link and its rename, the one moment in
# which a staged file has a name.
copies "$work/kill" 160 300
touch "$work/started"
"$cli" add-all 40 -30 9 --in-place -j 1 --quiet "$work"/kill/*.bmp >/dev/null &
pid=$!
replaced=0 open=0 killed=no
while [ "$killed" = no ] && kill -STOP "$pid" && [ "$(cut -d ' ' -f 3 "/proc/$pid/stat")" != Z ]; do
  replaced=$(find "$work/kill" -name "*.bmp" -newer "$work/started" | wc -l)
  open=$(find "/proc/$pid/fd" -lname "$work/kill/*" | wc -l)
  if [ "$replaced" -ge 64 ] && [ "$open" -ge 9 ] && [ "$(ls -A "$work/kill" | wc -l)" = 160 ]; then
    kill -9 "$pid"
    killed=yes
  else
    kill -CONT "$pid"
    sleep 0.01
  fi
done
wait "$pid" 2>/dev/null
new=$(count "$work/kill" new) old=$(count "$work/kill" old)
check "the kill came with files staged (replaced $replaced, open $open)" test $killed = yes
check "after kill -9 every file is old ($old) or new ($new), and nothing else is there" \
  test "$((new + old)) $(ls -A "$work/kill" | wc -l)" = "160 160" -a "$new" -ge 64 -a "$old" -ge 8

# A 1 MiB tmpfs holds twenty 30 KB files and twelve new ones; each file that finds it full is
# named on stderr, keeps its old bytes, and leaves nothing behind.
if [ "$(id -u)" != 0 ] || ! mkdir "$work/full" || ! mount -t tmpfs -o size=1m velmora "$work/full"; then
  echo "  skipped: a full disk needs root and a tmpfs mount"
else
  mounted=$work/full
  copies "$work/full" 20 100
  "$cli" add-all 40 -30 9 --in-place -j 1 "$work"/full/*.bmp >"$work/said" 2>"$work/complaints"
  status=$?
  refused=$(grep -c ': disk full$' "$work/complaints")
  check "a full disk fails some files but not all, exit 1 (got $status)" \
    test "$status $(cat "$work/said")" = "1 $((20 - refused)) done, $refused failed" \
    -a "$refused" -gt 0 -a "$refused" -lt 20
  whole=0
  for f in "$work"/full/*.bmp; do
    if grep -qxF "velmora-cli: cannot save $f: disk full" "$work/complaints"; then was=old; else was=new; fi
    cmp -s "$f" "$work/$was.bmp" && whole=$((whole + 1))
  done
  check "each failed file has its line and its old bytes, the rest are new, nothing else" \
    test "$whole $(ls -A "$work/full" | wc -l)" = "20 20"
fi
finish
