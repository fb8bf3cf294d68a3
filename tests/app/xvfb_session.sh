#!/usr/bin/env bash
# The real program under Xvfb, driven like a person with xdotool: type a
# password and a two-line text, encrypt from the menu, copy the hex text to
# the clipboard and read it with xclip, decrypt it back, copy and compare,
# then leave through "&Exit". Message boxes are real and dismissed with Return.
set -euo pipefail
prog=$(readlink -f "$1")
for tool in xvfb-run xdotool xclip; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
if [ -z "${QUELVANE_IN_XVFB:-}" ]; then
  export QUELVANE_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi
export QT_QPA_PLATFORM=xcb

fail() { echo "FAIL: $*"; [ -n "${shot:-}" ] && import -window root "$shot" 2>/dev/null; exit 1; }
# Waits for a visible window whose title is exactly $1 and gives its id.
window() { timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -1; }
# Waits until no visible window has the title $1.
gone() {
  for _ in $(seq 100); do xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0; sleep 0.1; done
  fail "window '$1' stays open"
}
menu() {  # opens "&File" and presses an item's access key
  # Without a window manager nobody gives the focus back after a box closes.
  xdotool windowfocus --sync "$main"; sleep 0.2
  xdotool key alt+f; sleep 0.4; xdotool key "$1"
}
dismiss() {  # the message box titled $1: Return, and it closes
  local box; box=$(window "$1") || fail "no message box '$1'"
  [ -n "$box" ] || fail "no message box '$1'"
  sleep 0.3; xdotool key Return; gone "$1"; sleep 0.2
}
clipboard() { xclip -o -selection clipboard; }

shot=${QUELVANE_SHOT:-}
"$prog" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
main=$(window " Quelvane") || fail "the main window did not show"
[ -n "$main" ] || fail "the main window did not show"
xdotool windowfocus --sync "$main"
sleep 0.3

xdotool type --delay 15 'open sesame'
xdotool key Tab
xdotool type --delay 15 'Hello, "world"'
xdotool key Return
xdotool type --delay 15 '  second, line'
sleep 0.2

menu q          # &Quelvane
dismiss Quelvane
menu c          # &Copy Tex  Box To Clipboard
dismiss " Quelvane "
hex=$(clipboard)
[[ $hex =~ ^[0-9A-F]+$ ]] || fail "the clipboard holds no hex text: '$hex'"
(( ${#hex} % 16 == 0 && ${#hex} >= 16 * 4 )) || fail "hex text of odd length ${#hex}"
echo "encrypted to ${#hex} hex characters"

menu d          # &DeQuelvane
dismiss Quelvane
menu c
dismiss " Quelvane "
plain=$(clipboard)
expected=$'Hello, "world"\n  second, line'
[ "$plain" = "$expected" ] || fail "decrypted text differs: '$plain'"
echo "decrypted back exactly"

[ -n "$shot" ] && import -window root "$shot"
menu e          # &Exit
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the program is still running after Exit"
wait "$pid" || fail "the program ended with an error"
trap - EXIT
echo "1 passed, 0 failed"
