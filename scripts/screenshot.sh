#!/usr/bin/env bash
# Takes the README's pictures: starts the program built in build/ on a private virtual display
# with a fresh temporary home, leaves the first-run wizard, saves the manager window as
# docs/images/manager.png, hands the program a download through qbyauto and saves the
# download dialog as docs/images/download-dialog.png (small palette PNGs).
# Usage: scripts/screenshot.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
for tool in Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (scripts/deps.sh)" >&2; exit 1; }
done
[ -x "$build/bin/quillbay" ] || { echo "screenshot: build $build first (./run or ./test)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display number and writes it to the pipe.
mkfifo "$work/display"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
read -r number <"$work/display"
export DISPLAY=":$number"

mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"
user=(env -u QUILLBAY_HOME -u QUILLBAY_PROGRAM_FILES -u QUILLBAY_REGISTRY -u XDG_DATA_HOME
      -u XDG_CONFIG_HOME HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
      QUILLBAY_SHELL_LOG="$work/shell.log" QT_QPA_PLATFORM=xcb LANG=C.UTF-8)
"${user[@]}" "$build/bin/quillbay" >"$work/quillbay.log" 2>&1 &
pids+=($!)

# Ready once it answers the helper and its first run has laid out the library.
for _ in $(seq 100); do
  if [ -S "$work/runtime/quillbay/QBY" ] &&
     grep -qs "FirstRun=0" "$work/home/.local/share/quillbay/dlmain.ini"; then
    break
  fi
  sleep 0.2
done
# Saves the window `$1` (an X window id) as the palette PNG `$2`.
shoot() {
  sleep 1
  mkdir -p "$(dirname "$2")"
  import -window "$1" "$work/shot.png"
  convert "$work/shot.png" -strip -colors 64 "PNG8:$2"
  echo "Saved $2 ($(stat -c %s "$2") bytes)"
}
focus() {
  local window
  window=$(xdotool search --sync --onlyvisible --name "$1" | head -n 1)
  xdotool windowfocus --sync "$window"
  echo "$window"
}

# The first run's wizard, left with Escape and Yes to its question; the manager follows.
focus '^Quillbay Configuration Wizard$' >/dev/null
xdotool key Escape
focus '^Confirm Exit$' >/dev/null
xdotool key Return
shoot "$(focus '^Quillbay$')" docs/images/manager.png

"${user[@]}" "$build/bin/qbyauto" send \
  "https://downloads.example.org/releases/quillbay-demo-1.4.tar.gz" \
  "Source archive of the demo, release 1.4"
shoot "$(focus '^Download a File$')" docs/images/download-dialog.png
