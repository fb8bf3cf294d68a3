#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real program under Xvfb opened with files, as a file manager opens it:
# a hex file loads with no password and no message box, so the password typed
# at once decrypts it; a name that is not UTF-8 is its own file; after "--" a
# name like an option is a file; an unknown
# option opens no window and ends with status 2.
source "$(dirname "$0")/xvfb_lib.sh"
folder=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; rm -rf "$folder"' EXIT
text='Opened from a file manager'

# A hex file to open, made by the program itself.
xdotool type --delay 15 'open sesame'
xdotool key Tab
xdotool type --delay 15 "$text"
menu q
dismiss Quelvane
menu c
dismiss " Quelvane "
clipboard >"$folder/data.QvH"
[[ $(cat "$folder/data.QvH") =~ ^[0-9A-F]+$ ]] || fail "no hex text to open"
finish

# Starts the program with the arguments given; its window becomes $main.
start() {
  "$prog" "$@" &
  pid=$!
  main=$(window " Quelvane")
  focus "$main"
}

start "$folder/data.QvH"
# The password box has the focus and no box stands in the way.
xdotool type --delay 15 'open sesame'
menu d
dismiss Quelvane
[ -z "$(windows Quelvane)" ] || fail "a second message box is open"
menu c
dismiss " Quelvane "
[ "$(clipboard)" = "$text" ] || fail "opened and decrypted: '$(clipboard)'"
echo "a hex file named at start loaded without a password and decrypted"
finish

# A name that is not UTF-8 opens its own file, not the one Qt's decoding names.
printf 'its own bytes' >"$folder/caf"$'\xe9'".TxT"
printf 'the wrong file' >"$folder/caf"$'\xef\xbf\xbd'".TxT"
start "$folder/caf"$'\xe9'".TxT"
menu c
dismiss " Quelvane "
[ "$(clipboard)" = 'its own bytes' ] || fail "caf\\xE9.TxT opened as '$(clipboard)'"
echo "a name that is not UTF-8 opened its own file"
finish

# After "--" a name that starts with "-" is a file.
printf 'dashed name' >"$folder/-dashed.TxT"
cd "$folder"
start -- -dashed.TxT
menu c
dismiss " Quelvane "
[ "$(clipboard)" = 'dashed name' ] || fail "the file after -- holds '$(clipboard)'"
echo "a file after -- loaded"
finish

# An unknown option: told on standard error, no window, status 2.
status=0
"$prog" --no-such-option 2>"$folder/err" || status=$?
[ "$status" -eq 2 ] || fail "an unknown option ended with status $status"
grep -q 'no-such-option' "$folder/err" || fail "the unknown option is not named: $(cat "$folder/err")"
echo "an unknown option: status 2, $(head -n1 "$folder/err")"
echo "1 passed, 0 failed"
