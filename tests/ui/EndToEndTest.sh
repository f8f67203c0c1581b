#!/bin/sh
# The real program under Xvfb, driven by the keyboard: open a save through the file dialog
# (Alt+S), remove its local lights (Alt+R), end the program (Alt+X), and check the file;
# then start it again and end it with a SIGTERM while a message box is open.
set -eu
program=$1
if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "xvfb-run or xdotool is missing"
  exit 1
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
save="$dir/sphereworld.scp"
printf '[SECTOR 1,1]\r\nLOCALLIGHT=5\r\n\r\n[WORLDITEM i_gold]\r\nP=1,2,3\r\n' > "$save"

cat > "$dir/drive.sh" <<'DRIVE'
set -eu
program=$1 save=$2
. "$3"
QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME= "$program" >/dev/null 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
wait_for '[ -n "$(visible "^Duskmend v1\.0$")" ]'
open_and_remove "$(visible '^Duskmend v1\.0$')" "$save" "$save"
xdotool key alt+x
wait_for '! kill -0 "$pid" 2>/dev/null'
# A SIGTERM ends the program as the exit command does, even while a message box is open.
QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME= "$program" >/dev/null 2>&1 &
pid=$!
wait_for '[ -n "$(visible "^Duskmend v1\.0$")" ]'
for _ in $(seq 10); do
  xdotool windowfocus "$(visible '^Duskmend v1\.0$')" 2>/dev/null || true
  xdotool key alt+r
  sleep 1
  [ -n "$(visible '^Hey, Dude!$')" ] && break
done
[ -n "$(visible '^Hey, Dude!$')" ] || { echo "Alt+R without a save showed no message"; exit 1; }
kill -TERM "$pid"
wait_for '! kill -0 "$pid" 2>/dev/null' 100
DRIVE
xvfb-run -a -s "-screen 0 1024x768x24" sh "$dir/drive.sh" "$program" "$save" \
  "$(cd "$(dirname "$0")/.." && pwd)/KeyDrive.sh"

expected=$(printf '\r\n[WORLDITEM i_gold]\r\nP=1,2,3\r\n' | od -c)
if [ "$(od -c < "$save")" != "$expected" ] || [ "$(od -c < "${save}tmp")" != "$expected" ]; then
  echo "the save was not rewritten as expected:"
  od -c "$save"
  exit 1
fi
echo "end-to-end: the save was opened, rewritten and the program ended"
