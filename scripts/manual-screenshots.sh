#!/usr/bin/env bash
# Takes the manual's pictures (share/manual/images/) from the console itself, on the simulated
# cameras, under a private X server, so that they can be taken again whenever the program changes.
# Needs Xvfb, xdotool and ImageMagick's import; the console is built first.
#   scripts/manual-screenshots.sh [path/to/kestrom3-console]
set -euo pipefail
cd "$(dirname "$0")/.."
console=${1:-build/src/app/kestrom3-console}
out=share/manual/images
mkdir -p "$out"
for tool in Xvfb xdotool import; do
  command -v "$tool" >/dev/null || { echo "manual-screenshots: $tool is needed" >&2; exit 1; }
done

work=$(mktemp -d)
display=:$((70 + RANDOM % 20))
cleanup() {
  [ -n "${console_pid:-}" ] && kill "$console_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1280x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
sleep 1

# A user of its own: settings, state and the socket in the work folder.
mkdir -p "$work/run" "$work/state" "$work/config" "$work/home/Documents"
chmod 700 "$work/run"
export XDG_RUNTIME_DIR=$work/run XDG_STATE_HOME=$work/state KESTROM_CONFIG_DIR=$work/config HOME=$work/home
"$console" >"$work/console.log" 2>&1 &
console_pid=$!

# The newest window whose title matches, once it is there.
window() {
  local id=""
  for _ in $(seq 1 100); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 || true)
    [ -n "$id" ] && { echo "$id"; return; }
    sleep 0.1
  done
  echo "manual-screenshots: no window '$1'" >&2
  cat "$work/console.log" >&2
  exit 1
}
click() { xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"; sleep "${5:-0.5}"; }
shot() { sleep 0.5; import -window "$1" "$out/$2.png"; echo "  $out/$2.png"; }

main=$(window '^Kestrom III Control Console$')
xdotool windowmove "$main" 0 0
sleep 2

# Camera tab 1234 and the History tab.
click "$main" 94 32 1 2
shot "$main" camera-tab
click "$main" 33 32
shot "$main" history-tab

# The viewer of camera 1234 with its beam, cursor, aperture, colour bar and results.
click "$main" 94 32
click "$main" 524 64 1 2
viewer=$(window '^Kestrom III Viewer')
xdotool windowmove "$viewer" 0 0
sleep 1
for x in 99 170 254; do click "$viewer" "$x" 500 1 0.3; done
click "$viewer" 70 8 1 0.5     # "&Settings"
xdotool key s                  # "&Show result"
sleep 1
shot "$viewer" viewer

# The statistics of the second-moment widths, with the bad-pixel correction on; the viewer moved
# off the console's window so that its tab can be clicked.
xdotool windowmove "$viewer" 600 0
sleep 0.5
click "$main" 152 251 1 1      # the tab's bad-pixel correction: "Turn on"
click "$viewer" 70 8 1 0.5     # "&Settings"
click "$viewer" 150 163 1 0.5  # "Second moment (ISO 11146)"
click "$viewer" 70 8 1 0.5
click "$viewer" 100 187 1 1    # "S&tatistics"
statistics=$(window '^Statistics$')
xdotool windowmove "$statistics" 0 460   # under the console, clear of the viewer's buttons
sleep 5                        # a hundred frames
shot "$statistics" statistics
click "$viewer" 70 8 1 0.5
click "$viewer" 100 141 1 0.5  # back to "Knife edge"
click "$main" 152 251 1 1      # the correction off again
click "$viewer" 384 446 1 1    # "Close"

# The utilities with the camera's bad pixels shown.
click "$main" 524 120 1 2
utilities=$(window '^Kestrom III Utilities')
xdotool windowmove "$utilities" 0 0
sleep 1
click "$utilities" 669 106 1 0.5   # "Show Map"
click "$utilities" 424 133 1 1     # "Correct pixels prior to showing"
shot "$utilities" utilities
click "$utilities" 681 513 1 1     # "Close"

# The Factory button's password box and the factory dialog (the tab of the thermal camera 7001).
click "$main" 204 32 1 1
click "$main" 524 148 1 1
password=$(window '^Password Dialog$')
shot "$password" password
click "$password" 150 70 1 0.3
xdotool type Wopp
xdotool key Return
factory=$(window "Quorl's Magic Dialog")
xdotool windowmove "$factory" 0 0
sleep 1
shot "$factory" factory
click "$factory" 870 625 1 1       # "Close"

# Tools: the alias; Help: the About box.
click "$main" 94 32
click "$main" 59 8 1 0.5           # "&Tools"
xdotool key a                      # "Set &Alias"
alias=$(window '^Change alias$')
shot "$alias" alias
xdotool key Escape
sleep 0.5
click "$main" 100 8 1 0.5          # "&Help"
xdotool key a                      # "&About..."
about=$(window '^About$')
shot "$about" about
xdotool key Escape
echo "manual-screenshots: done"
