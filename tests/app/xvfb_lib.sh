# SPDX-License-Identifier: MIT
# Shared by the Xvfb sessions: start under Xvfb, find windows, use the menu,
# dismiss message boxes, read the clipboard. Source it with the program path
# as "$1"; afterwards $prog, $pid and $main are set.
set -euo pipefail
prog=$(readlink -f "$1")
for tool in xvfb-run xdotool xclip xprop; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
if [ -z "${QUELVANE_IN_XVFB:-}" ]; then
  export QUELVANE_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
export QT_QPA_PLATFORM=xcb
shot=${QUELVANE_SHOT:-}

fail() { echo "FAIL: $*" >&2; [ -n "$shot" ] && import -window root "$shot" 2>/dev/null; exit 1; }
# The visible windows titled exactly $1, menus left out (a popup menu bears
# the program's name too).
windows() {
  local id
  for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    xprop -id "$id" _NET_WM_WINDOW_TYPE 2>/dev/null | grep -q MENU || echo "$id"
  done
}
# Waits for a window titled exactly $1 and gives its id.
window() {
  local id
  for _ in $(seq 200); do
    id=$(windows "$1" | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  fail "no window '$1'"
}
# Waits until no window has the title $1.
gone() {
  for _ in $(seq 100); do [ -z "$(windows "$1")" ] && return 0; sleep 0.1; done
  fail "window '$1' stays open"
}
popups() { xdotool search --onlyvisible --class quelvane 2>/dev/null | wc -l; }
focus() { xdotool windowfocus --sync "$1"; sleep 0.2; }
# Opens "&File" and presses keys: an access key, or Down ... Return.
menu() {
  focus "$main"  # without a window manager nobody gives the focus back after a box closes
  local before; before=$(popups)
  xdotool key alt+f
  for _ in $(seq 100); do [ "$(popups)" -gt "$before" ] && break; sleep 0.1; done
  [ "$(popups)" -gt "$before" ] || fail "the File menu did not open"
  sleep 0.2; xdotool key "$@"
}
# The message box titled $1: Return, and it closes.
dismiss() {
  local box; box=$(window "$1")
  focus "$box"; sleep 0.2; xdotool key Return; gone "$1"; sleep 0.2
}
# The file dialog titled $1: type the path $2 into its name box and accept.
choose() {
  local dialog; dialog=$(window "$1")
  focus "$dialog"; sleep 0.3
  xdotool type --delay 10 "$2"; sleep 0.2; xdotool key Return; gone "$1"; sleep 0.2
}
clipboard() { xclip -o -selection clipboard; }
finish() {  # leaves through "&Exit" (saying Yes when it asks about unsaved work) and checks that the program ended well
  menu e
  local box
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    box=$(windows Quelvane | head -1)
    [ -n "$box" ] && { focus "$box"; xdotool key alt+y; }
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "the program is still running after Exit"
  wait "$pid" || fail "the program ended with an error"
  trap - EXIT
}

"$prog" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(window " Quelvane")
focus "$main"
