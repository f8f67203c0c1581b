# What the end-to-end tests share: waiting, finding windows, and the keys that open a save
# through the file dialog and remove its local lights. Their drive scripts source it.

# Waits up to $2 tenths of a second (a minute unless told) for a shell condition: a loaded
# machine (CI runs tests side by side) can take many seconds to start a program.
wait_for() {
  for _ in $(seq "${2:-600}"); do eval "$1" && return 0; sleep 0.1; done
  echo "gave up waiting for: $1"
  exit 1
}
visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1; }

# In window $1, opens the save typed as $2 with Alt+S and removes its local lights with
# Alt+R; waits until the save at $3 holds none and its temp file stands beside it.
open_and_remove() {
  window=$1 typed=$2 save=$3
  # Without a window manager the focus may come late: press Alt+S until the dialog opens.
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
  xdotool type --delay 20 "$typed"
  xdotool key Return
  wait_for '[ -z "$(visible "^Open sphereworld")" ]'
  xdotool windowfocus "$window"
  sleep 0.5
  xdotool key alt+r
  wait_for '[ -e "${save}tmp" ] && ! grep -q LOCALLIGHT "$save"'
  sleep 1
}
