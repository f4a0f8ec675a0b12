#!/usr/bin/env bash
# The whole client as a player uses it, under a virtual display (run through tools/with_display.sh):
# the local lobby and two real clients with their browsers and the built archive; alice logs in by
# X mouse clicks and typed keys on the Login page, sees the tables and takes a seat, bob watches;
# the lobby stops under both, who are back at the login form, starts again on its ports, and both
# log in again from the form and go back to the table, where all that follows is played;
# alice starts a practice frame by the page's button and its status reaches both bottom bars; a
# Space after a clicked page button sends nothing; Shift+wheel zooms from the view in place; she
# plays a shot by the mouse (the spin ball clear of the cue ball in the D), the balls move in both
# scenes, the foul reaches both bottom bars and the aim is gone at rest;
# she concedes and the frame ends in both clients, the notice naming her; the next frame starts at
# 0-0 with a line-up chosen in its window, two strokes are played in it by the mouse and Abort ends
# it; both leave and the table list is whole; alice leaves another practice while her stroke rolls,
# and at the next table her first stroke is played and rests at the same place in both clients;
# alice finds the conceded frame among the replays and watches it; both sit at a table for a match
# and start it after the coin toss, on a rack of three reds; the breaker's foul reaches both, the
# other answers it with "They play again" and the breaker plays again; the other concedes and the
# match goes to the breaker in both clients; the next match starts at 0-0;
# SIGTERM ends bob's client in the frame, which goes to alice; alone, alice practises a line-up that
# a rerack keeps, pots the cue ball in-off and places it in the D by the mouse; in the lobby she buys
# a cue and plays with it, plays a tutorial topic to its result and goes on from a replay of hers
# by "Practise this"; back in the tutorial the bar lists the topics by name, and the chosen topic's
# exercise runs as the bar says so, with a lesson that teaches the client's controls; alice logs out
# and closes the window; each client ends with status 0 and no process of theirs or of the lobby is
# left.
# With "no-lobby", only a client started while no lobby answers, which then logs in once one does:
# it needs a display and a lobby of its own, so it runs beside the rest.
# Screenshots and the clients' logs go to BUILD_DIR/artefacts/e2e (e2e-no-lobby).
#   client_e2e.sh BUILD_DIR [no-lobby]
set -u
build=$(cd "${1:?build folder}" && pwd)
mode=${2:-}
here=$(dirname "$0")
. "$here/e2e_lib.sh"
. "$here/e2e_lobby_steps.sh"
. "$here/e2e_people_steps.sh"
. "$here/e2e_tutorial_steps.sh"
e2e_need xdotool import convert compare setsid ps pgrep awk

out="$build/artefacts/e2e${mode:+-$mode}"
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
(sleep "${BZ_E2E_LIMIT:-860}" && kill -TERM $$ 2>/dev/null) &
watchdog=$!

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

# The centre of the last visible control with the id PREFIX or whose text begins with PREFIX: a
# question's button comes after the bar's button of the same name. control_last DIR PAGE PREFIX
control_last() {
  awk -v k="$3" '{ t = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ ?/, "", t) } NR > 1 && ($3 == k || index(t, k) == 1) { xy = $1 " " $2 }
                 END { if (xy != "") print xy }' "$1/$2.controls" 2>/dev/null
}
has_control_last() { [ -n "$(control_last "$@")" ]; }

# A click on the bottom bar's last control that begins with PREFIX; the bar shows its top HEIGHT
# rows (all of it by default; 229 during a replay): click_bottom_last NAME PREFIX [HEIGHT]
click_bottom_last() {
  local name=$1 prefix=$2 size height xy
  e2e_wait 10 "control $prefix in the bar of $name" has_control_last "$(pages "$name")" bottom-box-all-in-one "$prefix"
  size=$(e2e_window_size "${win[$name]}")
  height=$(e2e_page_size "$(pages "$name")" bottom-box-all-in-one)
  height=${3:-${height#* }}
  xy=$(control_last "$(pages "$name")" bottom-box-all-in-one "$prefix")
  e2e_click "${win[$name]}" "${xy% *}" $((${xy#* } + ${size#* } - height))
}

# A click on a control (whose text begins with PREFIX) of a panel in the middle of the window:
# click_panel NAME PAGE PREFIX
click_panel() {
  local name=$1 page=$2 prefix=$3 size panel xy
  e2e_wait 10 "control $prefix on $page of $name" has_control_last "$(pages "$name")" "$page" "$prefix"
  size=$(e2e_window_size "${win[$name]}")
  panel=$(e2e_page_size "$(pages "$name")" "$page")
  xy=$(control_last "$(pages "$name")" "$page" "$prefix")
  e2e_click "${win[$name]}" $(((${size% *} - ${panel% *}) / 2 + ${xy% *})) $(((${size#* } - ${panel#* }) / 2 + ${xy#* }))
}

# The last game status a client applied, as its log holds it, has a text: last_status NAME TEXT
last_status() {
  grep -a 'inbzUpdateGameStatus' "$work/$1/Baizeron/Baizeron/bzlog.txt" 2>/dev/null | tail -n 1 | grep -q -- "$2"
}
# The client's log holds a text: logged NAME TEXT
logged() { grep -aqF -- "$2" "$work/$1/Baizeron/Baizeron/bzlog.txt" 2>/dev/null; }
# How many lines of the client's log hold a text, and whether more than N do: logged_count NAME TEXT,
# more_logged NAME TEXT N
logged_count() { grep -acF -- "$2" "$work/$1/Baizeron/Baizeron/bzlog.txt" 2>/dev/null; }
more_logged() { [ "$(logged_count "$1" "$2")" -gt "$3" ]; }
# How many game statuses a client has applied.
statuses() { grep -ac 'inbzUpdateGameStatus' "$work/$1/Baizeron/Baizeron/bzlog.txt" 2>/dev/null; }
more_statuses() { [ "$(statuses "$1")" -gt "$2" ]; }
# The client's last change of state went to STATE (4 the table, 6 a frame in play): in_state NAME STATE
in_state() { grep -a 'changeState' "$work/$1/Baizeron/Baizeron/bzlog.txt" 2>/dev/null | tail -n 1 | grep -q -- "->$2\$"; }

# No notice over the table: the top bar shows the ball on (and the break) alone.
notice_gone() { ! grep -qvE '^(BALL ON|Red|Yellow|Green|Brown|Blue|Pink|Black|Any colour|[0-9 ×:.]*)$' "$1/top-box.txt"; }

# NAME aims from the cue ball found in the screenshot BEFORE towards the point TX,TY: a click on the
# cue ball, the pointer pulled straight away from the point (see below), a click that fixes the aim.
# Leaves the cue ball's centre in cx cy and the spin ball's centre and size in sx sy sw sh:
# aim_towards BEFORE TAG NAME TX TY
aim_towards() {
  local before=$1 tag=$2 name=$3 tx=$4 ty=$5 cue spin
  cue=$(e2e_find_ball "$before" "$scene_h" white 8)
  [ -n "$cue" ] || e2e_fail "no cue ball in $before"
  read -r cx cy <<<"$cue"
  e2e_click "${win[$name]}" "$cx" "$cy"
  sleep 0.3
  for _ in 1 2; do xdotool mousemove_relative -- $((cx - tx)) $((cy - ty)); sleep 0.1; done
  sleep 0.3
  xdotool click 1
  sleep 0.5
  e2e_shot "${win[$name]}" "$out/aim$tag.png"
  spin=$(e2e_find_patch "$out/aim$tag.png" "$scene_h" white 50)
  read -r sx sy sw sh <<<"$spin"
  [ -n "$spin" ] && [ "$sw" -gt 100 ] && [ "$sh" -gt 100 ] || e2e_fail "no spin ball in aim$tag.png ($spin)"
}

# The same aim, played by a click on the spin ball: shoot_towards BEFORE TAG NAME TX TY
shoot_towards() {
  aim_towards "$@"
  echo "ok: $3 aimed by the mouse from the cue ball at $cx,$cy towards $4,$5"
  e2e_click "${win[$3]}" "$sx" "$sy"
}

# A shot by the mouse at the blue from the cue ball, both found in the screenshot BEFORE (see below).
shoot_at_blue() {  # BEFORE TAG [NAME]: NAME (alice by default) plays it
  local before=$1 tag=$2 name=${3:-alice} blue
  blue=$(e2e_find_ball "$before" "$scene_h" 'rgb(20,40,200)' 25)
  [ -n "$blue" ] || e2e_fail "no blue in $before"
  read -r bx by <<<"$blue"
  aim_towards "$before" "$tag" "$name" "$bx" "$by"
  # The cue ball stands in the D, where a press aims again and where the pointer comes back after
  # the drag: the spin ball (10 pixels around it still hit it) keeps clear of it.
  awk -v sx="$sx" -v sy="$sy" -v r=$((sw / 2 + 10)) -v cx="$cx" -v cy="$cy" \
    'BEGIN { exit !((cx - sx) ^ 2 + (cy - sy) ^ 2 > (r + 10) ^ 2) }' ||
    e2e_fail "the spin ball at $sx,$sy (${sw}x$sh) lies over the cue ball at $cx,$cy"
  echo "ok: $name aimed by the mouse from the cue ball at $cx,$cy to the blue at $bx,$by"
  e2e_click "${win[$name]}" "$sx" "$sy"
}

# NAME logs in on the Login page by the mouse and the keyboard, sees the tables and answers the
# questions of the first login.
fill_in_login() {
  local name=$1 P
  P=$(pages "$name")
  click "$name" main-login username
  xdotool type --delay 20 "$name"
  click "$name" main-login password
  xdotool type --delay 20 snooker
  click "$name" main-login login
  e2e_wait 30 "table list of $name" e2e_page_has "$P" lobby '^Table 1$'
  e2e_answer_first_questions "$P" "click $name lobby"
}

# NAME logs in again from the form as it stands, as a player would: "Log in" is pressed once the list
# shows the lounge, and pressed again when the answer is "try again" (from the page, whose list had
# emptied, or from the client, whose poll had not found the lounge back yet) or the form is back
# after a connect that failed, until the lobby takes the login. The client's answers are read in its
# log, as the pages are read only every half second.
login_ready() {
  e2e_page_has "$1" main-login '^Players Lounge$' && e2e_page_has "$1" main-login '^Log in$' &&
    e2e_page_lacks "$1" main-login 'try again'
}
login_answered() {  # NAME PRESSES TRIES: the page refused the press, or the client answered it
  e2e_page_has "$(pages "$1")" main-login 'try again' ||
    { more_logged "$1" "loginEnterLobby: Players Lounge $1 " "$2" &&
      { more_logged "$1" 'is not among the lobbies that answer' "$3" || in_state "$1" '[23]'; }; }
}
log_in_again() {
  local name=$1 P presses tries deadline limit
  P=$(pages "$name")
  limit=$((30 * ${BZ_E2E_PATIENCE:-4}))
  deadline=$((SECONDS + limit))
  until in_state "$name" 3; do
    [ "$SECONDS" -lt "$deadline" ] || e2e_fail "no the lobby of $name again within $limit s"
    e2e_wait 30 "the lobby in the list of $name again" login_ready "$P"
    presses=$(logged_count "$name" "loginEnterLobby: Players Lounge $name ")
    tries=$(logged_count "$name" 'is not among the lobbies that answer')
    click "$name" main-login login
    # A refusal the page showed for less than half a second is not seen: the next press follows.
    e2e_until $((10 * ${BZ_E2E_PATIENCE:-4})) login_answered "$name" "$presses" "$tries" || continue
    e2e_wait 30 "the end of the login of $name" in_state "$name" '[13]'
  done
}

# A client with its own preferences, log and page texts under $work/NAME, logged in by the mouse
# and the keyboard on the Login page.
# Starts NAME's client against the lobby at $port, in a home of its own, and waits for its window.
start_client() {
  local name=$1 home="$work/$1" P
  P=$(pages "$name")
  mkdir -p "$P" "$home/Baizeron/Baizeron"
  # Everything logged, in whole lines (a game status is over a thousand characters), for as long
  # as the run lasts: a loaded machine can keep a client past any fixed duration.
  echo "1 255 0 4000 33554432 0" >"$home/Baizeron/Baizeron/bzlogconfig.txt"
  BZ_LOBBY_HOST=127.0.0.1 BZ_LOBBY_PORT=$port XDG_DATA_HOME=$home BZ_PAGE_TEXT_DIR=$P \
    e2e_start "$out/$name.out" "$build/app/baizeron"
  pid[$name]=$e2e_started
  groups+=("${pid[$name]}")
  e2e_wait 30 "window of $name" e2e_has_window "${pid[$name]}"
  win[$name]=$(e2e_window_of "${pid[$name]}")
}

log_in() {
  local name=$1 P
  P=$(pages "$name")
  start_client "$name"
  # The button says "Log in" once the pages have started.
  e2e_wait 60 "login page of $name" e2e_page_has "$P" main-login '^Log in$'
  sleep 0.5
  [ "$name" = alice ] && e2e_shot "${win[$name]}" "$out/login.png"
  fill_in_login "$name"
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

# A client started while no lobby answers: its login form names the addresses it tried and how to
# start the local lobby; once that lobby runs on them, the list comes back and a login goes through.
no_lobby_then_login() {
  local name=carol P late
  P=$(pages "$name")
  e2e_lobby_port 2
  start_client "$name"
  e2e_wait 60 "the no-lobby notice of $name" e2e_page_has "$P" main-login '^No lobby answers$'
  e2e_page_has "$P" main-login "127\.0\.0\.1:$port" || e2e_fail "the notice does not name 127.0.0.1:$port: $(tr '\n' ' ' <"$P/main-login.txt")"
  e2e_page_has "$P" main-login 'baizeron-lobby' || e2e_fail "the notice does not say how to start the local lobby"
  sleep 0.5
  e2e_shot "${win[$name]}" "$out/login-no-lobby.png"
  echo "ok: with no lobby the login form names 127.0.0.1:$port and the lobby's command"
  e2e_start "$out/lobby-late.log" "$build/tools/testserver/baizeron-lobby" --port "$port"
  late=$e2e_started
  groups+=("$late")
  e2e_lobby_listening "$out/lobby-late.log" "$late"
  e2e_wait 30 "the lobby list of $name" e2e_page_has "$P" main-login '^Players Lounge$'
  e2e_page_lacks "$P" main-login '^No lobby answers$' || e2e_fail "the notice stays beside the list"
  e2e_shot "${win[$name]}" "$out/login-lobby-back.png"
  e2e_wait 60 "login page of $name" e2e_page_has "$P" main-login '^Log in$'
  fill_in_login "$name"
  echo "ok: the list came back once the lobby answered, and $name logged in"
  log_out_and_close "$name"
  kill -TERM "$late"
  e2e_wait_exit "$late" 10 || e2e_fail "the late lobby did not end by itself"
}

if [ "$mode" = no-lobby ]; then
  no_lobby_then_login
  exit 0
fi

e2e_start_lobby "$out/lobby.log" 1 --reds 3
lobby=$e2e_started
groups+=("$lobby")

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

# The lobby stops under both at table 1: each client is back at the login form, its button usable.
# The lobby starts again on the same ports; both log in again from the form as it stands (name and
# password kept) and go back to table 1, where the frame below is played.
kill -TERM "$lobby"
e2e_wait_exit "$lobby" 10 || e2e_fail "the lobby did not end by itself"
for name in alice bob; do
  e2e_wait 10 "the login form of $name after the lobby stopped" in_state "$name" 1
  e2e_wait 10 "a usable login button at $name's" e2e_page_has "$(pages "$name")" main-login '^Log in$'
done
sleep 0.5
for name in alice bob; do e2e_shot "${win[$name]}" "$out/lobby-lost-$name.png"; done
echo "ok: the lobby stopped: both clients are back at the login form, ready"
e2e_start "$out/lobby-again.log" "$build/tools/testserver/baizeron-lobby" --port "$port" --reds 3
lobby=$e2e_started
groups+=("$lobby")
e2e_lobby_listening "$out/lobby-again.log" "$lobby"
for name in alice bob; do
  P=$(pages "$name")
  log_in_again "$name"
  # Each login suggests the tutorial; the aiming question was the run's first login's alone.
  e2e_wait 10 "the tutorial's suggestion to $name" e2e_page_has "$P" lobby 'New to Baizeron'
  click "$name" lobby 'Not now'
  e2e_wait 10 "the end of the tutorial's suggestion to $name" e2e_page_lacks "$P" lobby 'New to Baizeron'
done
click alice lobby Play
e2e_wait 20 "table of alice again" e2e_page_has "$A" bottom-box-all-in-one '^TABLE 1'
click bob lobby Watch
e2e_wait 20 "table of bob again" e2e_page_has "$B" bottom-box-all-in-one '^TABLE 1'
e2e_wait 10 "alice at bob's table again" e2e_page_has "$B" bottom-box-all-in-one '^alice$'
echo "ok: the lobby started again on its ports, both logged in again and are back at table 1"

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
# Right after the line-up panel closes a click can be lost under load; Table twice is still Table.
for _ in 1 2 3; do
  click_bottom alice Table
  e2e_until 5 views_above "$n" && break
done
e2e_wait 10 "the view request of the Table button" views_above "$n"
sleep 1
n=$(views)
xdotool key space
sleep 0.3
xdotool key space
sleep 1
[ "$(views)" -eq "$n" ] || e2e_fail "Space pressed the Table button again ($(views) view requests, $n before)"
echo "ok: Space after a click on a page button sends nothing"
sleep 1
e2e_shot "${win[alice]}" "$out/table.png"
e2e_shot "${win[bob]}" "$out/table-bob.png"
echo "ok: a practice frame started by the page's button, its status is in the bottom bar of both"
# The balls of the rack in the overhead view, found in the screenshot: the cue ball is the one
# white ball (the top bar's white "Red", the ball on since the start of play, is no ball), its
# target the blue in the middle of the table.
cue=$(e2e_find_ball "$out/table.png" "$scene_h" white 8)
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
zcue=$(e2e_find_ball "$out/zoom.png" "$scene_h" white 8)
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
[ "$(e2e_find_ball "$out/zoom-back.png" "$scene_h" white 8)" = "$cue" ] || e2e_fail "the zoom did not come back"
echo "ok: Shift+wheel zooms from the view in place and back"

# A shot by the mouse, as a player plays it, at the balls of the rack in the overhead view found in
# the screenshot: the cue ball is the one white ball, its target the blue in the middle of the table.
# A click on the cue ball starts aiming; the pointer pulled straight away from the blue turns the
# aim onto it and sets the power (every step is the whole way from the blue to the cue ball: however
# the client weighs a step by its speed, the drag keeps that direction); a click fixes the aim; a
# click on the spin ball beside the table plays the shot.
shoot_at_blue "$out/table.png" ""
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

# The concede: alice concedes by the bar's button and answers its question; the frame ends in both
# clients, won by the other seat (alice's too, in practice).
click_bottom alice b_concede
e2e_wait 10 "the concede question" e2e_page_has "$A" bottom-box-all-in-one 'Concede this frame\?'
click_bottom_last alice Concede
for name in alice bob; do
  e2e_wait 20 "end of the conceded frame at $name" last_status "$name" 'gameState: 0,frameWonBy: 1,'
  e2e_wait 10 "the frame in the bar of $name" e2e_page_has "$(pages "$name")" bottom-box-all-in-one '^0 – 1$'
  # Practice over, the second seat is already free: the notice names the player all the same.
  e2e_wait 10 "the winner's name in the notice at $name" e2e_page_has "$(pages "$name")" top-box 'won by alice'
done
sleep 0.5
for name in alice bob; do e2e_shot "${win[$name]}" "$out/conceded-$name.png"; done
echo "ok: the concede ended the frame in both clients, won by the other seat"

# The next frame starts at 0-0, and a line-up is chosen in the window that practice opens: the reds
# in a line from the blue to the pink. Abort ends the frame. (No stroke is played in it: after the
# first stroke the spin ball stays over the cue ball, where the mouse would start the aim.)
e2e_wait 20 "the table view again at alice's" in_state alice 4
e2e_wait 20 "start of practice offered again" e2e_page_has "$A" start-match 'Practise alone'
sleep 0.5
panel=$(e2e_page_size "$A" start-match)
click alice start-match b_single $(((${size% *} - ${panel% *}) / 2)) $(((scene_h - ${panel#* }) / 2))
for name in alice bob; do
  e2e_wait 20 "the next frame at $name" last_status "$name" 'gameState: 1,.*frameScore:\[0,0\]'
  e2e_wait 10 "0-0 in the bar of $name" e2e_page_has "$(pages "$name")" bottom-box-all-in-one '^0 – 0$'
done
e2e_wait 10 "line-up choice again" e2e_page_has "$A" match-stats 'Line-up practice'
seen=$(statuses alice)
click_panel alice match-stats 'Reds in a line'
e2e_wait 20 "the line-up's rack at alice's" more_statuses alice "$seen"
if e2e_control_shown "$A" match-stats Close; then click_panel alice match-stats Close; fi
sleep 1.5
# The cue ball is found as the one white patch on the table: the white text of a notice (the
# concede's) must have gone.
e2e_wait 15 "the end of the notice at alice's" notice_gone "$A"
e2e_shot "${win[alice]}" "$out/lineup.png"
e2e_shot "${win[bob]}" "$out/lineup-bob.png"
echo "ok: the next frame starts at 0-0 in both clients and the line-up is laid out"
# Two strokes in the line-up frame, each aimed by the mouse from where the cue ball lies: after the
# first the spin ball keeps clear of the cue ball and a click on the cue ball aims again.
for stroke in 1 2; do
  [ "$stroke" = 1 ] && before="$out/lineup.png" || before="$out/lineup-rest1.png"
  seen=$(statuses alice)
  shoot_at_blue "$before" "-lineup$stroke"
  e2e_wait 30 "the status after line-up stroke $stroke at alice's" more_statuses alice "$seen"
  # The stroke's notice (a foul, at the blue with a red on) comes with the status; then it goes.
  e2e_until $((5 * ${BZ_E2E_PATIENCE:-4})) e2e_page_has "$A" top-box 'Foul'
  e2e_wait 15 "the end of the notice at alice's" notice_gone "$A"
  sleep 1
  e2e_shot "${win[alice]}" "$out/lineup-rest$stroke.png"
done
echo "ok: two strokes played by the mouse in the line-up frame"
click_bottom alice b_abort
e2e_wait 10 "the abort question" e2e_page_has "$A" bottom-box-all-in-one 'Ask to abort the match\?'
click_bottom_last alice Ask
for name in alice bob; do
  e2e_wait 20 "end of the aborted frame at $name" last_status "$name" 'gameState: 0,frameWonBy: -1,'
done
e2e_shot "${win[alice]}" "$out/aborted.png"
echo "ok: Abort ended the line-up frame in both clients"

for name in bob alice; do
  click_bottom "$name" b_leave
  e2e_wait 20 "lobby of $name after leaving" in_state "$name" 3
done
sleep 1
# Every table stays in the list after the updates of single tables.
for t in 1 2 3 4; do e2e_page_has "$B" lobby "^Table $t\$" || e2e_fail "table $t missing from bob's list"; done
echo "ok: the table list is whole"

# A table left mid-stroke leaves nothing behind: alice practises at table 3 and leaves while her
# stroke rolls; at table 2, bob watching, her first stroke is played (not dropped behind the old
# balls) and comes to rest at the same place in both clients. (Table 1 is kept for the match.)
click_nth() {  # NAME PAGE TEXT N: a click on the Nth control of that text (the tables' cards in order)
  local xy
  xy=$(awk -v k="$3" -v n="$4" '{ t = $0; sub(/^[^ ]+ [^ ]+ [^ ]+ ?/, "", t) } NR > 1 && ($3 == k || t == k) && ++i == n { print $1, $2; exit }' \
    "$(pages "$1")/$2.controls" 2>/dev/null)
  [ -n "$xy" ] || e2e_fail "no control $3 number $4 on $2 of $1"
  e2e_click "${win[$1]}" "${xy% *}" "${xy#* }"
}
practise() {  # TAG: alice starts practice at her table and closes the line-up window, in the view of the table as drawn
  local panel
  e2e_wait 10 "start of practice offered$1" e2e_page_has "$A" start-match 'Practise alone'
  sleep 0.5
  panel=$(e2e_page_size "$A" start-match)
  click alice start-match b_single $(((${size% *} - ${panel% *}) / 2)) $(((scene_h - ${panel#* }) / 2))
  e2e_wait 20 "practice status$1" practising "$A"
  e2e_wait 10 "line-up choice$1" e2e_page_has "$A" match-stats 'Line-up practice'
  click_panel alice match-stats Close
  click_bottom alice Table
  e2e_wait 15 "the end of the notice$1" notice_gone "$A"
  sleep 1.5
}
# Every table free in alice's list, so the Nth Play is table N's.
four_free() { [ "$(awk 'NR > 1 && ($3 == "Play" || $4 == "Play") { n++ } END { print n + 0 }' "$A/lobby.controls" 2>/dev/null)" -ge 4 ]; }
lobby_steps_people
e2e_wait 20 "every table free in alice's list" four_free
click_nth alice lobby Play 3
e2e_wait 20 "table 3 of alice" e2e_page_has "$A" bottom-box-all-in-one '^TABLE 3'
practise " at table 3"
e2e_shot "${win[alice]}" "$out/left-table.png"
shoot_at_blue "$out/left-table.png" "-left"
sleep 0.3
click_bottom alice b_leave
e2e_wait 20 "lobby of alice after leaving mid-stroke" in_state alice 3
echo "ok: alice left table 3 while her stroke rolled"
e2e_wait 20 "every table free again in alice's list" four_free
click_nth alice lobby Play 2
e2e_wait 20 "table 2 of alice" e2e_page_has "$A" bottom-box-all-in-one '^TABLE 2'
click_nth bob lobby Watch 2
e2e_wait 20 "table 2 of bob" e2e_page_has "$B" bottom-box-all-in-one '^TABLE 2'
practise " at table 2"
e2e_wait 20 "practice status at bob's" practising "$B"
e2e_shot "${win[alice]}" "$out/next-table.png"
shoot_at_blue "$out/next-table.png" "-next"
for name in alice bob; do
  e2e_wait 30 "the status of the first stroke at table 2 at $name" e2e_page_has "$(pages "$name")" bottom-box-all-in-one '^5 points$'
done
logged alice 'Stroke dropped' && e2e_fail "alice's first stroke at table 2 was dropped"
e2e_wait 15 "the end of the notice at alice's" notice_gone "$A"
sleep 1
for name in alice bob; do e2e_shot "${win[$name]}" "$out/next-table-rest-$name.png"; done
ra=$(e2e_find_ball "$out/next-table-rest-alice.png" "$scene_h" white 8)
rb=$(e2e_find_ball "$out/next-table-rest-bob.png" "$scene_h" white 8)
[ -n "$ra" ] && [ -n "$rb" ] || e2e_fail "no cue ball at rest at alice's ($ra) or bob's ($rb)"
awk -v a="$ra" -v b="$rb" 'BEGIN { split(a, p, " "); split(b, q, " "); exit !((p[1] - q[1]) ^ 2 + (p[2] - q[2]) ^ 2 <= 16) }' ||
  e2e_fail "the cue ball rests at $ra at alice's but at $rb at bob's"
for name in bob alice; do
  click_bottom "$name" b_leave
  e2e_wait 20 "lobby of $name after table 2" in_state "$name" 3
done
echo "ok: at the next table alice's first stroke is played and rests at the same place in both clients"

# The conceded frame is found among the replays by alice's name and played.
click alice lobby Replays
e2e_wait 10 "the replays window" logged alice '"buttonInfo":"replays-open"'
sleep 1
click_panel alice replays q
xdotool type --delay 20 alice
click_panel alice replays Search
e2e_wait 20 "the conceded frame among the replays" e2e_page_has "$A" replays 'alice vs alice'
e2e_shot "${win[alice]}" "$out/replays.png"
click_panel alice replays Watch
# Before a replay the client asks whether to leave what the player is doing.
e2e_wait 10 "the replay question" e2e_control_shown "$A" alerts b_replay_warning_replay
click_panel alice alerts b_replay_warning_replay
e2e_wait 20 "the replay at alice's" e2e_page_has "$A" bottom-box-all-in-one 'Leave replay'
sleep 3
e2e_shot "${win[alice]}" "$out/replay.png"
click_bottom_last alice 'Leave replay' 229
e2e_wait 20 "lobby of alice after the replay" logged alice 'EXIT_REPLAY_INFO(0)'
sleep 1
echo "ok: the conceded frame found among the replays and played"

# A match of the two: both sit at table 1 and start, the winner of the coin toss breaks. A short rack
# (the lobby racks three reds). The breaker strikes the blue with a red on: a foul, 5 to the other,
# who concedes; the frame and the match go to the breaker in both clients, the notice names the
# winner. The next match starts at 0-0. A stop from outside (SIGTERM) ends bob's
# client in that frame as a quit does, without asking: status 0 and no process left; his leaving gives
# the frame to alice.
for name in alice bob; do
  click "$name" lobby Play
  e2e_wait 20 "the table view of $name" in_state "$name" 4
done
# start_match TAG: both press start, the coin toss's winner breaks; sets winner and other.
start_match() {
  local tag=$1 name panel
  for name in alice bob; do
    e2e_wait 20 "the start of the match offered to $name" e2e_page_has "$(pages "$name")" start-match 'Start match'
    sleep 0.5
    panel=$(e2e_page_size "$(pages "$name")" start-match)
    click "$name" start-match b_start $(((${size% *} - ${panel% *}) / 2)) $(((scene_h - ${panel#* }) / 2))
  done
  e2e_wait 20 "the coin toss" tossed
  winner=alice other=bob
  e2e_control_shown "$(pages bob)" coin-toss-all-in-one b_break && winner=bob other=alice
  sleep 0.5
  e2e_shot "${win[$winner]}" "$out/coin-toss$tag.png"
  panel=$(e2e_page_size "$(pages "$winner")" coin-toss-all-in-one)
  click "$winner" coin-toss-all-in-one b_break $(((${size% *} - ${panel% *}) / 2)) $(((scene_h - ${panel#* }) / 2))
  for name in alice bob; do
    e2e_wait 20 "the match's frame at $name" in_state "$name" 6
    e2e_wait 10 "0-0 in the bar of $name" e2e_page_has "$(pages "$name")" bottom-box-all-in-one '^0 – 0$'
  done
  echo "ok: a match of alice and bob started after the coin toss, won by $winner"
}
tossed() { e2e_control_shown "$(pages alice)" coin-toss-all-in-one b_break || e2e_control_shown "$(pages bob)" coin-toss-all-in-one b_break; }
start_match ""
# Both look from straight above, where the balls are found.
for name in alice bob; do click_bottom "$name" Table; done
e2e_wait 15 "the end of the notice at $winner's" notice_gone "$(pages "$winner")"
sleep 1.5
e2e_shot "${win[$winner]}" "$out/match.png"
e2e_shot "${win[$other]}" "$out/match-$other.png"
shoot_at_blue "$out/match.png" "-match" "$winner"
for name in alice bob; do
  e2e_wait 30 "the foul of $winner at $name" e2e_page_has "$(pages "$name")" bottom-box-all-in-one '^5 points$'
done
W=$(pages "$winner")
e2e_wait 10 "the foul's notice at $winner's" e2e_page_has "$W" top-box "Foul, $other: 5"
for name in alice bob; do e2e_shot "${win[$name]}" "$out/match-foul-$name.png"; done
echo "ok: $winner's foul in the match is in both clients, 5 to $other"
lobby_step_retake
# The other concedes from there: the frame and the match go to the breaker. (A stroke of the other
# would start from wherever the foul left the cue ball, often touching a ball that blocks the cue.)
seat=0
[ "$winner" = bob ] && seat=1
click_bottom "$other" b_concede
e2e_wait 10 "the concede question at $other's" e2e_page_has "$(pages "$other")" bottom-box-all-in-one 'Concede this frame\?'
click_bottom_last "$other" Concede
frames='^1 – 0$'
[ "$seat" = 1 ] && frames='^0 – 1$'
for name in alice bob; do
  e2e_wait 20 "end of the conceded match at $name" last_status "$name" "gameState: 0,frameWonBy: $seat,"
  e2e_wait 10 "the frame in the bar of $name" e2e_page_has "$(pages "$name")" bottom-box-all-in-one "$frames"
  e2e_wait 10 "the winner in the notice at $name" e2e_page_has "$(pages "$name")" top-box "match won by $winner"
done
# The concede tells the end alone: no foul is called again.
e2e_page_lacks "$W" top-box 'Foul' || e2e_fail "the concede's notice calls the foul again: $(tr '\n' ' ' <"$W/top-box.txt")"
sleep 0.5
for name in alice bob; do e2e_shot "${win[$name]}" "$out/match-conceded-$name.png"; done
echo "ok: $other conceded, the frame and the match went to $winner in both clients"
# The next match, at 0-0.
for name in alice bob; do e2e_wait 20 "the table view again at $name's" in_state "$name" 4; done
start_match "-next"
sleep 1
e2e_shot "${win[bob]}" "$out/match-bob.png"
kill -TERM "${pid[bob]}"
e2e_wait_exit "${pid[bob]}" 20
status=$?
[ "$status" -eq 0 ] || e2e_fail "bob's client ended with status $status on SIGTERM in a frame"
e2e_group_gone "${pid[bob]}" 10 || e2e_fail "left behind by bob: $(e2e_group_alive "${pid[bob]}" | tr '\n' ' ')"
unset 'win[bob]'
e2e_wait 20 "the frame given to alice" last_status alice 'gameState: 0,frameWonBy: 0,'
e2e_wait 20 "the free seat at alice's" e2e_page_has "$A" start-match 'Waiting for an opponent'
sleep 0.5
e2e_shot "${win[alice]}" "$out/match-left.png"
echo "ok: SIGTERM ended bob's client in the frame (status 0, nothing left); the frame went to alice"
lobby_steps_alone
click_bottom alice b_leave
e2e_wait 20 "lobby of alice after the match" in_state alice 3
sleep 1
lobby_steps_lobby
lobby_step_tutorial_lesson
log_out_and_close alice

kill -TERM "$lobby"
e2e_wait_exit "$lobby" 10 || e2e_fail "the lobby did not end by itself"
e2e_group_gone "$lobby" 5 || e2e_fail "the lobby left processes behind"
echo "ok: all ended"
