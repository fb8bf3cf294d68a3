#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real program under Xvfb keeps the desktop's habits where only a real X
# server shows them: a window that takes the size it is given but never less
# than its design, the X11 primary selection pasted by a middle click and set
# by selecting the ciphertext (never plaintext, which no one could take back), the context menu from Shift+F10, the about window beside the
# main window and closed by Escape and Ctrl+W, the menu's shortcuts.
source "$(dirname "$0")/xvfb_lib.sh"

# The window manager is told the designed size as the minimum, and no
# maximum as small (there is none here to enforce them).
hints=$(xprop -id "$main" WM_NORMAL_HINTS)
min=$(sed -n 's/.*minimum size: \([0-9]* by [0-9]*\).*/\1/p' <<<"$hints")
max=$(sed -n 's/.*maximum size: \([0-9]* by [0-9]*\).*/\1/p' <<<"$hints")
eval "$(xdotool getwindowgeometry --shell "$main")"
designed_w=$WIDTH designed_h=$HEIGHT
[ "$min" = "$designed_w by $designed_h" ] || fail "minimum size '$min', the window opened at ${designed_w}x$designed_h"
[ -z "$max" ] || [ "$max" != "$min" ] || fail "the window cannot be resized: minimum and maximum $max"
# It takes the size it is given, and comes back.
size_is() {
  for _ in $(seq 100); do
    eval "$(xdotool getwindowgeometry --shell "$main")"
    [ "$WIDTH" -eq "$1" ] && [ "$HEIGHT" -eq "$2" ] && return 0
    sleep 0.1
  done
  fail "the window is ${WIDTH}x$HEIGHT, not $1x$2"
}
xdotool windowsize "$main" 1000 700
size_is 1000 700
xdotool windowsize "$main" "$designed_w" "$designed_h"
size_is "$designed_w" "$designed_h"
echo "resizable, at least ${designed_w}x$designed_h"

xdotool type --delay 15 'desk password'
xdotool key Tab
xdotool type --delay 15 'alpha beta'
# Selecting plaintext leaves the primary selection to others.
printf 'held elsewhere' | xclip -i -selection primary
xdotool key shift+Home
sleep 0.3
[ "$(xclip -o -selection primary)" = 'held elsewhere' ] ||
  fail "a plaintext selection became the primary selection: '$(xclip -o -selection primary)'"
echo "a plaintext selection is no primary selection"

# A middle click pastes the primary selection where it points.
printf ' from elsewhere' | xclip -i -quiet -selection primary >/dev/null 2>&1 &
owner=$!
sleep 0.3
eval "$(xdotool getwindowgeometry --shell "$main")"
xdotool mousemove --window "$main" $((WIDTH - 40)) 80 click 2
sleep 0.3
kill "$owner" 2>/dev/null || true
menu c
dismiss " Quelvane "
[ "$(clipboard)" = 'alpha beta from elsewhere' ] || fail "after a middle click the text is '$(clipboard)'"
echo "middle click pasted the primary selection"

# Shift+F10 opens the work text's menu; Escape closes it.
focus "$main"
xdotool mousemove --window "$main" 100 100 click 1
before=$(popups)
xdotool key shift+F10
for _ in $(seq 50); do [ "$(popups)" -gt "$before" ] && break; sleep 0.1; done
[ "$(popups)" -gt "$before" ] || fail "Shift+F10 opened no menu"
xdotool key Escape
for _ in $(seq 50); do [ "$(popups)" -le "$before" ] && break; sleep 0.1; done
echo "Shift+F10 opened the context menu"

# The about window opens beside the main window, on screen, and Escape and
# Ctrl+W close it.
for key in Escape ctrl+w; do
  focus "$main"
  xdotool key F1
  info=$(window Info)
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell --prefix I_ "$info")"
  eval "$(xdotool getwindowgeometry --shell --prefix M_ "$main")"
  (( I_X >= 0 && I_Y >= 0 && I_X + I_WIDTH <= 1024 && I_Y + I_HEIGHT <= 768 )) ||
    fail "the about window lies off screen at $I_X,$I_Y ${I_WIDTH}x$I_HEIGHT"
  (( I_Y >= M_Y + M_HEIGHT || I_Y + I_HEIGHT <= M_Y || I_X >= M_X + M_WIDTH || I_X + I_WIDTH <= M_X )) ||
    fail "the about window covers the main window"
  [ -n "$shot" ] && import -window root "$shot"
  focus "$info"
  xdotool key "$key"
  gone Info
  echo "the about window opened beside the main window and closed with $key"
done

# A shortcut: Ctrl+L encrypts, as "&Quelvane" does.
focus "$main"
xdotool key ctrl+l
dismiss Quelvane
menu c
dismiss " Quelvane "
[[ $(clipboard) =~ ^[0-9A-F]+$ ]] || fail "Ctrl+L did not encrypt: '$(clipboard)'"
echo "Ctrl+L encrypted"

# Selecting the ciphertext just made sets the primary selection.
focus "$main"
xdotool mousemove --window "$main" 100 100 click 1
xdotool key ctrl+a
for _ in $(seq 50); do [ "$(xclip -o -selection primary)" = "$(clipboard)" ] && break; sleep 0.1; done
[ "$(xclip -o -selection primary)" = "$(clipboard)" ] || fail "a selection of the ciphertext is no primary selection"
echo "a selection of the ciphertext is the primary selection"

finish
echo "1 passed, 0 failed"
