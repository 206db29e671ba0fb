#!/usr/bin/env bash
# The preview under an author's typing: pastes a manuscript into the real window through the
# clipboard, types one character a second, and samples the resident memory of the whole
# process tree (the web engine's processes included) every second.
#   preview_memory.sh PROGRAM MANUSCRIPT_UTF8 SECONDS [LOG]
# Prints one line per minute and a summary line; run it under a display (xvfb-run).
set -euo pipefail
program=$1
manuscript=$2
seconds=$3
log=${4:-/dev/null}

tree_rss_kb() {
  # Sum of RSS over the process and all its descendants.
  local root=$1 total=0 pids queue
  queue=$root
  pids=""
  while [ -n "$queue" ]; do
    set -- $queue
    queue=""
    for p in "$@"; do
      pids="$pids $p"
      queue="$queue $(cat /proc/$p/task/*/children 2>/dev/null || true)"
    done
    queue=$(echo $queue)
  done
  for p in $pids; do
    r=$(awk '/^VmRSS:/ {print $2}' /proc/$p/status 2>/dev/null || echo 0)
    total=$((total + ${r:-0}))
  done
  echo $total
}

"$program" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
win=""
for _ in $(seq 100); do
  win=$(xdotool search --pid $pid --name '^quirtle' 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
  sleep 0.1
done
[ -n "$win" ] || { echo "the window did not appear"; exit 1; }
sleep 2
xdotool windowsize $win 1280 780 windowmove $win 0 0
sleep 0.5
# The editor pane is the left half of the window.
xdotool mousemove --window $win 200 300 click 1
xclip -selection clipboard -i < "$manuscript"
sleep 0.3
xdotool key --window $win ctrl+v
sleep 1
echo "after paste: $(( $(tree_rss_kb $pid) / 1024 )) MB" | tee -a "$log"
xdotool key --window $win ctrl+End
peak=0
for s in $(seq 1 "$seconds"); do
  xdotool type --window $win --delay 0 "a"
  sleep 1
  if ! kill -0 $pid 2>/dev/null; then echo "the program ended at ${s} s"; exit 1; fi
  kb=$(tree_rss_kb $pid)
  [ $kb -gt $peak ] && peak=$kb
  echo "$s $((kb / 1024))" >> "$log"
  if [ $((s % 60)) -eq 0 ] || [ $s -eq "$seconds" ]; then
    echo "at ${s} s: $((kb / 1024)) MB (peak so far $((peak / 1024)) MB)"
  fi
done
echo "peak over the process tree: $((peak / 1024)) MB in ${seconds} s of typing"
