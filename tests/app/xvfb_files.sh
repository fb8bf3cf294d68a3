#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real program under Xvfb saves a hex file through the real (Qt, not
# native) file dialog, the work text is replaced, the file is loaded back
# through the dialog and decrypted: the text comes back.
source "$(dirname "$0")/xvfb_lib.sh"
folder=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; rm -rf "$folder"' EXIT

xdotool type --delay 15 'file password'
xdotool key Tab
xdotool type --delay 15 'Kept in a file, safely'
menu q
dismiss Quelvane

# "&Save Quelvane" is the sixth item: Generate is highlighted when the menu opens.
menu Down Down Down Down Down Return
choose "Save Hex QvH File" "$folder/data"
dismiss Quelvane
[ -f "$folder/data.QvH" ] || fail "no file $folder/data.QvH"
hex=$(cat "$folder/data.QvH")
[[ $hex =~ ^[0-9A-F]+$ ]] && (( ${#hex} % 16 == 0 )) || fail "the file holds no hex text: '$hex'"
echo "saved ${#hex} hex characters"

# Something else in the work text, then "&Load Quelvane", the seventh item.
focus "$main"
xdotool mousemove --window "$main" 200 130 click 1
xdotool key ctrl+a
xdotool type 'replaced'
menu Down Down Down Down Down Down Return
choose "Load Hex QvH File" "$folder/data.QvH"
dismiss Quelvane
menu d
dismiss Quelvane
menu c
dismiss " Quelvane "
plain=$(clipboard)
[ "$plain" = 'Kept in a file, safely' ] || fail "the reloaded text differs: '$plain'"
echo "loaded back and decrypted"

[ -n "$shot" ] && import -window root "$shot"
finish
rm -rf "$folder"
echo "1 passed, 0 failed"
