#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real program under Xvfb, as someone who shares the machine would try
# it: new password and text files are owner-only under the usual umask (a
# replaced one keeps its mode); a copy killed with SIGKILL in the middle of
# encrypting a large text leaves the text in its private folder, and the
# next start removes it, but never the folder of a copy still running; a
# text copied to the clipboard carries the hint clipboard managers honour,
# hex ciphertext does not; a crash writes no core file, whatever "ulimit -c"
# says; SIGTERM and SIGQUIT close the window and its folder goes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
set -- "$(readlink -f "$1")"  # the session runs in a folder of its own
if [ -n "${QUELVANE_IN_XVFB:-}" ]; then
  work=$(mktemp -d)
  mkdir -p "$work/run" "$work/tmp" "$work/files"
  chmod 700 "$work/run"
  export XDG_RUNTIME_DIR=$work/run TMPDIR=$work/tmp
  umask 022
  ulimit -c unlimited 2>/dev/null || true
  cd "$work"
fi
source "$here/xvfb_lib.sh"
trap 'kill -9 $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
# One client that stays: the X server resets when its last client goes, and
# refuses the next copy meanwhile.
xprop -root -spy >/dev/null 2>&1 &

# The windows titled " Quelvane" that are not the main window: a question box.
question() {
  local id
  for _ in $(seq 100); do
    id=$(windows " Quelvane" | grep -vx "$main" | head -1 || true)
    [ -n "$id" ] && { focus "$id"; xdotool key Return; sleep 0.3; return 0; }
    sleep 0.1
  done
  fail "no overwrite question"
}
mode() { stat -c %a "$1"; }
# Starts another copy; its window becomes $main.
start() {
  local before; before=$(windows " Quelvane")
  "$prog" & pid=$!
  for _ in $(seq 200); do
    main=$(windows " Quelvane" | grep -vxF "${before:-none}" | head -1 || true)
    [ -n "$main" ] && break
    sleep 0.1
  done
  [ -n "$main" ] || fail "the program did not start again"
  focus "$main"
}
# Our copies' folders; other places are searched for the text only (other
# programs of the user may be running there).
folders() { find "$work/run" "$work/tmp" -maxdepth 1 -name 'Quelvane-*' 2>/dev/null; }

# --- no core file: the limit is 0 although the shell allowed them -----------
grep -Eq '^Max core file size +0 +0 ' "/proc/$pid/limits" || fail "core files allowed: $(grep core "/proc/$pid/limits")"

# --- file modes ------------------------------------------------------------
xdotool type --delay 15 'mode password'
xdotool key Tab
xdotool type --delay 15 'a text for the files'
menu Down Return                     # "&Save PassWord"
choose "Save Quelvane PassWord" "$work/files/key"
dismiss Quelvane
[ "$(mode "$work/files/key.QvP")" = 600 ] || fail "new password file is $(mode "$work/files/key.QvP")"
menu Down Down Down Down Down Down Down Down Return   # "&Save Tex File"
choose "Save TxT File" "$work/files/notes"
dismiss Quelvane
[ "$(mode "$work/files/notes.TxT")" = 600 ] || fail "new text file is $(mode "$work/files/notes.TxT")"
printf 'old' >"$work/files/shared.TxT"
chmod 644 "$work/files/shared.TxT"
menu Down Down Down Down Down Down Down Down Return
choose "Save TxT File" "$work/files/shared"
question                             # Yes: overwrite
dismiss Quelvane
[ "$(cat "$work/files/shared.TxT")" = 'a text for the files' ] || fail "shared.TxT was not replaced"
[ "$(mode "$work/files/shared.TxT")" = 644 ] || fail "replaced file lost its mode: $(mode "$work/files/shared.TxT")"
echo "new files 600, a replaced one keeps 644"

# --- killed in the middle of encrypting ------------------------------------
marker="plaintext-$RANDOM$RANDOM$RANDOM"
{ echo "$marker"; head -c 24000000 /dev/zero | tr '\0' 'x' | fold -w 79; echo "$marker"; } >"$work/files/big.TxT"
caught=
for attempt in 1 2 3; do
  menu Down Down Down Down Down Down Down Down Down Return   # "&Load Tex File"
  choose "Load TxT File" "$work/files/big.TxT"
  dismiss Quelvane
  menu q                             # "&Quelvane", then SIGKILL as soon as the text is in the folder
  killed=
  end=$((SECONDS + 30))
  while ((SECONDS < end)); do
    if compgen -G "$work/run/Quelvane-*/DumpSTempFile\$\$\$" >/dev/null; then
      kill -9 "$pid"
      killed=1
      break
    fi
  done
  [ -n "$killed" ] || fail "the encryption never wrote its temporary file"
  wait "$pid" 2>/dev/null || true
  if grep -rlq "$marker" "$work/run"; then caught=1; break; fi
  echo "attempt $attempt: the kill came too late"
  start
done
[ -n "$caught" ] || fail "could not kill the program in the middle of a command"
killed=$(folders)
echo "killed mid-command; the text is in $killed"

start                                # a later start
sleep 1
[ -z "$(folders)" ] || fail "folders left after the start: $(folders)"
for place in "$work/run" "$work/tmp" /dev/shm /tmp; do
  hits=$(grep -rl "$marker" $(find "$place" -maxdepth 1 -name 'Quelvane-*' 2>/dev/null) "$work/run" "$work/tmp" 2>/dev/null || true)
  [ -z "$hits" ] || fail "the plaintext is still in $hits"
done
echo "the next start removed it"

# --- a running copy's folder stays -------------------------------------------
xdotool type --delay 15 'pw'         # a new window starts in the password box
xdotool key Tab
xdotool type --delay 15 'still running'
menu q
dismiss Quelvane
running=$(folders)
[ -n "$running" ] || fail "the running copy has no folder"
first=$pid; firstMain=$main
start                                # a third copy while the second runs
sleep 1
[ "$(folders)" = "$running" ] || fail "a start removed the folder of a running copy"
kill "$pid"; wait "$pid" 2>/dev/null || true
pid=$first; main=$firstMain
menu c                               # hex ciphertext: copied as ever
dismiss " Quelvane "
targets() { xclip -o -selection clipboard -t TARGETS | tr '\n' ' '; }
[[ $(targets) == *x-kde-passwordManagerHint* ]] && fail "hex ciphertext was marked secret"
menu d
dismiss Quelvane
menu c                               # the text: marked for clipboard managers
dismiss " Quelvane "
[ "$(clipboard)" = 'still running' ] || fail "the running copy lost its text: '$(clipboard)'"
echo "a running copy keeps its folder"
[ "$(xclip -o -selection clipboard -t x-kde-passwordManagerHint)" = secret ] ||
  fail "the text went to the clipboard without the hint: $(targets)"
echo "the decrypted text is on the clipboard marked secret, the hex text was not"

# --- SIGTERM closes the window as Exit does, and its folder goes with it ----
[ -n "$(folders)" ] || fail "the running copy has no folder to lose"
kill -TERM "$pid"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "SIGTERM did not close the window"
status=0
wait "$pid" || status=$?
[ "$status" = 143 ] || fail "SIGTERM ended it with status $status, not 143"
[ -z "$(folders)" ] || fail "SIGTERM left its folder: $(folders)"
echo "SIGTERM closed the window and removed its folder"
# A background job of a script starts with SIGQUIT ignored, which the program
# keeps (as nohup's SIGHUP); this copy gets the default, as a desktop gives it.
real=$prog
prog=$work/quit-default
printf '#!/usr/bin/env python3\nimport os, signal\nsignal.signal(signal.SIGQUIT, signal.SIG_DFL)\nos.execv("%s", ["%s"])\n' \
  "$real" "$real" >"$prog"
chmod +x "$prog"
start
prog=$real

# --- SIGQUIT is handled as SIGTERM: no core, no plaintext left ---------------
xdotool type --delay 15 'pw'
xdotool key Tab
xdotool type --delay 15 'quit me'
menu q
dismiss Quelvane
[ -n "$(folders)" ] || fail "the copy has no folder to lose"
kill -QUIT "$pid"
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "SIGQUIT did not close the window"
status=0
wait "$pid" || status=$?
[ "$status" = 131 ] || fail "SIGQUIT ended it with status $status, not 131"
[ -z "$(folders)" ] || fail "SIGQUIT left its folder: $(folders)"
echo "SIGQUIT closed the window and removed its folder"
start

# --- a crash writes no core file ---------------------------------------------
mkdir "$work/control"
(cd "$work/control" && exec sleep 30) &
control=$!
sleep 0.3; kill -SEGV "$control"; wait "$control" 2>/dev/null || true
[ -n "$(ls "$work/control")" ] && cores=written || cores=none
kill -SEGV "$pid"
wait "$pid" 2>/dev/null || true
trap 'rm -rf "$work"' EXIT
ls "$work" | grep -q "^core" && fail "the crash wrote a core file: $(ls -l "$work")"
echo "a crash wrote no core file (a process without protection here: $cores)"
echo "1 passed, 0 failed"
