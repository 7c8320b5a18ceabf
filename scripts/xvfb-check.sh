#!/usr/bin/env bash
# Starts every tool under Xvfb on a 1366x768 screen at QT_SCALE_FACTOR=1.5
# (about 910x512 logical pixels, where a fixed-size window runs off the
# screen) against the loopback bench stand-ins, opens the windows reachable
# by key (XAV_Cfg's two modes, TVR_Polmon's Statistics and Timeline,
# RVSIM's Traffic) and checks that every window lies wholly on the screen.
#   scripts/xvfb-check.sh [BUILD_DIR]     (needs xvfb, x11-utils, xdotool: scripts/setup.sh)
# There is no window manager: windows stand where the program puts them and
# have no frame, so this proves the program's own sizes and places.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${XAV_BUILD:-$root/build}}"
# The tools run in folders of their own: a relative build folder is made whole.
[ -d "$build" ] || { echo "xvfb-check: no build folder $build" >&2; exit 2; }
build="$(cd "$build" && pwd)"
bin="$build/bin"
screen_w=1366
screen_h=768
wait_s="${XVFB_CHECK_WAIT:-20}"  # for each window to appear, on a loaded machine

for p in Xvfb xwininfo xdotool; do
  command -v "$p" >/dev/null || { echo "xvfb-check: $p is missing (scripts/setup.sh installs it)" >&2; exit 2; }
done
for p in XAV_Cfg XAVE TVR_Polmon RVSIM ruinet.exe ruiping.exe xav-bench-modules xav-configgen xav-module-sim tvr-drive-sim; do
  [ -x "$bin/$p" ] || { echo "xvfb-check: $bin/$p is missing: build first" >&2; exit 2; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/xvfb-check.XXXXXX")"
xvfb_pid=""
pids=()
stop_pid() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}
cleanup() {
  for p in "${pids[@]}"; do stop_pid "$p"; done
  if [ -n "$xvfb_pid" ]; then stop_pid "$xvfb_pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A display of its own (Xvfb picks a free number), no TCP; no reset when
# one program ends, or the next one may find no server for a moment.
Xvfb -displayfd 3 -screen 0 "${screen_w}x${screen_h}x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "xvfb-check: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 2; }
export DISPLAY=":$(head -n1 "$work/display")"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="${XVFB_CHECK_SCALE:-1.5}"  # another scale: to see what breaks
export XDG_CONFIG_HOME="$work/config" XAV_DATA_HOME="$work/data"
export PATH="$root/bench/xavcfg/fakebin:$root/bench/xave/fakebin:$PATH"

failures=0
checked=0

# The mapped top-level windows of a process.
windows_of() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$1" "" 2>/dev/null); do
    # Only the windows the program shows with a title (not its helpers).
    [ -n "$(xdotool getwindowname "$w" 2>/dev/null)" ] && echo "$w"
  done
  return 0
}

# wait_windows PID COUNT: until the process shows COUNT windows and their
# sizes have settled (a window may grow once it is shown).
wait_windows() {
  local pid=$1 count=$2 last="" now
  for _ in $(seq $((wait_s * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then return 1; fi
    now="$(for w in $(windows_of "$pid"); do xwininfo -id "$w" 2>/dev/null | grep -E 'Width|Height|Absolute'; done | tr -d ' \n' || true)"
    if [ "$(windows_of "$pid" | wc -l)" -ge "$count" ] && [ -n "$now" ] && [ "$now" = "$last" ]; then return 0; fi
    last="$now"
    sleep 0.2
  done
  return 1
}

# check LABEL PID COUNT: every window of PID lies on the screen.
check() {
  local label=$1 pid=$2 count=$3
  if ! wait_windows "$pid" "$count"; then
    echo "FAIL $label: $count window(s) expected, $(windows_of "$pid" | wc -l) shown; its output ends:"
    tail -n 5 "$work/$current.log" | sed 's/^/     /'
    failures=$((failures + 1))
    return
  fi
  for w in $(windows_of "$pid"); do
    local info x y width height title
    info="$(xwininfo -id "$w" 2>/dev/null || true)"
    x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
    y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
    width=$(sed -n 's/.*Width: *//p' <<<"$info")
    height=$(sed -n 's/.*Height: *//p' <<<"$info")
    title="$(xdotool getwindowname "$w" 2>/dev/null || echo '?')"
    checked=$((checked + 1))
    if [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + width)) -le $screen_w ] && [ $((y + height)) -le $screen_h ]; then
      echo "ok   $label: \"$title\" ${width}x${height}+${x}+${y}"
    else
      echo "FAIL $label: \"$title\" ${width}x${height}+${x}+${y} is not wholly on the ${screen_w}x${screen_h} screen"
      failures=$((failures + 1))
    fi
  done
}

# press PID KEYS: keys to the process's first window, as a user would.
press() {
  local w
  w="$(windows_of "$1" | sed -n 1p)"
  [ -n "$w" ] || return 0
  # Real key events (XTEST) to the focused window: Qt ignores sent ones.
  xdotool windowfocus --sync "$w" 2>/dev/null || true
  xdotool key --clearmodifiers "$2"
}

# start NAME DIR CMD...: runs a program in DIR; its id goes to $started.
start() {
  local name=$1 dir=$2
  shift 2
  (cd "$dir" && exec "$@") >"$work/$name.log" 2>&1 &
  started=$!
  current=$name
  pids+=("$started")
}

finish() {
  stop_pid "$1"
}

# --- RVSIM, and its Traffic window (opened by --traffic), on a port of its own.
mkdir -p "$work/rvsim"
start rvsim "$work/rvsim" "$bin/RVSIM" --port 0 --traffic
check "RVSIM + Traffic" "$started" 2
finish "$started"

# --- TVR_Polmon on a simulated drive network (a pseudo-terminal as COM 9),
# then Statistics (Alt+T) and Timeline (Alt+M).
mkdir -p "$work/polmon"
start drives "$work/polmon" "$bin/tvr-drive-sim" --com 9 --drives A,B,C --report /dev/null
drives_pid=$started
for _ in $(seq 100); do grep -q '^ready' "$work/drives.log" 2>/dev/null && break; sleep 0.1; done
start polmon "$work/polmon" "$bin/TVR_Polmon"
polmon_pid=$started
check "TVR_Polmon" "$polmon_pid" 1
press "$polmon_pid" alt+t
check "TVR_Polmon + Statistics" "$polmon_pid" 2
press "$polmon_pid" alt+m
check "TVR_Polmon + Statistics + Timeline" "$polmon_pid" 3
finish "$polmon_pid"
finish "$drives_pid"

# --- XAVE in a bench working folder: the loader and discovery stand-ins and
# two simulated modules on loopback addresses.
mkdir -p "$work/xave"
cp "$bin/ruinet.exe" "$bin/ruiping.exe" "$work/xave/"
"$bin/xav-configgen" --protocol 1 --plc 10.10.0.5 --title "Press line 1" --file 9 --base 20 >"$work/p.csv"
"$bin/xav-bench-modules" add 127.0.0.11 --name PRESS-1 --config "$work/p.csv" >/dev/null
"$bin/xav-bench-modules" add 127.0.0.12 --name PACKING >/dev/null
start xave "$work/xave" "$bin/XAVE"
check "XAVE" "$started" 1
finish "$started"

# --- XAV_Cfg: the start dialog, then each mode (Alt+S serial against a
# simulated module on COM 1; Alt+E Ethernet in a working folder with the loader).
mkdir -p "$work/xavcfg"
cp "$bin/ruinet.exe" "$work/xavcfg/"
start module "$work/xavcfg" "$bin/xav-module-sim" --com 1 --settings 5000200109600012
module_pid=$started
for _ in $(seq 100); do grep -q READY "$work/module.log" 2>/dev/null && break; sleep 0.1; done
for mode in serial ethernet; do
  start "xavcfg-$mode" "$work/xavcfg" "$bin/XAV_Cfg"
  check "XAV_Cfg start dialog" "$started" 1
  dialog="$(windows_of "$started" | sed -n 1p)"
  if [ "$mode" = serial ]; then press "$started" alt+s; else press "$started" alt+e; fi
  for _ in $(seq $((wait_s * 10))); do windows_of "$started" | grep -x "$dialog" >/dev/null || break; sleep 0.1; done
  check "XAV_Cfg $mode" "$started" 1
  finish "$started"
done
finish "$module_pid"

echo "xvfb-check: $checked window(s) checked, $failures problem(s)"
[ "$failures" -eq 0 ]
