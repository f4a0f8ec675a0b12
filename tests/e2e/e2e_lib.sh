# Helpers for driving the real client from outside under a virtual display: X input through XTEST
# (xdotool), what the pages show through the files the client writes with BZ_PAGE_TEXT_DIR, and
# screenshots of the client's window. Sourced by the end-to-end scripts; needs DISPLAY.

e2e_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Fails unless every program named is installed, naming the Debian package that brings each
# (tools/programs.list); a run without one would prove nothing.
e2e_need() {
  local list program package
  list=$(dirname "${BASH_SOURCE[0]}")/../../tools/programs.list
  for program in "$@"; do
    command -v "$program" >/dev/null && continue
    package=$(awk -v p="$program" '$1 == p { print $2; exit }' "$list")
    e2e_fail "$program is not installed: Debian package ${package:-?} brings it (bash tools/setup.sh installs it)"
  done
}

# Waits until a command succeeds: e2e_wait SECONDS WHAT COMMAND... SECONDS is what a quiet machine
# needs at most; the wait ends on the event, so its ceiling is BZ_E2E_PATIENCE (4) times that, for
# a slow, shared machine.
e2e_wait() {
  local seconds=$(($1 * ${BZ_E2E_PATIENCE:-4})) what=$2
  shift 2
  e2e_until "$seconds" "$@" || e2e_fail "no $what within $seconds s"
}

# Whether a command succeeds within SECONDS: e2e_until SECONDS COMMAND...
e2e_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" 2>/dev/null; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}

# Starts a program in a session of its own, so that it and everything it starts can be found and
# stopped together, as a child of this shell (its exit status can be waited for); the session's id
# (= the program's pid) is left in e2e_started.
e2e_start() {
  local log=$1
  shift
  setsid "$@" >"$log" 2>&1 </dev/null &
  e2e_started=$!
}

# e2e_lobby_port SLOT: a first port for a lobby (it listens on three), in a span of its own for
# each SLOT (0 to 3), below the kernel's ephemeral range: a port in that range can be taken at any
# moment by another test's connection or port-0 listener, and a lobby started late or again on
# ports a client already knows cannot move elsewhere.
e2e_lobby_port() {
  local low
  read -r low _ </proc/sys/net/ipv4/ip_local_port_range
  port=$((low - 2000 * ($1 + 1) + RANDOM % 1990))
  [ "$port" -gt 1024 ] || e2e_fail "the ephemeral ports start at $low: no room below them for a lobby"
}

# e2e_lobby_listening LOG SESSION: waits until the lobby started with that log listens on its three
# ports; one that ends before that fails the run with what it said.
e2e_lobby_listening() {
  local log=$1 lobby=$2
  e2e_until $((10 * ${BZ_E2E_PATIENCE:-4})) e2e_lobby_up "$log" "$lobby"
  grep -q "New Lobby on" "$log" || e2e_fail "the lobby does not listen: $(tr '\n' ' ' <"$log")"
}
e2e_lobby_up() { grep -q "New Lobby on" "$1" || ! kill -0 "$2" 2>/dev/null; }

# Starts the local lobby on three free ports in a row in SLOT's span, logging to LOG:
# e2e_start_lobby LOG SLOT [OPTION...]. Another test may hold a port, so a lobby that cannot listen
# tries others. Leaves the lobby's session in e2e_started and its first port in port.
e2e_start_lobby() {
  local log=$1 slot=$2 lobby
  shift 2
  for _ in 1 2 3 4 5; do
    e2e_lobby_port "$slot"
    e2e_start "$log" "$build/tools/testserver/baizeron-lobby" --port "$port" "$@"
    lobby=$e2e_started
    until e2e_lobby_up "$log" "$lobby"; do sleep 0.1; done
    grep -q "New Lobby on" "$log" && return 0
    wait "$lobby"
  done
  e2e_fail "no lobby started (log: $log)"
}

# The live processes of a session started by e2e_start (an ended one that nobody has reaped yet
# does not count).
e2e_group_alive() { ps -o pid=,stat=,comm= --sid "$1" 2>/dev/null | awk '$2 !~ /^Z/'; }

# Every process of a group is gone, within SECONDS.
e2e_group_gone() {
  local group=$1 seconds=${2:-5} deadline
  deadline=$((SECONDS + seconds))
  while [ -n "$(e2e_group_alive "$group")" ]; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

e2e_kill_group() {
  local group=$1
  kill -TERM -- "-$group" 2>/dev/null || return 0
  e2e_group_gone "$group" 3 || kill -KILL -- "-$group" 2>/dev/null
}

# Waits up to SECONDS for a child started by e2e_start to end; its exit status, 124 when it did not.
e2e_wait_exit() {
  local pid=$1 seconds=$2 deadline
  deadline=$((SECONDS + seconds))
  while kill -0 "$pid" 2>/dev/null && [ "$(ps -o stat= -p "$pid" | cut -c1)" != Z ]; do
    [ "$SECONDS" -ge "$deadline" ] && return 124
    sleep 0.1
  done
  wait "$pid"
}

# The client's window: a top-level window named like the program, once it is mapped.
e2e_window_of() {
  local pid=$1
  xdotool search --all --onlyvisible --pid "$pid" --name '^Baizeron$' 2>/dev/null | head -n 1
}

# The page's text holds a pattern (grep -E): e2e_page_has DIR PAGE PATTERN
e2e_page_has() { grep -Eq -- "$3" "$1/$2.txt"; }

# The centre of a page's visible control in page pixels, by id or by its text: "X Y".
e2e_control() {
  local dir=$1 page=$2 key=$3
  awk -v k="$key" '{ t = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ ?/, "", t) } $3 == k || t == k { print $1, $2; exit }' \
    "$dir/$page.controls" 2>/dev/null
}

# The first login's two questions in the Lobby page DIR, how the player aims and whether to take the
# tutorial, answered "Mouse" and "Not now" by CLICK (a command, given the answer's text). The one that
# came later lies over the other and comes later among the page's controls: it is answered first.
#   e2e_answer_first_questions DIR CLICK
e2e_answer_first_questions() {
  local dir=$1 click=$2 top
  e2e_wait 10 "the aiming question" e2e_page_has "$dir" lobby 'Mouse or touchpad'
  e2e_wait 10 "the tutorial's suggestion" e2e_page_has "$dir" lobby 'New to Baizeron'
  for _ in 1 2; do
    top=$(awk '{ t = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ ?/, "", t) } NR > 1 && (t == "Mouse" || t == "Not now") { top = t }
               END { print top }' "$dir/lobby.controls" 2>/dev/null)
    case $top in
      Mouse)
        $click Mouse
        e2e_wait 10 "the end of the aiming question" e2e_page_lacks "$dir" lobby 'Mouse or touchpad' ;;
      'Not now')
        $click 'Not now'
        e2e_wait 10 "the end of the tutorial's suggestion" e2e_page_lacks "$dir" lobby 'New to Baizeron' ;;
    esac
  done
}

# With no window manager, windows overlap where they open: the one wanted goes on top and gets the
# keyboard, and a frame or two redraws what was hidden.
e2e_front() {
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return
  xdotool windowraise "$1" windowfocus --sync "$1" 2>/dev/null
  sleep 0.3
}

e2e_click() {  # WINDOW X Y: a left click at window pixels
  e2e_front "$1"
  xdotool mousemove --window "$1" "$2" "$3" sleep 0.1 click 1
}

e2e_shot() {  # WINDOW FILE
  e2e_front "$1"
  import -window "$1" "$2" 2>/dev/null || e2e_fail "no screenshot $2"
}

e2e_has_window() { [ -n "$(e2e_window_of "$1")" ]; }

# A page's size in pixels: "W H".
e2e_page_size() { awk '$3 == "#viewport" { print $1, $2; exit }' "$1/$2.controls" 2>/dev/null; }

e2e_control_shown() { [ -n "$(e2e_control "$1" "$2" "$3")" ]; }

# The window's size: "W H".
e2e_window_size() { xdotool getwindowgeometry --shell "$1" | awk -F= '$1 == "WIDTH" { w = $2 } $1 == "HEIGHT" { h = $2 } END { print w, h }'; }

e2e_page_lacks() { ! grep -Eq -- "$3" "$1/$2.txt"; }

# Finding things in a screenshot (ImageMagick). The centre "X Y" of the pixels within FUZZ percent
# of a colour, inside the top HEIGHT rows: e2e_find FILE HEIGHT COLOUR FUZZ
e2e_find() {
  convert "$1" -crop "x$2+0+0" +repage -fuzz "$4%" -fill black +opaque "$3" -format '%@' info: 2>/dev/null |
    awk -F'[x+]' '$1 > 0 && $1 < 40 && $2 < 40 { printf "%d %d\n", $3 + $1 / 2, $4 + $2 / 2 }'
}

# The centre "X Y" of a ball of COLOUR inside the top HEIGHT rows: the largest ball-sized patch
# within FUZZ percent of the colour, so that the small letters of a label of that colour over the
# table do not count (a notice's bold text would: wait until it has gone): e2e_find_ball FILE HEIGHT
# COLOUR FUZZ
e2e_find_ball() {
  convert "$1" -crop "x$2+0+0" +repage -fuzz "$4%" -fill black +opaque "$3" -fill white -opaque "$3" \
    -define connected-components:verbose=true -connected-components 8 null: 2>/dev/null |
    awk '$NF == "srgb(255,255,255)" { split($2, b, /[x+]/); if (b[1] < 24 && b[2] < 24 && $4 > best) { best = $4; c = $3 } }
         END { if (c != "") { split(c, xy, ","); printf "%d %d\n", xy[1] + 0.5, xy[2] + 0.5 } }'
}

# The centre "X Y" of the largest patch near COLOUR inside the top HEIGHT rows, and its size "W H":
# e2e_find_patch FILE HEIGHT COLOUR FUZZ
e2e_find_patch() {
  convert "$1" -crop "x$2+0+0" +repage -fuzz "$4%" -fill black +opaque "$3" -fill white -opaque "$3" \
    -define connected-components:verbose=true -define connected-components:area-threshold=50 \
    -connected-components 8 null: 2>/dev/null |
    awk '$NF == "srgb(255,255,255)" && $4 > best { best = $4; box = $2 }
         END { if (box != "") { split(box, b, /[x+]/); printf "%d %d %d %d\n", b[3] + b[1] / 2, b[4] + b[2] / 2, b[1], b[2] } }'
}

# How many pixels differ (by more than 10 %) between two screenshots in the square of half side R
# around X,Y: e2e_changed A B X Y R
e2e_changed() {
  local box="$(($5 * 2))x$(($5 * 2))+$(($3 - $5))+$(($4 - $5))" dir
  dir=$(mktemp -d)
  convert "$1" -crop "$box" +repage "$dir/a.png" && convert "$2" -crop "$box" +repage "$dir/b.png" &&
    compare -metric AE -fuzz 10% "$dir/a.png" "$dir/b.png" null: 2>&1 | awk '{ print int($1) }'
  rm -rf "$dir"
}
