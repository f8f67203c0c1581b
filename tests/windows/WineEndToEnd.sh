#!/bin/sh
# The Windows program under wine in Xvfb, on Qt's windows platform, driven by the keyboard:
# open a copy of the example save through the file dialog (Alt+S), remove its local lights
# (Alt+R), end the program (Alt+X), and check the file on disk.
#   WineEndToEnd.sh DUSKMEND.EXE [SCREENSHOT.png]
set -eu
program=$1 screenshot=${2:-}
here=$(cd "$(dirname "$0")/../.." && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
save="$dir/sphereworld.scp"
cp "$here/examples/sphereworld.scp" "$save"
lights=$(grep -c '^LOCALLIGHT=' "$save" || true)
[ "$lights" -gt 0 ] || { echo "the example save holds no LOCALLIGHT entry"; exit 1; }

# Wine draws on the display of the first program of its session: let a session that began
# without one (an installer, a test on the offscreen platform) end first.
timeout 120 /usr/lib/wine/wineserver -w || true

cat > "$dir/drive.sh" <<'DRIVE'
set -eu
program=$1 save=$2 screenshot=$3
# Waits up to $2 tenths of a second (a minute unless told) for a shell condition: a loaded
# machine (CI runs tests side by side) can take many seconds to start a program.
wait_for() {
  for _ in $(seq "${2:-600}"); do eval "$1" && return 0; sleep 0.1; done
  echo "gave up waiting for: $1"
  exit 1
}
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }

/usr/lib/wine/wine64 "$program" >/dev/null 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
# Wine may still be busy with what an installer left it (menus, links): a minute at most.
wait_for '[ -n "$(visible "^Duskmend v1\.0$")" ]'
window=$(visible '^Duskmend v1\.0$')
# Opens the save typed as Z:\... with Alt+S and removes its local lights with Alt+R; waits
# until the save holds none and its temp file stands beside it. Without a window manager the
# focus may come late: Alt+S is pressed until the dialog opens.
for _ in $(seq 10); do
  xdotool windowfocus "$window" 2>/dev/null || true
  xdotool key alt+s
  sleep 1
  [ -n "$(visible '^Open sphereworld')" ] && break
done
dialog=$(visible '^Open sphereworld')
[ -n "$dialog" ] || { echo "Alt+S opened no file dialog"; exit 1; }
xdotool windowfocus "$dialog"
sleep 1
xdotool type --delay 20 "Z:$(echo "$save" | tr / '\\')"
xdotool key Return
wait_for '[ -z "$(visible "^Open sphereworld")" ]'
xdotool windowfocus "$window"
sleep 0.5
xdotool key alt+r
wait_for '[ -e "${save}tmp" ] && ! grep -q LOCALLIGHT "$save"'
sleep 1
if [ -n "$screenshot" ]; then
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xwd -root -silent | /usr/bin/convert xwd:- -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$screenshot"
fi
xdotool windowfocus "$window"; sleep 0.3
xdotool key alt+x
wait_for '! kill -0 "$pid" 2>/dev/null'
DRIVE
xvfb-run -a -s "-screen 0 1024x768x24" sh "$dir/drive.sh" "$program" "$save" "$screenshot"

if grep -q '^LOCALLIGHT=' "$save" || ! cmp -s "$save" "${save}tmp"; then
  echo "the save was not rewritten as expected"
  exit 1
fi
echo "Windows end-to-end: $lights local lights removed through the window's keys"
