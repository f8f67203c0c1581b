#!/bin/sh
# The real program under Xvfb, driven by the keyboard: open a save through the file dialog
# (Alt+S), remove its local lights (Alt+R), end the program (Alt+X), and check the file.
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
QT_QPA_PLATFORMTHEME= "$program" &
pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Duskmend v1\.0$' | head -n 1)
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
sleep 0.5
xdotool key alt+s
dialog=$(xdotool search --sync --onlyvisible --name '^Open sphereworld\.scp\.\.\.$' | head -n 1)
xdotool windowfocus --sync "$dialog"
sleep 0.5
xdotool type --delay 20 "$save"
xdotool key Return
# Waits up to ten seconds for a shell condition.
wait_for() {
  for _ in $(seq 100); do eval "$1" && return 0; sleep 0.1; done
  echo "gave up waiting for: $1"
  exit 1
}
wait_for '! xdotool search --onlyvisible --name "^Open sphereworld" >/dev/null'
xdotool windowfocus --sync "$window"
xdotool key alt+r
wait_for '[ -e "${save}tmp" ] && ! grep -q LOCALLIGHT "$save"'
sleep 0.5
xdotool key alt+x
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || exit 0; sleep 0.1; done
echo "the program did not end on Alt+X"
kill "$pid"
exit 1
DRIVE
xvfb-run -a -s "-screen 0 1024x768x24" sh "$dir/drive.sh" "$program" "$save"

expected=$(printf '\r\n[WORLDITEM i_gold]\r\nP=1,2,3\r\n' | od -c)
if [ "$(od -c < "$save")" != "$expected" ] || [ "$(od -c < "${save}tmp")" != "$expected" ]; then
  echo "the save was not rewritten as expected:"
  od -c "$save"
  exit 1
fi
echo "end-to-end: the save was opened, rewritten and the program ended"
