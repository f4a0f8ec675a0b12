# A step of client_e2e.sh in the tutorial (sourced by it after its helpers, which it uses: click,
# click_bottom, click_panel, logged_count, in_state, pages, and its variables win and out).

# The first topic of the bar's topic list, open under its button, is clicked: click_first_topic NAME
click_first_topic() {
  local dir xy wh bar
  dir=$(pages "$1")
  xy=$(e2e_control "$dir" bottom-box-all-in-one Topics)
  wh=$(e2e_window_size "${win[$1]}")
  bar=$(e2e_page_size "$dir" bottom-box-all-in-one)
  e2e_click "${win[$1]}" "${xy% *}" $((${xy#* } + 32 + ${wh#* } - ${bar#* }))
}

# alice in the tutorial again: the bar lists the topics by name; choosing the first starts its
# exercise by the time the bar says it runs, and its lesson teaches the controls the client has
# (click the cue ball, move, click, the spin ball). Cancelled, the topics are listed again.
lobby_step_tutorial_lesson() {
  local A cancelled
  A=$(pages alice)
  click alice lobby Tutorial
  e2e_wait 20 "the tutorial at alice's" e2e_page_has "$A" bottom-box-all-in-one 'Choose a topic'
  click_bottom alice Topics
  e2e_wait 10 "the topics by name at alice's" e2e_page_has "$A" bottom-box-all-in-one '^1\. Aiming'
  e2e_page_has "$A" bottom-box-all-in-one '^2\. Power' ||
    e2e_fail "the second topic has no name: $(tr '\n' ' ' <"$A/bottom-box-all-in-one.txt")"
  click_first_topic alice
  e2e_wait 20 "the running topic at alice's" e2e_page_has "$A" bottom-box-all-in-one 'Topic 1 running'
  in_state alice 6 || e2e_fail "the bar says the topic runs before its exercise has started"
  e2e_wait 10 "the lesson at alice's" e2e_page_has "$A" bio-tut 'Click the cue ball, then move the mouse without a button'
  e2e_page_has "$A" bio-tut 'spin ball' || e2e_fail "the lesson does not say how the shot is played"
  e2e_page_lacks "$A" bio-tut 'Hold the left mouse button' || e2e_fail "the lesson teaches a drag the client does not have"
  sleep 1
  e2e_shot "${win[alice]}" "$out/tutorial-lesson.png"
  echo "ok: the topics have names, the chosen one's exercise runs when the bar says so, its lesson teaches the client's controls"
  click_panel alice bio-tut x
  cancelled=$(logged_count alice 'INFO received: TUTCH_TOPIC_CANCELLED')
  click_bottom alice Cancel
  e2e_wait 10 "back at the topics at alice's" more_logged alice 'INFO received: TUTCH_TOPIC_CANCELLED' "$cancelled"
  e2e_wait 10 "no topic running at alice's" e2e_page_has "$A" bottom-box-all-in-one 'Choose a topic'
  click_bottom alice Topics
  e2e_wait 10 "the topics listed again at alice's" e2e_page_has "$A" bottom-box-all-in-one '^2\. Power'
  sleep 0.5
  e2e_shot "${win[alice]}" "$out/tutorial-topics-named.png"
  click_bottom alice Topics
  click_bottom alice 'Leave tutorial'
  e2e_wait 20 "the lobby after the tutorial" in_state alice 3
  echo "ok: back at the topics the bar lists them again by name"
}
