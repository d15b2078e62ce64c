#!/usr/bin/env bash
# calstore-cli end to end: create from CSV, read as CSV and JSON, look up, correct, merge, index,
# import, and the exit status of a failure.
set -euo pipefail
cli=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
expect() { [ "$1" == "$2" ] || fail "expected [$2], got [$1]"; }

cat > "$dir/points.csv" <<'CSV'
# references first, then one line per card; an empty cell is no measurement
card,0,10,20
7,1,11,21.5
8,,10.5,20
CSV
"$cli" create "$dir/a" --csv "$dir/points.csv" --kind 4
[ -f "$dir/a.jz" ] && [ -f "$dir/a.jz.ini" ] || fail "create wrote no a.jz with index"
# Each value as the shortest text that reads back as the same float: card 8's value at 10 comes
# out of its curve as 10.499999, not as the 10.5 that was measured.
expect "$("$cli" read "$dir/a.jz")" $'card,0,10,20\n7,1,11,21.5\n8,,10.499999,20'
expect "$("$cli" read "$dir/a.jz" --json)" \
  '{"kind":4,"points":[0,10,20],"cards":[{"card":7,"values":[1,11,21.5]},{"card":8,"values":[null,10.499999,20]}]}'
expect "$("$cli" read "$dir/a.jz" --type 1 --json)" '{"kind":null,"points":[],"cards":[]}'
expect "$("$cli" contains "$dir/a.jz" 8 0)" "1 44"
status=0; "$cli" contains "$dir/a.jz" 9 0 > /dev/null || status=$?
expect "$status" 1
expect "$("$cli" adjust "$dir/a.jz" 7 0 5)" "4"
expect "$("$cli" adjust "$dir/a.jz" 99 0 5)" "6.7"
expect "$("$cli" adjust "$dir/a.jz" 99 0 5 --no-default-offset --slope 2)" "10"

printf 'card,0,10\n2,0,10\n' > "$dir/b.csv"
"$cli" create "$dir/b.jz" --csv "$dir/b.csv"
"$cli" merge "$dir/m" "$dir/a.jz" "$dir/b.jz"
expect "$("$cli" read "$dir/m.jz" | cut -d, -f1 | tr '\n' ' ')" "card 2 7 8 "
rm "$dir/m.jz.ini"
"$cli" index "$dir/m.jz"
expect "$(tr -d '\r' < "$dir/m.jz.ini")" $'[cards]\n2_0=0\n7_0=28\n8_0=72'

mkdir "$dir/src"
cp "$dir/a.jz" "$dir/src/"
"$cli" import "$dir/t" "$dir/src" "7-9"
expect "$("$cli" read "$dir/t.jz" | cut -d, -f1 | tr '\n' ' ')" "card 7 8 "
grep -q "escape=7_湿度;8_湿度;9_温度;9_湿度" "$dir/t.jz.ini" || fail "missing list"
"$cli" import "$dir/u" "$dir/src" --cards 8 --no-missing-list
expect "$("$cli" read "$dir/u.jz" | cut -d, -f1 | tr '\n' ' ')" "card 8 "

status=0; "$cli" read "$dir/none.jz" 2> /dev/null || status=$?
expect "$status" 101
status=0; "$cli" import "$dir/t" "$dir/src" ";;" 2> /dev/null || status=$?
expect "$status" 102
status=0; "$cli" frobnicate 2> /dev/null || status=$?
expect "$status" 2
status=0; "$cli" read "$dir/a.jz" --jsn 2> /dev/null || status=$?
expect "$status" 2
status=0; "$cli" read "$dir/a.jz" --typ 1 > /dev/null 2>&1 || status=$?
expect "$status" 2

# Values with more than six significant digits print whole (a record written byte by byte:
# card 5, one segment 0..10 with k = 1, b = -1.2345678, so the value at 0 is 1.2345678).
printf '\x01\x00\xec\x3c\x01\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00\x20\x41\x00\x00\x80\x3f\x51\x06\x9e\xbf' \
  > "$dir/exact.jz"
expect "$("$cli" read "$dir/exact.jz")" $'card,0,10\n5,1.2345678,11.234568'

# A path that is not UTF-8 is refused by name: it would otherwise reach the file whose name has
# U+FFFD in its place.
cp "$dir/a.jz" "$dir/x"$'\xEF\xBF\xBD'".jz"
status=0; "$cli" read "$dir/x"$'\xFF'".jz" > "$dir/out" 2> "$dir/err" || status=$?
expect "$status" 2
[ ! -s "$dir/out" ] || fail "read printed a file it was not given"
grep -q 'FILE ".*x\\xFF.jz" is not valid UTF-8' "$dir/err" || fail "message: $(cat "$dir/err")"
status=0; "$cli" merge "$dir/m" "$dir/a.jz" "$dir/b"$'\xC0\xAF'".jz" 2> "$dir/err" || status=$?
expect "$status" 2
grep -q "SOURCE2" "$dir/err" || fail "message: $(cat "$dir/err")"
status=0; "$cli" import "$dir/t"$'\xFE' "$dir/src" "7" 2> "$dir/err" || status=$?
expect "$status" 2
grep -q "TARGET" "$dir/err" || fail "message: $(cat "$dir/err")"
[ ! -e "$dir/t"$'\xEF\xBF\xBD'".jz" ] || fail "import wrote to another name"

# A backup of an earlier import beside the target blocks the import, and the message names it.
cp "$dir/t.jz" "$dir/t.jz.old"
status=0; "$cli" import "$dir/t" "$dir/src" "7" 2> "$dir/err" || status=$?
expect "$status" 103
grep -q "t.jz.old is in the way" "$dir/err" || fail "message: $(cat "$dir/err")"
# Alone, it is the previous target, put back before the import goes on.
rm "$dir/t.jz"
"$cli" import "$dir/t" "$dir/src" "7"
[ ! -e "$dir/t.jz.old" ] || fail "the backup is still there"
expect "$("$cli" read "$dir/t.jz" | cut -d, -f1 | tr '\n' ' ')" "card 7 8 "
echo "calstore-cli: all checks passed"
