# The local lobby's rules played through the real clients, as steps of client_e2e.sh (sourced by it
# after its helpers, which these use: click, click_bottom, click_bottom_last, click_panel, pages,
# last_status, logged, logged_count, more_logged, statuses, more_statuses, in_state, notice_gone,
# shoot_towards, and its variables win, out, size, scene_h, winner, other).

# After the breaker's foul in the match: the fouled player answers "They play again", both clients
# see the offender on turn with no foul to answer, and the offender plays again.
lobby_step_retake() {
  local O W wseat=0 name cue blue cx cy bx by seen
  [ "$winner" = bob ] && wseat=1
  O=$(pages "$other")
  W=$(pages "$winner")
  e2e_wait 10 "the foul's question at $other's" e2e_page_has "$O" bottom-box-all-in-one 'Play on from here\?'
  e2e_shot "${win[$other]}" "$out/foul-question-$other.png"
  click_bottom_last "$other" 'They play again'
  for name in alice bob; do
    e2e_wait 20 "$winner on turn again at $name's" last_status "$name" "playerOn: $wseat,.*foul: 0,"
  done
  e2e_wait 10 "the notice of who plays at $winner's" e2e_page_has "$W" top-box "$winner to play"
  e2e_wait 15 "the end of the notice at $winner's" notice_gone "$W"
  sleep 1
  e2e_shot "${win[$winner]}" "$out/retake-$winner.png"
  echo "ok: $other answered the foul with \"They play again\": $winner is on turn in both clients"
  # The offender strokes from where the balls lie, away from the blue the cue ball met.
  cue=$(e2e_find_ball "$out/retake-$winner.png" "$scene_h" white 8)
  blue=$(e2e_find_ball "$out/retake-$winner.png" "$scene_h" 'rgb(20,40,200)' 25)
  [ -n "$cue" ] || e2e_fail "no cue ball in retake-$winner.png"
  read -r cx cy <<<"$cue"
  if [ -n "$blue" ]; then read -r bx by <<<"$blue"; else bx=$((cx - 60)) by=$cy; fi
  seen=$(statuses "$other")
  shoot_towards "$out/retake-$winner.png" "-retake" "$winner" $((2 * cx - bx)) $((2 * cy - by))
  e2e_wait 30 "the status of $winner's stroke again at $other's" more_statuses "$other" "$seen"
  sleep 1
  e2e_shot "${win[$other]}" "$out/retake-played-$other.png"
  echo "ok: $winner played again after the foul"
}

# A screenshot of alice's window in FILE shows the cue ball within the D, whose straight edge runs
# through X and whose centre is at X,Y (the brown's spot): cue_in_d FILE X Y
cue_in_d() {
  local cue
  sleep 0.5
  e2e_shot "${win[alice]}" "$1"
  cue=$(e2e_find_ball "$1" "$scene_h" white 8)
  [ -n "$cue" ] && awk -v c="$cue" -v x="$2" -v y="$3" 'BEGIN { split(c, p, " "); exit !((p[1] - x) ^ 2 + (p[2] - y) ^ 2 < 70 ^ 2) }'
}

# Alone at table 1 (alice): a practice with a line-up that a rerack keeps; an in-off by the mouse
# and the cue ball in hand moved in the D by the mouse; then Abort.
lobby_steps_practice() {
  local A panel seen line a yellow blue cue s tx ty cx cy yx dx dy
  A=$(pages alice)
  e2e_wait 20 "start of practice offered at alice's" e2e_page_has "$A" start-match 'Practise alone'
  sleep 0.5
  panel=$(e2e_page_size "$A" start-match)
  click alice start-match b_single $(((${size% *} - ${panel% *}) / 2)) $(((scene_h - ${panel#* }) / 2))
  e2e_wait 20 "the practice frame at alice's" in_state alice 6
  e2e_wait 10 "line-up choice" e2e_page_has "$A" match-stats 'Line-up practice'
  seen=$(statuses alice)
  click_panel alice match-stats 'Reds in a line'
  e2e_wait 20 "the line-up's rack" more_statuses alice "$seen"
  if e2e_control_shown "$A" match-stats Close; then click_panel alice match-stats Close; fi
  click_bottom alice Table
  e2e_wait 15 "the end of the notice at alice's" notice_gone "$A"
  sleep 1.5
  e2e_shot "${win[alice]}" "$out/lineup-kept-before.png"
  seen=$(statuses alice)
  click_bottom alice b_rerack
  e2e_wait 10 "the rerack question" e2e_page_has "$A" bottom-box-all-in-one 'Ask for a rerack\?'
  click_bottom_last alice Ask
  e2e_wait 20 "the rerack at alice's" more_statuses alice "$seen"
  e2e_wait 15 "the end of the notice at alice's" notice_gone "$A"
  sleep 1.5
  e2e_shot "${win[alice]}" "$out/lineup-kept-after.png"
  # The reds lie on the line from the blue towards the black in both (a triangle after the rerack
  # would leave the line empty).
  blue=$(e2e_find_ball "$out/lineup-kept-after.png" "$scene_h" 'rgb(20,40,200)' 25)
  [ -n "$blue" ] || e2e_fail "no blue in lineup-kept-after.png"
  line=$(e2e_changed "$out/lineup-kept-before.png" "$out/lineup-kept-after.png" $((${blue% *} - 80)) "${blue#* }" 70)
  [ "${line:-9999}" -lt 60 ] || e2e_fail "the rerack did not lay out the line-up again ($line pixels changed)"
  echo "ok: the line-up stays over a rerack"
  # The bar's Line-up button, which the practice's notice names, opens the window again.
  seen=$(logged_count alice 'Opening LineUp')
  click_bottom alice b_lineup
  e2e_wait 10 "the line-up window again at alice's" more_logged alice 'Opening LineUp' "$seen"
  e2e_page_has "$A" bottom-box-all-in-one 'press Line-up in the bar' || e2e_fail "the practice's notice does not name the Line-up button"
  # The window shows 0.6 s after it opens.
  sleep 1.5
  e2e_shot "${win[alice]}" "$out/lineup-again.png"
  click_panel alice match-stats Close
  echo "ok: the bar's Line-up button opens the line-up window again"

  # An in-off: the cue ball from the D into the nearest baulk corner pocket. The pocket is found
  # from the blue (the table's centre) and the yellow (on the baulk line, 1047.5 mm from the centre).
  yellow=$(e2e_find_ball "$out/lineup-kept-after.png" "$scene_h" 'rgb(255,240,80)' 15)
  cue=$(e2e_find_ball "$out/lineup-kept-after.png" "$scene_h" white 8)
  [ -n "$yellow" ] && [ -n "$cue" ] || e2e_fail "no yellow ($yellow) or cue ball ($cue) in lineup-kept-after.png"
  read -r bx by <<<"$blue"
  read -r cx cy <<<"$cue"
  yx=${yellow% *}
  read -r tx ty <<<"$(awk -v bx="$bx" -v by="$by" -v yx="$yx" -v cy="$cy" 'BEGIN {
    s = (yx - bx) / 1047.5; a = s < 0 ? -s : s
    printf "%d %d\n", bx + 1800 * s, by + (cy < by ? -905 : 905) * a }')"
  seen=$(statuses alice)
  shoot_towards "$out/lineup-kept-after.png" "-inoff" alice "$tx" "$ty"
  e2e_wait 30 "the in-off's status at alice's" more_statuses alice "$seen"
  e2e_wait 10 "the cue ball in hand at alice's" last_status alice 'ballInHand: 1,'
  # The cue ball in the D, found once the foul's notice (white letters too) has gone.
  e2e_wait 15 "the cue ball in the D at alice's" cue_in_d "$out/in-hand.png" "$yx" "$by"
  echo "ok: an in-off gives the cue ball in hand"
  # The cue ball dragged by the mouse to another place in the D: the lobby takes it and echoes it.
  cue=$(e2e_find_ball "$out/in-hand.png" "$scene_h" white 8)
  read -r cx cy <<<"$cue"
  # Towards the brown, about 50 mm nearer the baulk line and 90 mm nearer the middle: still in the D.
  # The pointer moves in small steps, as a hand moves it.
  s=$(awk -v bx="$bx" -v yx="$yx" 'BEGIN { s = (yx - bx) / 1047.5; print s < 0 ? -s : s }')
  dx=$(awk -v s="$s" -v d="$(((yx > bx) ? -50 : 50))" 'BEGIN { printf "%d", d * s / 4 }')
  dy=$(awk -v s="$s" -v d="$(((cy < by) ? 90 : -90))" 'BEGIN { printf "%d", d * s / 4 }')
  e2e_front "${win[alice]}"
  xdotool mousemove --window "${win[alice]}" "$cx" "$cy" sleep 0.3 mousedown 1 sleep 0.4
  for _ in 1 2 3 4; do xdotool mousemove_relative -- "$dx" "$dy" sleep 0.3; done
  xdotool sleep 0.3 mouseup 1
  e2e_wait 10 "the placement's echo at alice's" logged alice 'BALL_PLACED: ball=0 moved to'
  sleep 1
  e2e_shot "${win[alice]}" "$out/placed.png"
  a=$(e2e_find_ball "$out/placed.png" "$scene_h" white 8)
  [ -n "$a" ] && [ "$a" != "$cue" ] || e2e_fail "the cue ball did not move in the D ($cue -> $a)"
  echo "ok: the cue ball in hand placed in the D by the mouse, from $cue to $a"
  click_bottom alice b_abort
  e2e_wait 10 "the abort question" e2e_page_has "$A" bottom-box-all-in-one 'Ask to abort the match\?'
  click_bottom_last alice Ask
  e2e_wait 20 "end of the practice" last_status alice 'gameState: 0,frameWonBy: -1,'
}

# In the lobby (alice): a cue bought and used from the chat, and the store showing it.
lobby_step_cue_store() {
  local A panel
  A=$(pages alice)
  click alice lobby chat_text_input_id
  xdotool type --delay 20 '/buy 2'
  xdotool key Return
  e2e_wait 10 "the purchase at alice's" logged alice 'INFO_CODE_CUE_PURCHASED: 2'
  click alice lobby chat_text_input_id
  xdotool type --delay 20 '/cue 2'
  xdotool key Return
  e2e_wait 10 "the cue in use at alice's" logged alice 'INFO_CODE_CUE_USED: 2'
  click alice lobby 'Cue store'
  e2e_wait 10 "the store window at alice's" logged alice 'Opening Cue Store html window'
  e2e_wait 10 "the store with alice's cue" e2e_page_has "$A" cuestore '^Your cue$'
  e2e_page_has "$A" cuestore '^350$' || e2e_fail "the store does not show 350 Kred: $(tr '\n' ' ' <"$A/cuestore.txt")"
  sleep 1.5
  e2e_shot "${win[alice]}" "$out/cue-store.png"
  click_panel alice cuestore x
  echo "ok: a cue bought and used for Kred, the store shows it"
}

# In the lobby (alice): a tutorial topic chosen in the bottom bar, its exercise played to the result
# dialog, "Back to topics", and the tutorial left.
lobby_step_tutorial() {
  local A panel seen red xy wh bar
  A=$(pages alice)
  click alice lobby Tutorial
  e2e_wait 20 "the tutorial at alice's" e2e_page_has "$A" bottom-box-all-in-one 'Choose a topic'
  # The topic list: its button, then the first topic, the first item of the list that opens under it.
  click_bottom alice Topics
  sleep 1
  xy=$(e2e_control "$A" bottom-box-all-in-one Topics)
  wh=$(e2e_window_size "${win[alice]}")
  bar=$(e2e_page_size "$A" bottom-box-all-in-one)
  e2e_click "${win[alice]}" "${xy% *}" $((${xy#* } + 32 + ${wh#* } - ${bar#* }))
  e2e_wait 10 "the topic at alice's" logged alice 'INFO received: TUTCH_TOPIC_INFO'
  click_panel alice bio-tut 'Start the exercise'
  e2e_wait 20 "the exercise at alice's" in_state alice 6
  # The lesson's panel closed, the table is in view from above (the view chosen earlier stays).
  click_panel alice bio-tut x
  sleep 2
  e2e_shot "${win[alice]}" "$out/tutorial.png"
  red=$(e2e_find_ball "$out/tutorial.png" "$scene_h" 'rgb(234,82,85)' 15)
  [ -n "$red" ] || e2e_fail "no red in tutorial.png"
  shoot_towards "$out/tutorial.png" "-tutorial" alice ${red% *} ${red#* }
  e2e_wait 30 "the exercise's result at alice's" e2e_page_has "$A" coin-toss-all-in-one 'Back to topics'
  sleep 1
  e2e_shot "${win[alice]}" "$out/tutorial-result.png"
  panel=$(e2e_page_size "$A" coin-toss-all-in-one)
  click alice coin-toss-all-in-one 'Back to topics' $(((${size% *} - ${panel% *}) / 2)) $(((scene_h - ${panel#* }) / 2))
  e2e_wait 10 "back to the topics at alice's" logged alice 'INFO received: TUTCH_TOPIC_CANCELLED'
  sleep 0.5
  e2e_shot "${win[alice]}" "$out/tutorial-topics.png"
  click_bottom alice 'Leave tutorial'
  e2e_wait 20 "the lobby after the tutorial" in_state alice 3
  echo "ok: a tutorial topic played to its result, back to the topics, and the tutorial left"
}

# The Replays window of alice lists at least N frames: replays_listed N
replays_listed() { [ "$(grep -c ' Watch$' "$(pages alice)/replays.controls" 2>/dev/null)" -ge "$1" ]; }

# In the lobby (alice): a replay of hers with a stroke, "Practise this", and a practice frame whose
# status the lobby sets from the replay's position.
lobby_step_practise_this() {
  local A seen a b red changed
  A=$(pages alice)
  seen=$(logged_count alice '"buttonInfo":"replays-open"')
  click alice lobby Replays
  e2e_wait 10 "the replays window" more_logged alice '"buttonInfo":"replays-open"' "$seen"
  sleep 1
  # The box still holds the last search: typed over.
  click_panel alice replays q
  xdotool key ctrl+a
  xdotool type --delay 20 alice
  click_panel alice replays Search
  # The list of the last search stands until the answer comes: three frames, the conceded practice
  # and the two matches (the others were aborted or left, and are not kept).
  e2e_wait 20 "the frames among the replays" replays_listed 3
  # The newest come first: the last is alice's first practice frame, conceded after her stroke.
  click_panel alice replays Watch
  e2e_wait 10 "the replay question" e2e_control_shown "$A" alerts b_replay_warning_replay
  click_panel alice alerts b_replay_warning_replay
  e2e_wait 20 "the replay at alice's" e2e_page_has "$A" bottom-box-all-in-one 'Leave replay'
  sleep 3
  click_bottom_last alice 'Practise this' 229
  e2e_wait 10 "the practice question" e2e_page_has "$A" bottom-box-all-in-one 'Practise from this position'
  click_bottom_last alice 'Practise' 229
  e2e_wait 30 "the practice from the replay" logged alice "'/set-game-status"
  e2e_wait 20 "the practice frame at alice's" in_state alice 6
  e2e_wait 20 "the lobby's status of the position" last_status alice 'gameState: 1,'
  sleep 1
  e2e_shot "${win[alice]}" "$out/practise-this.png"
  # The replay's stroke started from the first practice's rack (table.png, the same view from above):
  # the cue ball in the D and the reds lie where they lay there.
  a=$(e2e_find_ball "$out/table.png" "$scene_h" white 8)
  b=$(e2e_find_ball "$out/practise-this.png" "$scene_h" white 8)
  red=$(e2e_find_ball "$out/table.png" "$scene_h" 'rgb(234,82,85)' 15)
  [ -n "$a" ] && [ -n "$b" ] && [ -n "$red" ] || e2e_fail "no cue ball ($a, $b) or red ($red) in table.png and practise-this.png"
  awk -v a="$a" -v b="$b" 'BEGIN { split(a, p, " "); split(b, q, " "); exit !((p[1] - q[1]) ^ 2 + (p[2] - q[2]) ^ 2 <= 16) }' ||
    e2e_fail "the cue ball stands at $b, in the replay's position at $a"
  changed=$(e2e_changed "$out/table.png" "$out/practise-this.png" ${red% *} ${red#* } 25)
  [ "${changed:-9999}" -lt 60 ] || e2e_fail "the reds do not lie as in the replay ($changed pixels changed)"
  click_bottom alice b_leave
  e2e_wait 20 "the lobby after the practice" in_state alice 3
  echo "ok: \"Practise this\" goes on at a practice table from the replay's position"
}

# alice alone at table 1.
lobby_steps_alone() { lobby_steps_practice; }

# alice back in the lobby.
lobby_steps_lobby() {
  lobby_step_cue_store
  lobby_step_tutorial
  lobby_step_practise_this
}
