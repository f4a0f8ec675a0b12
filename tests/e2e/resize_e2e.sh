#!/usr/bin/env bash
# The window resized as a player resizes it, under a virtual display (run through
# tools/with_display.sh): the local lobby and one real client with its browser. After each resize
# (1600x900, then the whole screen as a maximised window has it) the pages are laid out over the
# whole window, and a click on a page control at its new place sends its request: Play in the
# lobby seats the player, "Leave table" on the start panel and Leave in the bottom bar take them
# back to the lobby.
# Screenshots and the client's log go to BUILD_DIR/artefacts/resize.
#   resize_e2e.sh BUILD_DIR
set -u
build=$(cd "${1:?build folder}" && pwd)
here=$(dirname "$0")
. "$here/e2e_lib.sh"
e2e_need xdotool import convert setsid ps pgrep awk

out="$build/artefacts/resize"
rm -rf "$out"
mkdir -p "$out"
work=$(mktemp -d)
groups=()
win=""
P="$work/pages"

cleanup() {
  local status=$? g
  kill -- $(pgrep -P "$watchdog") "$watchdog" 2>/dev/null
  [ "$status" -ne 0 ] && [ -n "$win" ] && e2e_shot "$win" "$out/failed.png" 2>/dev/null
  cp "$work/alice/Baizeron/Baizeron/bzlog.txt" "$out/alice-log.txt" 2>/dev/null
  for g in "${groups[@]}"; do e2e_kill_group "$g"; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo "FAIL: stopped by the watchdog" >&2; exit 1' TERM
(sleep "${BZ_E2E_LIMIT:-720}" && kill -TERM $$ 2>/dev/null) &
watchdog=$!

e2e_start_lobby "$out/lobby.log" 0
lobby=$e2e_started
groups+=("$lobby")

# click PAGE CONTROL [X0 Y0]: a click on a page's control, the page placed at X0,Y0 in the window.
click() {
  local page=$1 control=$2 x0=${3:-0} y0=${4:-0} xy
  e2e_wait 10 "control $control on $page" e2e_control_shown "$P" "$page" "$control"
  xy=$(e2e_control "$P" "$page" "$control")
  e2e_click "$win" $((x0 + ${xy% *})) $((y0 + ${xy#* }))
}

# The page's view has the size "W H".
page_sized() { [ "$(e2e_page_size "$P" "$1")" = "$2" ]; }
# The page's view is W wide.
page_wide() { local size; size=$(e2e_page_size "$P" "$1"); [ "${size% *}" = "$2" ]; }

# resize W H NAME: the window takes the size, every page follows it; a screenshot.
resize() {
  local w=$1 h=$2 bar
  # At the screen's corner, so that the whole window is on the screen (and in the screenshot).
  xdotool windowmove "$win" 0 0 windowsize "$win" "$w" "$h"
  e2e_wait 10 "window of $w x $h" [ "$(e2e_window_size "$win")" = "$w $h" ]
  e2e_wait 10 "lobby page of $w x $h" page_sized lobby "$w $h"
  e2e_wait 10 "bottom bar $w wide" page_sized bottom-box-all-in-one "$w 280"
  # The pages' texts are written every half second, each page's in its turn: a wait, not a look.
  e2e_until $((10 * ${BZ_E2E_PATIENCE:-4})) page_wide top-box "$w" ||
    { bar=$(e2e_page_size "$P" top-box); e2e_fail "the top bar is ${bar% *} wide in a window $w wide"; }
  sleep 0.5
  e2e_shot "$win" "$out/$3.png"
  echo "ok: resized to $w x $h, the pages follow"
}

# The client went from a table back to the lobby N times (its log of state changes).
back_in_lobby() { [ "$(grep -c 'changeState.*4->3' "$work/alice/Baizeron/Baizeron/bzlog.txt")" -ge "$1" ]; }

# The start panel lies in the middle of the scene, above the bottom bar.
start_panel_origin() {
  local size panel scene_h
  size=$(e2e_window_size "$win")
  panel=$(e2e_page_size "$P" start-match)
  scene_h=$((${size#* } - 280))
  echo $(((${size% *} - ${panel% *}) / 2)) $(((scene_h - ${panel#* }) / 2))
}

mkdir -p "$P" "$work/alice/Baizeron/Baizeron"
echo "1 255 0 300 4194304 0" >"$work/alice/Baizeron/Baizeron/bzlogconfig.txt"
BZ_LOBBY_HOST=127.0.0.1 BZ_LOBBY_PORT=$port XDG_DATA_HOME=$work/alice BZ_PAGE_TEXT_DIR=$P \
  e2e_start "$out/alice.out" "$build/app/baizeron"
groups+=("$e2e_started")
e2e_wait 30 "window" e2e_has_window "$e2e_started"
win=$(e2e_window_of "$e2e_started")
e2e_wait 60 "login page" e2e_page_has "$P" main-login '^Log in$'
click main-login username
xdotool type --delay 20 alice
click main-login password
xdotool type --delay 20 snooker
click main-login login
e2e_wait 30 "table list" e2e_page_has "$P" lobby '^Table 1$'
e2e_answer_first_questions "$P" "click lobby"

resize 1600 900 lobby-1600x900
click lobby Play
e2e_wait 20 "table after Play at 1600 x 900" e2e_page_has "$P" bottom-box-all-in-one '^TABLE 1'
echo "ok: Play at its place in a 1600 x 900 window seats the player"

# Without a window manager nothing maximises: the window takes the whole screen as it would.
screen=$(xdotool getdisplaygeometry)
resize ${screen% *} ${screen#* } table-maximised
e2e_wait 10 "start panel" e2e_control_shown "$P" start-match b_leave
read -r x0 y0 <<<"$(start_panel_origin)"
click start-match b_leave "$x0" "$y0"
e2e_wait 20 "lobby after Leave table" back_in_lobby 1
echo "ok: Leave table on the start panel at its place in the maximised window"

# Back to 1024 x 647, the bottom bar's Leave at its place along the lower edge.
click lobby Play
e2e_wait 20 "table after Play" e2e_page_has "$P" bottom-box-all-in-one '^TABLE 1'
resize 1024 647 table-1024x647
size=$(e2e_window_size "$win")
click bottom-box-all-in-one b_leave 0 $((${size#* } - 280))
e2e_wait 20 "lobby after Leave" back_in_lobby 2
echo "ok: Leave in the bottom bar at its place after the window shrank back"
