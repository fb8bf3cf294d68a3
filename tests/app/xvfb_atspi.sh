#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The real program read through AT-SPI, as a screen reader reads it: on a
# session bus of its own with the accessibility bus (at-spi-bus-launcher), an
# X server (Xvfb) and Qt's bridge always on. atspi_read.py drives and reads.
# Usage: xvfb_atspi.sh QUELVANE       reads the program with atspi_read.py
#        xvfb_atspi.sh --run PROGRAM [ARGUMENT...]  runs another program (a Qt Test) there
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
run=''
if [ "$1" = --run ]; then run=$(readlink -f "$2"); else prog=$(readlink -f "$1"); fi
python=/usr/bin/python3  # the system's, which has pyatspi
for tool in xvfb-run xdotool dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
launcher=/usr/libexec/at-spi-bus-launcher
[ -x "$launcher" ] || { echo "SKIP: $launcher is missing (at-spi2-core)"; exit 77; }
"$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }

if [ -z "${QUELVANE_IN_BUS:-}" ]; then
  export QUELVANE_IN_BUS=1
  exec dbus-run-session -- bash "$0" "$@"
fi
if [ -z "${QUELVANE_IN_XVFB:-}" ]; then
  export QUELVANE_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

"$launcher" --launch-immediately >/dev/null 2>&1 &
bus=$!
trap 'kill $bus 2>/dev/null || true' EXIT
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
if [ -n "$run" ]; then
  "$run" "${@:3}"
else
  "$python" "$here/atspi_read.py" "$prog"
fi
