#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real program under Xvfb, driven like a person with xdotool: type a
# password and a two-line text, encrypt from the menu, copy the hex text to
# the clipboard and read it with xclip, decrypt it back, copy and compare,
# open the about window, then leave through "&Exit". Message boxes are real and dismissed with Return.
source "$(dirname "$0")/xvfb_lib.sh"

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

# The about window opens beside the main window, and "&Exit" closes both.
menu i          # &InFo
info=$(window Info)
[ -n "$shot" ] && import -window root "$shot"
finish
xdotool search --onlyvisible --name '^Info$' >/dev/null 2>&1 && fail "the about window outlived the program"
echo "1 passed, 0 failed"
