#!/usr/bin/env bash
# Opens the player's window under a virtual X server: the window must appear
# with the project's size and title, and the run must end in order.
# Arguments: PLAYER GAME WIDTHxHEIGHT TITLE. Exits 77 (skipped) when there is
# no xvfb-run.
set -euo pipefail
player="$1"
game="$2"
size="$3"
title="$4"
command -v xvfb-run >/dev/null && command -v xwininfo >/dev/null || exit 77
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A game folder of its own: another player on the same folder would end at once.
cp -r "$game" "$work/game"
game="$work/game"

cat >"$work/inside.sh" <<'INSIDE'
set -euo pipefail
player="$1"; game="$2"; work="$3"; size="$4"
# Leaks inside the system libraries SDL loads (D-Bus) are not ours to find here.
XDG_RUNTIME_DIR="$work" SDL_AUDIODRIVER=dummy ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0" \
  "$player" --frames 200 --trace "$work/trace.txt" "$game" 2>"$work/stderr.txt" &
pid=$!
found=""
for _ in $(seq 1 100); do
  if xwininfo -root -tree 2>/dev/null | grep -E "\"[^\"]+\": \\(.*\\)  ${size}\\+" >"$work/window.txt"; then
    found=yes
    break
  fi
  sleep 0.1
done
rc=0
wait "$pid" || rc=$?
[[ -n "$found" ]] || { echo "no $size window appeared"; cat "$work/stderr.txt"; exit 1; }
[[ $rc -eq 0 ]] || { echo "player exit status $rc"; cat "$work/stderr.txt"; exit 1; }
INSIDE

xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/inside.sh" "$player" "$game" "$work" "$size"
grep -q "\"$title\"" "$work/window.txt" || { echo "window title is not \"$title\":"; cat "$work/window.txt"; exit 1; }
tail -n 2 "$work/trace.txt" | grep -q '\[step\] FormClose' || { echo "the run did not close in order:"; cat "$work/trace.txt"; exit 1; }
echo "window: $(cat "$work/window.txt")"
