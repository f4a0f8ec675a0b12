#!/usr/bin/env bash
# The whole client as a player uses it, under a virtual display (run through tools/with_display.sh):
# the local lobby and two real clients with their browsers and the built archive; alice logs in by
# X mouse clicks and typed keys on the Login page, sees the tables and takes a seat, bob watches;
# alice starts a practice frame by the page's button and its status reaches both bottom bars; a
# Space after a clicked page button sends nothing; Shift+wheel zooms from the view in place; she
# plays a shot by the mouse (the spin ball clear of the cue ball in the D), the balls move in both
# scenes, the foul reaches both bottom bars and the aim is gone at rest;
# both leave, log out and close the window; each client ends with status 0 and no process of theirs
# or of the lobby is left.
# Screenshots and the clients' logs go to BUILD_DIR/artefacts/e2e.
#   client_e2e.sh BUILD_DIR
set -u
build=$(cd "${1:?build folder}" && pwd)
here=$(dirname "$0")
. "$here/e2e_lib.sh"
e2e_need xdotool import convert compare setsid ps pgrep awk

out="$build/artefacts/e2e"
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
groups=()

cleanup() {
  local status=$? g name
  kill -- $(pgrep -P "$watchdog") "$watchdog" 2>/dev/null
  for name in "${!win[@]}"; do
    [ "$status" -ne 0 ] && e2e_shot "${win[$name]}" "$out/failed-$name.png" 2>/dev/null
    cp "$work/$name/Baizeron/Baizeron/bzlog.txt" "$out/$name-log.txt" 2>/dev/null
  done
  for g in "${groups[@]}"; do e2e_kill_group "$g"; done
  rm -rf "$work"
}
declare -A win pid
trap cleanup EXIT
trap 'echo "FAIL: stopped by the watchdog" >&2; exit 1' TERM
# The whole run stops by itself, whatever hangs.
(sleep "${BZ_E2E_LIMIT:-720}" && kill -TERM $$ 2>/dev/null) &
watchdog=$!

# Three ports in a row: another test may hold one of them, so a lobby that cannot listen tries others.
for _ in 1 2 3 4 5; do
  port=$((43000 + RANDOM % 2000))
  e2e_start "$out/lobby.log" "$build/tools/testserver/baizeron-lobby" --port "$port"
  lobby=$e2e_started
  until grep -q "New Lobby on" "$out/lobby.log" || ! kill -0 "$lobby" 2>/dev/null; do sleep 0.1; done
  grep -q "New Lobby on" "$out/lobby.log" && break
  wait "$lobby"
done
groups+=("$lobby")
e2e_wait 1 "lobby start" grep -q "New Lobby on" "$out/lobby.log"

# The pages of a client, as it last wrote them.
pages() { echo "$work/$1/pages"; }

# click NAME PAGE CONTROL [X0 Y0]: a click on a page's control (id or text), the page placed at X0,Y0
# in the window.
click() {
  local name=$1 page=$2 control=$3 x0=${4:-0} y0=${5:-0} xy
  e2e_wait 10 "control $control on $page of $name" e2e_control_shown "$(pages "$name")" "$page" "$control"
  xy=$(e2e_control "$(pages "$name")" "$page" "$control")
  e2e_click "${win[$name]}" $((x0 + ${xy% *})) $((y0 + ${xy#* }))
}

# The bottom bar lies along the window's lower edge.
click_bottom() {
  local name=$1 control=$2 size height
  size=$(e2e_window_size "${win[$name]}")
  height=$(e2e_page_size "$(pages "$name")" bottom-box-all-in-one)
  click "$name" bottom-box-all-in-one "$control" 0 $((${size#* } - ${height#* }))
}

# A client with its own preferences, log and page texts under $work/NAME, logged in by the mouse
# and the keyboard on the Login page.
log_in() {
  local name=$1 home="$work/$1" P
  P=$(pages "$name")
  mkdir -p "$P" "$home/Baizeron/Baizeron"
  echo "1 255 600 300 4194304 0" >"$home/Baizeron/Baizeron/bzlogconfig.txt"  # everything logged
  BZ_LOBBY_HOST=127.0.0.1 BZ_LOBBY_PORT=$port XDG_DATA_HOME=$home BZ_PAGE_TEXT_DIR=$P \
    e2e_start "$out/$name.out" "$build/app/baizeron"
  pid[$name]=$e2e_started
  groups+=("${pid[$name]}")
  e2e_wait 30 "window of $name" e2e_has_window "${pid[$name]}"
  win[$name]=$(e2e_window_of "${pid[$name]}")
  # The button says "Log in" once the pages have started.
  e2e_wait 60 "login page of $name" e2e_page_has "$P" main-login '^Log in$'
  sleep 0.5
  [ "$name" = alice ] && e2e_shot "${win[$name]}" "$out/login.png"
  click "$name" main-login username
  xdotool type --delay 20 "$name"
  click "$name" main-login password
  xdotool type --delay 20 snooker
  click "$name" main-login login
  e2e_wait 30 "table list of $name" e2e_page_has "$P" lobby '^Table 1$'
  # The first login asks how the player aims.
  e2e_wait 10 "aiming question of $name" e2e_page_has "$P" lobby 'Mouse or touchpad'
  click "$name" lobby Mouse
  e2e_wait 10 "end of the question of $name" e2e_page_lacks "$P" lobby 'Mouse or touchpad'
}

# Back to the Login page, then the window's close button: the client ends with status 0 and
# leaves no process behind.
log_out_and_close() {
  local name=$1 P status left
  P=$(pages "$name")
  # The lobby page still shows its tables while the client leaves the table (it then gets the
  # input only once the server has confirmed): a click that came too soon is made again, as a
  # player would.
  for _ in 1 2 3; do
    click "$name" lobby m_logout
    e2e_until 5 e2e_page_has "$P" main-login '^Log in$' && break
  done
  e2e_wait 20 "login page of $name after logging out" e2e_page_has "$P" main-login '^Log in$'
  click "$name" main-login tb_close
  e2e_wait_exit "${pid[$name]}" 20
  status=$?
  [ "$status" -eq 0 ] || e2e_fail "$name ended with status $status"
  e2e_group_gone "${pid[$name]}" 10 || e2e_fail "left behind by $name: $(e2e_group_alive "${pid[$name]}" | tr '\n' ' ')"
  echo "ok: $name logged out and closed the client: status 0, no process left"
}

log_in alice
A=$(pages alice)
e2e_wait 10 "own name in the user list" e2e_page_has "$A" lobby '^alice$'
sleep 0.5
e2e_shot "${win[alice]}" "$out/lobby.png"
echo "ok: alice logged in, the lobby lists the tables"

# Table 1: alice takes a seat; the bottom bar names the table.
click alice lobby Play
e2e_wait 20 "table of alice" e2e_page_has "$A" bottom-box-all-in-one '^TABLE 1'
echo "ok: alice sits at table 1"

# bob watches table 1.
log_in bob
B=$(pages bob)
click bob lobby Watch
e2e_wait 20 "table of bob" e2e_page_has "$B" bottom-box-all-in-one '^TABLE 1'
e2e_wait 10 "alice at bob's table" e2e_page_has "$B" bottom-box-all-in-one '^alice$'
echo "ok: bob watches table 1"

# A practice frame, started by the StartMatch page's button: the lobby's game status reaches the
# bottom bars of both (alice in both seats, the shot clock of the table).
e2e_wait 10 "start of practice offered" e2e_page_has "$A" start-match 'Practise alone'
# The page lies in the middle of the scene, above the bottom bar.
size=$(e2e_window_size "${win[alice]}")
bar=$(e2e_page_size "$A" bottom-box-all-in-one)
scene_h=$((${size#* } - ${bar#* }))
panel=$(e2e_page_size "$A" start-match)
click alice start-match b_single $(((${size% *} - ${panel% *}) / 2)) $(((scene_h - ${panel#* }) / 2))
# alice in both seats.
practising() { [ "$(grep -c '^alice$' "$1/bottom-box-all-in-one.txt")" -ge 2 ]; }
for name in alice bob; do
  e2e_wait 20 "practice status at $name" practising "$(pages "$name")"
done
e2e_wait 10 "line-up choice" e2e_page_has "$A" match-stats 'Line-up practice'
panel=$(e2e_page_size "$A" match-stats)
click alice match-stats Close $(((${size% *} - ${panel% *}) / 2)) $(((${size#* } - ${panel#* }) / 2))
# A page button clicked with the mouse keeps no keyboard focus: the game hands Space on to the page,
# which must not press the button again.
views() { grep -c 'requestName=bottomBoxViewMode' "$work/alice/Baizeron/Baizeron/bzlog.txt"; }
views_above() { [ "$(views)" -gt "$1" ]; }
n=$(views)
click_bottom alice 2D
e2e_wait 10 "the view request of the 2D button" views_above "$n"
sleep 0.5
n=$(views)
xdotool key space
sleep 0.3
xdotool key space
sleep 1
[ "$(views)" -eq "$n" ] || e2e_fail "Space pressed the 2D button again ($(views) view requests, $n before)"
echo "ok: Space after a click on a page button sends nothing"
sleep 1
e2e_shot "${win[alice]}" "$out/table.png"
e2e_shot "${win[bob]}" "$out/table-bob.png"
echo "ok: a practice frame started by the page's button, its status is in the bottom bar of both"
# The balls of the rack in the overhead view, found in the screenshot: the cue ball is the one
# white ball, its target the blue in the middle of the table.
cue=$(e2e_find "$out/table.png" "$scene_h" white 8)
blue=$(e2e_find "$out/table.png" "$scene_h" 'rgb(20,40,200)' 25)
[ -n "$cue" ] && [ -n "$blue" ] || e2e_fail "no cue ball ($cue) or blue ($blue) in table.png"
read -r cx cy <<<"$cue"
read -r bx by <<<"$blue"

# A zoom starts from the view in place: seen from straight above, the table grows about the centre
# of the view (the blue stays, the cue ball moves out along its line from the blue); then back.
wheel() {  # NOTCHES BUTTON: Shift+wheel as a player turns it, Shift held
  local i
  xdotool keydown shift
  sleep 0.2
  for ((i = 0; i < $1; i++)); do xdotool click "$2"; sleep 0.1; done
  sleep 0.2
  xdotool keyup shift
  sleep 0.5
}
e2e_front "${win[alice]}"
xdotool mousemove --window "${win[alice]}" "$bx" $((by + 60))
wheel 3 4
e2e_shot "${win[alice]}" "$out/zoom.png"
zcue=$(e2e_find "$out/zoom.png" "$scene_h" white 8)
zblue=$(e2e_find "$out/zoom.png" "$scene_h" 'rgb(20,40,200)' 25)
[ -n "$zcue" ] && [ -n "$zblue" ] || e2e_fail "no cue ball ($zcue) or blue ($zblue) in zoom.png"
read -r zcx zcy <<<"$zcue"
read -r zbx zby <<<"$zblue"
# d0, d1: the cue ball's distance from the blue before and after; the cross product of the two
# offsets is small when they point the same way.
awk -v bx="$bx" -v by="$by" -v cx="$cx" -v cy="$cy" -v zbx="$zbx" -v zby="$zby" -v zcx="$zcx" -v zcy="$zcy" 'BEGIN {
  d0 = sqrt((cx - bx) ^ 2 + (cy - by) ^ 2); d1 = sqrt((zcx - zbx) ^ 2 + (zcy - zby) ^ 2)
  cross = ((cx - bx) * (zcy - zby) - (cy - by) * (zcx - zbx)) / (d0 * d1)
  exit !((zbx - bx) ^ 2 + (zby - by) ^ 2 <= 16 && d1 >= d0 + 4 && cross < 0.05 && cross > -0.05) }' ||
  e2e_fail "the zoom did not start from the view in place: blue $bx,$by -> $zblue, cue ball $cx,$cy -> $zcue"
wheel 3 5
e2e_shot "${win[alice]}" "$out/zoom-back.png"
[ "$(e2e_find "$out/zoom-back.png" "$scene_h" white 8)" = "$cue" ] || e2e_fail "the zoom did not come back"
echo "ok: Shift+wheel zooms from the view in place and back"

# A shot by the mouse, as a player plays it: a click on the cue ball starts aiming; the pointer
# pulled straight away from the blue turns the aim onto it and sets the power; a click fixes the
# aim; a click on the spin ball beside the table plays the shot.
e2e_click "${win[alice]}" "$cx" "$cy"
sleep 0.3
# Every step is the whole way from the blue to the cue ball: however the client weighs a step by
# its speed, the drag keeps that direction.
for _ in 1 2; do xdotool mousemove_relative -- $((cx - bx)) $((cy - by)); sleep 0.1; done
sleep 0.3
xdotool click 1
sleep 0.5
e2e_shot "${win[alice]}" "$out/aim.png"
spin=$(e2e_find_patch "$out/aim.png" "$scene_h" white 50)
read -r sx sy sw sh <<<"$spin"
[ -n "$spin" ] && [ "$sw" -gt 100 ] && [ "$sh" -gt 100 ] || e2e_fail "no spin ball in aim.png ($spin)"
# The cue ball stands in the D, where a press aims again and where the pointer comes back after the
# drag: the spin ball (10 pixels around it still hit it) keeps clear of it.
awk -v sx="$sx" -v sy="$sy" -v r=$((sw / 2 + 10)) -v cx="$cx" -v cy="$cy" \
  'BEGIN { exit !((cx - sx) ^ 2 + (cy - sy) ^ 2 > (r + 10) ^ 2) }' ||
  e2e_fail "the spin ball at $sx,$sy (${sw}x$sh) lies over the cue ball at $cx,$cy"
echo "ok: aimed by the mouse from the cue ball at $cx,$cy to the blue at $bx,$by"
e2e_click "${win[alice]}" "$sx" "$sy"
# Long enough for the cue ball to reach the blue, well before the balls stop (some seconds).
sleep 1
e2e_shot "${win[alice]}" "$out/shot-moving.png"
e2e_page_lacks "$A" bottom-box-all-in-one '^Foul$' || e2e_fail "the shot was over before shot-moving.png"
e2e_shot "${win[bob]}" "$out/shot-moving-bob.png"
e2e_page_lacks "$B" bottom-box-all-in-one '^Foul$' || e2e_fail "the shot was over before shot-moving-bob.png"

# At rest the status of the shot reaches the bottom bars: the blue hit before a red is a foul worth
# 5 to the other seat (alice's too, in practice), whose turn it now is.
for name in alice bob; do
  e2e_wait 30 "foul after the shot at $name" e2e_page_has "$(pages "$name")" bottom-box-all-in-one '^5 points$'
done
# The bar reads: name, score, frames, (best of), name, [shot clock], score.
score=$(head -8 "$A/bottom-box-all-in-one.txt" | tr '\n' '|')
[[ "$score" =~ ^alice\|0\|0\ –\ 0\|\(1\)\|alice\|([0-9]+\ s\|)?5\| ]] || e2e_fail "the foul's 5 are not the second seat's score: $score"
for name in alice bob; do e2e_shot "${win[$name]}" "$out/rest-$name.png"; done
# The aim ends with the shot: no spin ball (nor cue) of the aim before it is left at rest, at alice's
# (whose own aim came back from the lobby) or at bob's.
for name in alice bob; do
  left=$(e2e_find_patch "$out/rest-$name.png" "$scene_h" white 50)
  read -r _ _ lw lh <<<"$left"
  [ -z "$left" ] || [ "$lw" -lt 100 ] || [ "$lh" -lt 100 ] || e2e_fail "the aim's spin ball is still on show at $name's ($left)"
done
echo "ok: the aim is gone after the shot at alice's and at bob's"
# The balls moved in the scene, at the places where they lay: mid-shot the cue ball has left its
# place and the blue, struck, its own, at alice's and at bob's. (At rest the blue may be back on its
# spot after a foul.)
moved() {  # BEFORE AFTER X Y WHAT
  local n
  n=$(e2e_changed "$1" "$2" "$3" "$4" 6)
  [ "${n:-0}" -ge 20 ] || e2e_fail "$5 did not move ($n pixels changed)"
}
moved "$out/table.png" "$out/shot-moving.png" "$cx" "$cy" "the cue ball at alice's"
moved "$out/table.png" "$out/shot-moving.png" "$bx" "$by" "the blue at alice's"
moved "$out/table-bob.png" "$out/shot-moving-bob.png" "$cx" "$cy" "the cue ball at bob's"
moved "$out/table-bob.png" "$out/shot-moving-bob.png" "$bx" "$by" "the blue at bob's"
echo "ok: a shot by the mouse: the cue ball struck the blue at alice's and at bob's, the foul is in both bottom bars"

for name in bob alice; do
  click_bottom "$name" b_leave
  e2e_wait 20 "lobby of $name after leaving" e2e_page_has "$(pages "$name")" lobby '^Table 1$'
  log_out_and_close "$name"
done

kill -TERM "$lobby"
e2e_wait_exit "$lobby" 10 || e2e_fail "the lobby did not end by itself"
e2e_group_gone "$lobby" 5 || e2e_fail "the lobby left processes behind"
echo "ok: all ended"
