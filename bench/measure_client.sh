#!/usr/bin/env bash
# Measures the real client against the local lobby on a virtual display: memory of the client with
# its browser processes and idle CPU at the login page, and keeps a screenshot.
#   bash tools/with_display.sh bash bench/measure_client.sh [BUILD_DIR] [SETTLE_SECONDS]
set -u
build=${1:-build}
settle=${2:-10}
out="$build/artefacts/e2e"
mkdir -p "$out"
port=$((43000 + RANDOM % 2000))
"$build/tools/testserver/baizeron-lobby" --port "$port" >"$out/lobby.log" &
lobby=$!
trap 'kill "$lobby" 2>/dev/null; wait "$lobby" 2>/dev/null' EXIT
start=$(date +%s.%N)
BZ_LOBBY_HOST=127.0.0.1 BZ_LOBBY_PORT=$port "$build/app/baizeron" >"$out/client.log" 2>&1 &
client=$!
sleep "$settle"

tree() {  # the client and every process below it
  local all=$1 p
  for p in $(pgrep -P "$1"); do all="$all $(tree "$p")"; done
  echo "$all"
}
pids=$(tree "$client")
ticks() { local t=0 p; for p in $pids; do t=$((t + $(awk '{print $14 + $15}' "/proc/$p/stat" 2>/dev/null || echo 0))); done; echo $t; }
before=$(ticks); sleep 5; after=$(ticks)
hz=$(getconf CLK_TCK)
rss=0
for p in $pids; do rss=$((rss + $(awk '/^Rss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0))); done
echo "processes: $(echo $pids | wc -w)"
echo "idle CPU at the login page: $(( (after - before) * 100 / hz / 5 )) % of one core"
echo "memory (RSS, client and browser): $((rss / 1024)) MiB"
import -window root "$out/login.png" 2>/dev/null && echo "screenshot: $out/login.png"
kill -TERM "$client"
wait "$client"
echo "client exit status: $?"
left=""
for _ in $(seq 50); do
  left=""
  for p in $pids; do kill -0 "$p" 2>/dev/null && left="$left $p:$(cat /proc/$p/comm 2>/dev/null)"; done
  [ -z "$left" ] && break
  sleep 0.1
done
echo "processes left behind after 5 s:${left:- none}"
echo "seconds from start to the measurement: $(echo "$(date +%s.%N) - $start" | bc)"
