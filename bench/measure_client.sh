#!/usr/bin/env bash
# Figures of the real client against the local lobby on a virtual display, driven by X input:
# start to the Login page, login to the lobby page, idle CPU in the lobby and at a table, memory of
# the client with its browser processes, frames per second at the table, a page statement to
# pixels (the overlay benchmark), and the machine they came from.
#   bash tools/with_display.sh bash bench/measure_client.sh [BUILD_DIR] [SECONDS_PER_SAMPLE] [IDLE_SECONDS] [FPS_TARGETS]
# FPS_TARGETS (say "30 240"): after the lobby's idle figure, each target in turn is set with the
# chat's /fps command and the lobby's idle CPU and logged frame rates are taken again at it.
# Each idle figure is taken after IDLE_SECONDS (default 60) without input, and comes with the
# machine's load average at its end: on a shared machine the figures are only as quiet as it is.
# Two runs: the first with the page texts (BZ_PAGE_TEXT_DIR) times the pages and learns where the
# controls are; the second, without that reading, measures CPU, memory and frames, clicking where
# the first run found the controls (the layout at 1024x647 is the same in both).
set -u
build=$(cd "${1:-build}" && pwd)
sample=${2:-10}
idle=${3:-60}
fps_targets=${4:-}
. "$(dirname "$0")/../tests/e2e/e2e_lib.sh"
out="$build/artefacts/measure"
mkdir -p "$out"
work=$(mktemp -d)
group=""
lobby=""
cleanup() {
  [ -n "$group" ] && e2e_kill_group "$group"
  [ -n "$lobby" ] && e2e_kill_group "$lobby"
  rm -rf "$work"
}
trap cleanup EXIT

e2e_lobby_port 3
e2e_start "$out/lobby.log" "$build/tools/testserver/baizeron-lobby" --port "$port"
lobby=$e2e_started
e2e_lobby_listening "$out/lobby.log" "$lobby"

now() { date +%s.%N; }
since() { echo "$(now) - $1" | bc; }

# start RUN [page text folder]: a client under $work/RUN, logging at the informational level (the
# frame rate lines), in the session $group.
start() {
  local home="$work/$1"
  mkdir -p "$home/Baizeron/Baizeron"
  echo "1 10 3600 300 4194304 0" >"$home/Baizeron/Baizeron/bzlogconfig.txt"
  BZ_LOBBY_HOST=127.0.0.1 BZ_LOBBY_PORT=$port XDG_DATA_HOME=$home BZ_PAGE_TEXT_DIR=${2:-} \
    e2e_start "$out/$1.out" "$build/app/baizeron"
  group=$e2e_started
  e2e_wait 30 "window" e2e_has_window "$group"
  win=$(e2e_window_of "$group")
}

stop() {
  kill -TERM "$group"
  e2e_wait_exit "$group" 20
  echo "client exit status after SIGTERM: $?"
  e2e_group_gone "$group" 10 && echo "processes left behind: none" || echo "processes left behind: $(e2e_group_alive "$group" | tr '\n' ' ')"
  group=""
}

# The session's processes: CPU ticks, and memory as proportional (PSS, shared pages split),
# private (USS, pages no other process maps: what ending the session gives back) and resident (RSS,
# shared pages counted in each process) sizes. PSS and USS move with the other programs on the
# machine that map the same library and browser files (tens of MiB on a shared machine); the
# anonymous part of PSS (the heaps, the GL driver's buffers, the browser's own) does not.
procs() { ps -o pid= --sid "$group" | tr -d ' '; }
ticks() { local t=0 p; for p in $(procs); do t=$((t + $(awk '{print $14 + $15}' "/proc/$p/stat" 2>/dev/null || echo 0))); done; echo $t; }
memory() {
  local p pss=0 anon=0 ownAnon=0 uss=0 rss=0 own=0 n=0
  for p in $(procs); do
    pss=$((pss + $(awk '/^Pss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)))
    anon=$((anon + $(awk '/^Pss_Anon:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)))
    uss=$((uss + $(awk '/^Private_(Clean|Dirty):/ {s += $2} END {print s + 0}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)))
    rss=$((rss + $(awk '/^Rss:/ {print $2}' "/proc/$p/smaps_rollup" 2>/dev/null || echo 0)))
    n=$((n + 1))
  done
  own=$(awk '/^Private_(Clean|Dirty):/ {s += $2} END {print s + 0}' "/proc/$group/smaps_rollup" 2>/dev/null || echo 0)
  ownAnon=$(awk '/^Pss_Anon:/ {print $2}' "/proc/$group/smaps_rollup" 2>/dev/null || echo 0)
  echo "$n processes, PSS $((pss / 1024)) MiB (anonymous $((anon / 1024)) MiB, the client's own $((ownAnon / 1024)) MiB), USS $((uss / 1024)) MiB (the client's own $((own / 1024)) MiB), RSS $((rss / 1024)) MiB" \
    "(load average $(cut -d' ' -f1-3 /proc/loadavg))"
}
ticks_of() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }
idle_cpu() {
  local before after own_before own_after hz
  hz=$(getconf CLK_TCK)
  before=$(ticks); own_before=$(ticks_of "$group")
  sleep "$sample"
  after=$(ticks); own_after=$(ticks_of "$group")
  echo "$(( (after - before) * 100 / hz / sample )) % of one core" \
    "(the client's own process $(( (own_after - own_before) * 100 / hz / sample )) %; load average $(cut -d' ' -f1-3 /proc/loadavg))"
}
# The frame rates the client logged (every 3 s) since a line number of its log.
fps_since() { awk -v from="$2" 'NR > from && /main: FPS:/ { printf "%s%.0f", sep, $NF; sep = " " } END { print "" }' "$1"; }

echo "machine: $(nproc) cores, $(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo), $(free -g | awk '/Mem:/ {print $2}') GiB," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg), software GL (Mesa llvmpipe) under Xvfb"

# Run 1: timings, and where the controls are.
P="$work/pages"
mkdir -p "$P"
t0=$(now)
start timed "$P"
e2e_wait 60 "login page" e2e_page_has "$P" main-login '^Log in$'
echo "start to login page (button ready): $(since "$t0") s"
declare -A at
for c in username password login; do at[$c]=$(e2e_control "$P" main-login "$c"); done
e2e_click "$win" ${at[username]}; xdotool type --delay 20 alice
e2e_click "$win" ${at[password]}; xdotool type --delay 20 snooker
t1=$(now)
e2e_click "$win" ${at[login]}
e2e_wait 30 "table list" e2e_page_has "$P" lobby '^Table 1$'
echo "login click to lobby page with the tables: $(since "$t1") s"
# The first login's two questions (how the player aims, whether to take the tutorial) lie on top of
# each other in either order. "Not now", "Mouse", "Not now" answers both whichever lies on top: a
# click at "Not now" on the aiming question hits no button, nor does it on the lobby.
e2e_wait 10 "the tutorial's suggestion" e2e_control_shown "$P" lobby 'Not now'
at[not_now]=$(e2e_control "$P" lobby 'Not now')
at[mouse]=$(e2e_control "$P" lobby Mouse)
at[play]=$(e2e_control "$P" lobby Play)
at[chat]=$(e2e_control "$P" lobby chat_text_input_id)
stop

# Run 2: the same road without the page texts, as another new user.
start plain
log="$work/plain/Baizeron/Baizeron/bzlog.txt"
# The pages start and the models load (on a busy machine this takes far longer than run 1 did).
e2e_wait 60 "the login form" grep -q "Calling loadingDone" "$log"
sleep 2
e2e_click "$win" ${at[username]}; xdotool type --delay 20 carol
e2e_click "$win" ${at[password]}; xdotool type --delay 20 snooker
e2e_click "$win" ${at[login]}
e2e_wait 30 "the lobby" grep -q "changeState: [0-9]->3" "$log"
sleep 3
for answer in not_now mouse not_now; do e2e_click "$win" ${at[$answer]}; sleep 1; done
sleep 5
e2e_shot "$win" "$out/lobby.png"
sleep "$idle"
echo "idle CPU in the lobby (client and browser, ${sample} s): $(idle_cpu)"
echo "memory in the lobby: $(memory)"
for fps in $fps_targets; do
  e2e_click "$win" ${at[chat]}
  xdotool type --delay 20 "/fps $fps"
  xdotool key Return
  sleep "$idle"
  from=$(wc -l <"$log")
  echo "idle CPU in the lobby at /fps $fps (client and browser, ${sample} s): $(idle_cpu)"
  echo "frames per second in the lobby at /fps $fps (every 3 s): $(fps_since "$log" "$from")"
done
[ -n "$fps_targets" ] && echo "swap interval: $(grep -o 'SDL_GL_SetSwapInterval([-0-9]*)' "$log" | tail -1)"
e2e_click "$win" ${at[play]}
sleep 5
e2e_shot "$win" "$out/table.png"
sleep "$idle"
from=$(wc -l <"$log")
echo "idle CPU at the table (client and browser, ${sample} s): $(idle_cpu)"
echo "frames per second at the table ($(e2e_window_size "$win" | tr ' ' x), every 3 s): $(fps_since "$log" "$from")" \
  "(load average $(cut -d' ' -f1-3 /proc/loadavg))"
grep -q "The swap does not pace the frames" "$log" && echo "the swap did not pace the frames: the client paced them"
echo "memory at the table: $(memory)"
stop

# A page statement until its pixels are on the window, from the overlay benchmark (same display):
# pumped as fast as possible, and through the client's frame loop at 30 frames a second.
if [ -x "$build/bench/bench_html_overlay_bench" ]; then
  "$build/bench/bench_html_overlay_bench" --benchmark_filter=StatementToPixels 2>/dev/null |
    awk '/BM_StatementToPixels/ { s = ""; for (i = 1; i <= NF; i++) if ($i ~ /_(ms|pct)=/) s = s " " $i
                                  print "page statement to pixels" ($1 ~ /ThroughLoop/ ? " through the frame loop at 30 fps:" : ", pumped every 200 us:") s }'
  echo "(load average $(cut -d' ' -f1-3 /proc/loadavg))"
fi
