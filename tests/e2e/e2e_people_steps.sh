# Steps of client_e2e.sh with two tables and whispers (sourced by it after its helpers, which these
# use: click, click_bottom, click_nth, practise, four_free, logged_count, in_state, and its variables
# A, B, win, out).

# The seat lines of a client's log after its first N: seat_lines NAME N
seat_lines() {
  grep -a 'STOP_PLAY_TABLE_INFO received: player1=' "$work/$1/Baizeron/Baizeron/bzlog.txt" 2>/dev/null |
    grep -av 'player1=0' | tail -n +"$(($2 + 1))"
}

# bob sits alone at table 4 while alice takes a seat at table 3, whispers to him from its chat,
# practises there and leaves: bob's seats stay his own, and the whisper reaches him at his table.
# alice whispers again from the lobby, and to a name nobody has: an "Unknown user" notice.
lobby_steps_people() {
  local seats line
  e2e_wait 20 "every table free in alice's list" four_free
  seats=$(seat_lines bob 0 | wc -l)
  click_nth bob lobby Play 4
  e2e_wait 20 "table 4 of bob" e2e_page_has "$B" bottom-box-all-in-one '^TABLE 4'
  e2e_wait 10 "bob alone at table 4" e2e_page_has "$B" start-match 'Waiting for an opponent'
  click_nth alice lobby Play 3
  e2e_wait 20 "table 3 of alice" e2e_page_has "$A" bottom-box-all-in-one '^TABLE 3'
  click_bottom alice chat_input
  xdotool type --delay 20 '/w bob Good luck at table 4'
  xdotool key Return
  e2e_wait 10 "alice's whisper at bob's table" e2e_page_has "$B" bottom-box-all-in-one 'alice whispers: Good luck at table 4'
  e2e_wait 10 "alice's own copy of the whisper" e2e_page_has "$A" bottom-box-all-in-one 'alice whispers: \(to bob\) Good luck'
  practise " at table 3 (bob at table 4)"
  click_bottom alice b_leave
  e2e_wait 20 "lobby of alice after table 3" in_state alice 3
  # Sent after all of alice's seats, so bob has had them all once it has come.
  click alice lobby chat_text_input_id
  xdotool type --delay 20 '/w bob See you in the lobby'
  xdotool key Return
  e2e_wait 10 "the second whisper at bob's" e2e_page_has "$B" bottom-box-all-in-one 'alice whispers: See you in the lobby'
  while read -r line; do
    [ "$line" = 'player1=bob, player2=' ] || e2e_fail "bob at table 4 took the seats $line of alice's table"
  done < <(seat_lines bob "$seats" | sed 's/.*received: //')
  e2e_page_has "$B" start-match 'Waiting for an opponent' || e2e_fail "bob's table lost his seat: $(tr '\n' ' ' <"$B/start-match.txt")"
  sleep 0.5
  e2e_shot "${win[bob]}" "$out/people-bob-table4.png"
  echo "ok: alice's practice at table 3 left bob's seat at table 4 his own, and her whispers reached him there"
  click alice lobby chat_text_input_id
  xdotool type --delay 20 '/w nobody Hello?'
  xdotool key Return
  e2e_wait 10 "the unknown user's notice at alice's" e2e_page_has "$A" lobby 'Unknown user nobody'
  e2e_page_has "$A" lobby 'alice whispers: \(to bob\) See you' || e2e_fail "no copy of the whisper in alice's lobby chat"
  sleep 0.5
  e2e_shot "${win[alice]}" "$out/people-alice-lobby.png"
  echo "ok: a whisper to a name nobody has is answered \"Unknown user\""
  click_bottom bob b_leave
  e2e_wait 20 "lobby of bob after table 4" in_state bob 3
}
