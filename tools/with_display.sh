#!/usr/bin/env bash
# Runs a command under its own virtual X display with Mesa's software GL and no sound device, then
# stops the display. Xvfb picks a free display number itself, so parallel tests never collide.
set -u
dir=$(mktemp -d)
Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp -noreset 5>"$dir/display" 2>"$dir/xvfb.log" &
xpid=$!
for _ in $(seq 200); do
  [ -s "$dir/display" ] && break
  kill -0 "$xpid" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$dir/display" ]; then
  echo "with_display: Xvfb did not start:" >&2
  cat "$dir/xvfb.log" >&2
  kill "$xpid" 2>/dev/null
  rm -rf "$dir"
  exit 1
fi
export DISPLAY=":$(head -n 1 "$dir/display")"
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# SDL, the X libraries, D-Bus and Mesa keep allocations past exit in modules already unloaded, which
# the sanitizer build's leak checker cannot tell from ours; the windowless tests check our leaks.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
"$@"
rc=$?
kill "$xpid" 2>/dev/null
wait "$xpid" 2>/dev/null
rm -rf "$dir"
exit $rc
