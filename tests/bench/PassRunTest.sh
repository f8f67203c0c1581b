#!/bin/sh
# The headless runner as the benchmark and the kill campaign use it.
set -eu
runner=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
check() {  # check NAME ACTUAL EXPECTED
  if [ "$2" != "$3" ]; then
    echo "FAIL $1: got '$2', expected '$3'"
    failures=$((failures + 1))
  fi
}

save="$dir/sphere world.scp"
printf '[SECTOR 1,1]\r\nLOCALLIGHT=5\r\n[SECTOR 2,2]\r\nA=1\r\n' > "$save"
check "analysis prints the counts" "$("$runner" analysis "$save")" "1 2"
check "change prints the counts" "$("$runner" change=7 "$save")" "1 2"
check "change writes the value" "$(grep -c 'LOCALLIGHT=7' "$save")" "1"
check "remove prints the counts" "$("$runner" remove "$save")" "1 2"
check "remove writes the save" "$(cat "$save")" "$(printf '[SECTOR 2,2]\r\nA=1\r')"
check "progress stays off stderr when it is no terminal" "$("$runner" analysis "$save" 2>&1)" "0 1"

status=0
out=$("$runner" analysis "$dir/missing.scp" 2>"$dir/err") || status=$?
check "a failure exits with 1" "$status" "1"
check "a failure prints no counts" "$out" ""
check "a failure says why" "$(head -n 1 "$dir/err")" "Cannot read the worldsave $dir/missing.scp"

status=0
"$runner" change= "$save" 2>"$dir/err" || status=$?
check "an empty value is refused" "$status:$(cat "$dir/err")" \
  "1:You have to enter a new value or remove all local lights!"

status=0
"$runner" shuffle "$save" 2>/dev/null || status=$?
check "an unknown mode is a usage error" "$status" "2"

[ "$failures" -eq 0 ] && echo "all runner checks passed"
exit "$failures"
