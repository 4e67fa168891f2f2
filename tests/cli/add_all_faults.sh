#!/usr/bin/env bash
# add-all --in-place VELMORA-CLI stopped by Ctrl+C, kill -9 and a full disk: every file must be
# its old self or add's output, whole, with nothing beside.
set -uo pipefail
cli=$1
cd "$(dirname "$0")/../.."
. tests/suites/lib/report.sh
work=$(mktemp -d) mounted=
trap '[ -z "$mounted" ] || umount "$mounted"; rm -rf "$work"' EXIT

# start DIR COUNT SIZE: add-all as $pid on COUNT copies of a SIZE² old.bmp, which add made new.bmp
start() {
  mkdir -p "$1"
  python3 scripts/make_bmp.py "$work/old.bmp" "$3" "$3" noise 7
  "$cli" add "$work/old.bmp" "$work/new.bmp" 40 -30 9
  for i in $(seq "$2"); do cp "$work/old.bmp" "$1/$i.bmp"; done
  "$cli" add-all 40 -30 9 --in-place -j 1 "$1"/*.bmp >"$work/said" 2>"$work/complaints" &
  pid=$! open=0
}
# ended DIR: add-all's exit status, and how many entries DIR holds, and of them old.bmp and new.bmp
ended() {
  wait "$pid" 2>/dev/null
  status=$?
  entries=$(ls -A "$1" | wc -l) old=$(copies "$1" old) new=$(copies "$1" new)
}
copies() { for f in "$1"/*; do cmp -s "$f" "$work/$2.bmp" && echo "$f"; done | wc -l; }
replaced() { find "$1" -name "*.bmp" -newer "$work/said" | wc -l; }

start "$work/int" 300 200
until [ "$(replaced "$work/int")" -ge 5 ] || ! kill -0 "$pid" 2>/dev/null; do sleep .01; done
kill -INT "$pid"
ended "$work/int"
check "Ctrl+C stops add-all (exit $status) after $new files, the rest old" \
  test "$status $(cat "$work/said") $entries" = "130 $new done, 0 failed, $old not done: interrupted 300"

# Killed while stopped, as watched: the first group of 64 files in place, eight of the next
# staged (open beside the one read), none between link and rename, when it has a name.
start "$work/kill" 160 300
until [ "$(cut -d ' ' -f 3 "/proc/$pid/stat")" = Z ]; do
  kill -STOP "$pid"
  open=$(find "/proc/$pid/fd" -lname "$work/kill/*" | wc -l)
  [ "$(replaced "$work/kill")" -ge 64 -a "$open" -ge 9 -a "$(ls -A "$work/kill" | wc -l)" = 160 ] && break
  kill -CONT "$pid"
  sleep .01
done
kill -9 "$pid"
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
  check "a full disk fails $old files (exit $status), each said and kept, the rest done" \
    test "$status $(cat "$work/said") $entries" = "1 $new done, $old failed 20" -a $old -gt 0 \
    -a $new -gt 0 -a "$(grep -c "cannot save .*: disk full$" "$work/complaints")" = $old
fi
finish
