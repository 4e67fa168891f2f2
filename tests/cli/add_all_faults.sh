#!/usr/bin/env bash
# add-all --in-place VELMORA-CLI stopped by Ctrl+C, kill -9 and a full disk: every file must be
# its old self or add's output, whole, with nothing beside.
set -uo pipefail
cli=$1
cd "$(dirname "$0")/../.."
. tests/suites/lib/report.sh
work=$(mktemp -d) mounted=
trap '[ -z "$mounted" ] || umount "$mounted"; rm -rf "$work"' EXIT

# start DIR COUNT SIZE: add-all as $pid over COUNT copies of a SIZE² picture, old.bmp, which add
# turns into new.bmp; it says into $work/said and complains into $work/complaints
start() {
  mkdir -p "$1"
  python3 scripts/make_bmp.py "$work/old.bmp" "$3" "$3" noise 7
  "$cli" add "$work/old.bmp" "$work/new.bmp" 40 -30 9
  for i in $(seq "$2"); do cp "$work/old.bmp" "$1/$i.bmp"; done
  touch "$work/started"
  "$cli" add-all 40 -30 9 --in-place -j 1 "$1"/*.bmp >"$work/said" 2>"$work/complaints" &
  pid=$! open=0
}
# ended DIR: add-all's exit status, and how many files in DIR are old.bmp, new.bmp, and all
ended() {
  wait "$pid" 2>/dev/null
  status=$?
  old=0 new=0 entries=$(ls -A "$1" | wc -l)
  for f in "$1"/*; do
    if cmp -s "$f" "$work/old.bmp"; then old=$((old + 1)); fi
    if cmp -s "$f" "$work/new.bmp"; then new=$((new + 1)); fi
  done
}
replaced() { find "$1" -name "*.bmp" -newer "$work/started" | wc -l; }

# Ctrl+C after a few files: exit 130, those it counts new, the rest old.
start "$work/int" 300 200
until [ "$(replaced "$work/int")" -ge 5 ] || ! kill -0 "$pid" 2>/dev/null; do sleep .01; done
kill -INT "$pid"
ended "$work/int"
check "Ctrl+C stops add-all (exit $status) after $new files, the rest old" \
  test "$status $(cat "$work/said") $entries" = "130 $new done, 0 failed, $old not done: interrupted 300"

# Killed while stopped, as watched: the first group of 64 files in place, eight of the next
# staged (open beside the one read), none between link and rename, when it has a name.
start "$work/kill" 160 300
while kill -STOP "$pid" && [ "$(cut -d ' ' -f 3 "/proc/$pid/stat")" != Z ]; do
  open=$(find "/proc/$pid/fd" -lname "$work/kill/*" | wc -l)
  if [ "$(replaced "$work/kill")" -ge 64 -a "$open" -ge 9 -a "$(ls -A "$work/kill" | wc -l)" = 160 ]; then
    kill -9 "$pid"
    break
  fi
  kill -CONT "$pid"
  sleep .01
done
ended "$work/kill"
check "kill -9 with $open files open: each file old ($old) or new ($new), nothing else" \
  test $status = 137 -a $((old + new)) = 160 -a "$entries" = 160 -a "$new" -ge 64 -a "$old" -ge 8

# A 1 MiB tmpfs holds twenty 30 KB files and twelve new: the rest fail one by one, each named.
if [ "$(id -u)" != 0 ] || ! mkdir "$work/full" || ! mount -t tmpfs -o size=1m v "$work/full"; then
  echo "  skipped: a full disk needs root and a tmpfs mount"
else
  mounted=$work/full
  start "$work/full" 20 100
  ended "$work/full"
  for f in "$work"/full/*.bmp; do
    if cmp -s "$f" "$work/old.bmp"; then echo "velmora-cli: cannot save $f: disk full"; fi
  done >"$work/kept"
  check "a full disk fails $old files (exit $status), each named and kept, the rest done" \
    test "$status $(cat "$work/said") $entries" = "1 $new done, $old failed 20" -a $old -gt 0 \
    -a $new -gt 0 -a "$(cat "$work/kept")" = "$(cat "$work/complaints")"
fi
finish
