// Each control, clicked with the real mouse (or driven with the real keyboard), sends the request the
// client expects: the name, every key and each key's JSON type.
#include "page_harness.h"
#include "page_statements.h"

namespace pagetest {
namespace {

Json Req(const std::string& text) { return Json::parse(text); }
Json Press(const std::string& name, int idata1 = 0, const std::string& sdata1 = "") {
    return Json{{"requestName", "buttonPress"}, {"buttonInfo", name}, {"idata1", idata1}, {"sdata1", sdata1}};
}
Json Plain(const std::string& name) { return Json{{"requestName", name}}; }

struct Case {
    const char* page;
    std::string setup;                 // statements run first (may be empty)
    std::vector<std::string> clicks;   // selectors clicked in order
    Json expected;                     // the request the last click must send
};

const std::string kGameReset = ContractStatements().at("GameSettings")[0];
const std::string kTwoTables =
    "inbzTableInfo([{tableId:3,tableName:'Table 3',tableType:1,gameType:1,gameState:1,bestOf:7,maxPointsBehind:0,maxShotTime:60,"
    "privacy:0,arena:0,framesWon1:2,framesWon2:1,player1:'Ada',player2:'Cy',viewers:[]},{tableId:5,tableName:'Table 5',tableType:1,"
    "gameType:1,gameState:0,bestOf:1,maxPointsBehind:0,maxShotTime:0,privacy:0,arena:0,framesWon1:0,framesWon2:0,player1:'Dee',"
    "player2:'',viewers:[]},]);";

std::vector<Case> Cases() {
    return {
        {"Login", "loadingDone();", {"#tb_min"}, Plain("titleBarMinimize")},
        {"Login", "", {"#tb_max"}, Plain("titleBarMaximize")},
        {"Login", "", {"#tb_close"}, Plain("titleBarClose")},
        {"Login", "", {"#drag"}, Plain("titleBarMoveWindow")},
        {"Login", "", {"#l_register"}, Plain("loginRegister")},
        {"Login", "", {"#l_forgot"}, Plain("loginForgotDetails")},
        {"Login", "", {"#l_offline"}, Plain("loginPlayOffline")},
        {"Login", "", {"#l_update"}, Plain("loginUpdate")},

        {"Lobby", kUserName + kTwoTables + kUserInfo, {"#tables .tbl:nth-child(2) button.primary"},
         Req(R"({"requestName":"lobbyPlayTable","tablenumber":5})")},
        {"Lobby", "", {"#tables .tbl:nth-child(1) button"}, Req(R"({"requestName":"lobbyWatchTable","tablenumber":3})")},
        {"Lobby", "", {"#tables .tbl:nth-child(1) .seat.nick"}, Req(R"({"requestName":"lobbyOpenPlayerBio","userName":"Ada"})")},
        {"Lobby", "", {"#avail_slot .dd-btn", "#avail_slot .dd-item:nth-child(3)"}, Req(R"({"requestName":"lobbyAvailability","availCode":"dnd"})")},
        {"Lobby", "", {"#m_settings"}, Plain("lobbyOpenGameSettings")},
        {"Lobby", "", {"#m_account"}, Plain("lobbyOpenMyAccount")},
        {"Lobby", "", {"#m_help"}, Req(R"({"requestName":"lobbyBrowseExternal","urlCode":"help"})")},
        {"Lobby", "", {"#m_logout"}, Plain("lobbyLogout")},
        {"Lobby", "", {"[data-press=open-tasks]"}, Press("open-tasks")},
        {"Lobby", "", {"[data-press=replays-open]"}, Press("replays-open")},
        {"Lobby", "", {"[data-press=cue-store-open]"}, Press("cue-store-open")},
        {"Lobby", "", {"[data-press=open-invites]"}, Press("open-invites")},
        {"Lobby", "", {"[data-press=match-stats-open]"}, Press("match-stats-open")},
        {"Lobby", "", {"[data-press=open-tutorial]"}, Press("open-tutorial")},
        {"Lobby", "", {"#chat_paste"}, Press("paste-to-lobby")},
        {"Lobby", "", {"#tb_max"}, Plain("titleBarMaximize")},
        {"Lobby", "", {"#tb_min"}, Plain("titleBarMinimize")},
        {"Lobby", "", {"#drag"}, Plain("titleBarMoveWindow")},
        {"Lobby", "", {"#tb_close", ".pop button.danger"}, Press("exit-game")},
        {"Lobby", "updateLobbies([{name:\"Club\",version:\"2.1\",maxUsers:100,currentUsers:3}]);", {"#change_lobby"}, Press("lobby-list-on")},
        {"Lobby", "", {"#lobby_pick .item"}, Press("change-lobby", 0, "Club")},
        {"Lobby", "inbzGetUserInfo({userName:'Bo\\'s'});", {}, Press("user-info", 1, "Bo's")},
        {"Lobby", "inbzShowMouseOrTouchpadPopUp();", {".pop button:last-child"}, Press("mouse-or-touchpad-answer-is-mouse")},
        {"Lobby", "inbzUpdatePoll({title:'Arena?',state:'open',remainingMinutes:5,userVote:0,options: [{text:'Club',votes:3},{text:'Hall',votes:5},]});",
         {"#poll .opt + .opt button"}, Press("poll-vote", 2)},
        {"Lobby", "inbzKboxInfo({kred: 50,secondsUntilOpening: 0,});", {"#kbox button"}, Press("kbox-collect")},

        {"StartMatch", "asPlayerTwoPlayersNoStart();", {"#b_start"}, Plain("startMatchStart")},
        {"StartMatch", "", {"#b_watch"}, Plain("startMatchWatch")},
        {"StartMatch", "", {"#b_leave"}, Plain("startMatchLeaveTable")},
        {"StartMatch", "asPlayerTwoPlayersStarted(false,false,-1,false);", {"#b_unstart"}, Plain("startMatchUnstart")},
        {"StartMatch", "asPlayerOnePlayer(false,false,-1,false);", {"#b_single"}, Plain("startMatchStartSingle")},
        {"StartMatch", "asViewerZeroOrOnePlayer(false, false,false,-1,false);", {"#b_join"}, Plain("startMatchJoin")},

        {"CoinToss", "inbzCoinTossResult({iAmTheWinner: true,opponentName: 'Cy',});", {"#b_break"},
         Req(R"({"requestName":"coinTossIWillStart","iWillStart":true})")},
        {"CoinToss", "inbzCoinTossResult({iAmTheWinner: true,opponentName: 'Cy',});", {"#b_pass"},
         Req(R"({"requestName":"coinTossIWillStart","iWillStart":false})")},
        {"CoinToss", "inbzTutResult({passed:false});", {"[data-press=tut-retry]"}, Press("tut-retry")},
        {"CoinToss", "", {"[data-press=tut-info]"}, Press("tut-info")},
        {"CoinToss", "", {"[data-press=tut-back]"}, Press("tut-back")},
        {"CoinToss", "", {"[data-press=tut-done]"}, Press("tut-done")},

        {"BottomBox", kUserName + "inbzEnterTable();" + GameStatus(0, 31, 7), {"#views button:nth-child(2)"},
         Req(R"({"requestName":"bottomBoxViewMode","role":"p","viewMode":"2t"})")},
        {"BottomBox", "inbzSetPOVMode({isOn: true});", {"#b_pov"}, Plain("bottomBoxViewModePOV")},
        {"BottomBox", "", {"#b_people"}, Plain("bottomBoxOpenPeople")},
        {"BottomBox", "", {"#b_settings"}, Plain("bottomBoxOpenGameSettings")},
        {"BottomBox", "", {"#b_match"}, Plain("bottomBoxOpenMatchSettings")},
        {"BottomBox", "", {"#b_leave"}, Plain("bottomBoxLeaveTable")},
        {"BottomBox", "", {"#b_concede"}, Req(R"({"requestName":"bottomBoxPopup","event":"opened","what":"concede"})")},
        {"BottomBox", "", {".pp button.danger"}, Plain("bottomBoxConcede")},
        {"BottomBox", "", {"#b_rerack", ".pp button.danger"}, Plain("bottomBoxRerackConfirmed")},
        {"BottomBox", "", {"#b_abort", ".pp button.danger"}, Plain("bottomBoxAbortMatchConfirmed")},
        {"BottomBox", "inbzRerackRequested();", {".pp button.primary"}, Plain("bottomBoxRerackAccepted")},
        {"BottomBox", "inbzRerackRequested();", {".pp button:not(.primary)"}, Plain("bottomBoxRerackDeclined")},
        {"BottomBox", "inbzAbortionRequested();", {".pp button.primary"}, Plain("bottomBoxAbortMatchAccepted")},
        {"BottomBox", "inbzAbortionRequested();", {".pp button:not(.primary)"}, Plain("bottomBoxAbortMatchDeclined")},
        {"BottomBox", "inbzTimeoutProlongDecidingStart({    opponentName:'Cy',    showAbort:1,    timeoutValue:60,});",
         {".pp button.primary"}, Press("timeoutProlongTerminate")},
        {"BottomBox", "inbzTimeoutProlongDecidingStart({    opponentName:'Cy',    showAbort:1,    timeoutValue:60,});",
         {".pp button:not(.primary)"}, Press("timeoutProlongAbort")},
        {"BottomBox", "", {"#b_fold"}, Req(R"({"requestName":"bottomBoxToggle","isFullSize":true})")},
        {"BottomBox", "", {"#b_size"}, Req(R"({"requestName":"bottomBoxToggle","isFullSize":false})")},
        {"BottomBox", "", {"#privacy_slot .dd-btn", "#privacy_slot .dd-item:nth-child(2)"},
         Req(R"({"requestName":"bottomBoxChangePrivacy","privacy":2})")},
        {"BottomBox", "", {"#avail_slot .dd-btn", "#avail_slot .dd-item:nth-child(2)"},
         Req(R"({"requestName":"bottomBoxAvailability","availCode":"away"})")},
        {"BottomBox", "", {"#name1"}, Req(R"({"requestName":"bottomBoxOpenPlayerBio","userName":"Cy"})")},
        {"BottomBox", "inbzSetShowLiveAimingIfAvailable({ enabled:true });", {"#b_aim_share"}, Press("live-aiming-shared-true")},
        {"BottomBox", "", {"#b_aim_show"}, Press("live-aiming-shown-false")},
        {"BottomBox", "", {"[data-press=open-invites]"}, Press("open-invites")},
        {"BottomBox", "", {"#b_paste"}, Press("paste-to-bb")},
        {"BottomBox", "", {"#side [data-press=open-arezor-commands]"}, Press("open-arezor-commands")},
        // Alone in both seats: the line-up window opens again from the bar.
        {"BottomBox", "inbzUpdatePlayerNames({player1: 'Ada',player2: 'Ada',});", {"#b_lineup"}, Press("open-lineup-window")},
        {"BottomBox", "inbzOpenMatchStatsDiv();", {"#stats_div button.icon"}, Press("match-stats-maximize")},
        {"BottomBox", kChat, {"#kboxCollectId3 a"}, Press("kbox-collect")},
        {"BottomBox", "inbzEnterTutorial();inbzStopTutorialTopic();inbzSetTutorialStatus({tutStatusString: '0100',});",
         {"#topic_slot .dd-btn", "#topic_slot .dd-item:nth-child(2)"}, Press("selectTutTopic", 2)},
        {"BottomBox", "", {"#tools_tut [data-press=startTutorialExercise]"}, Press("startTutorialExercise")},
        {"BottomBox", "", {"#tools_tut [data-press=tut-button-leave]"}, Press("tut-button-leave")},
        {"BottomBox", "inbzEnterReplayMode();inbzSetReplayShotPosition({shotNumber: 1,numberOfShots: 40,});",
         {"#b_play"}, Press("replay-play-pause")},
        {"BottomBox", "", {"[data-press=replay-next]"}, Press("replay-next")},
        {"BottomBox", "", {"#speed_slot .dd-btn", "#speed_slot .dd-item:nth-child(6)"}, Press("select-replay-speed", 6)},
        {"BottomBox", "", {"#b_rsave"}, Press("replay-open-save", 1)},
        {"BottomBox", "", {"#b_practice"}, Press("replay-button-go-to-practice-freeze")},
        {"BottomBox", "", {".pp button.primary"}, Press("replay-button-go-to-practice")},
        {"BottomBox", "inbzReplayShowFrameBox({show: true});inbzSetReplayFramePosition({frameNumber: 1,numberOfFrames: 3,});",
         {"#frame_box .dd-btn", "#frame_box .dd-item:nth-child(3)"}, Press("replay-load-frame", 3)},
        {"BottomBox", "inbzReplayOpenSave({obj:1,match_id:99,frame_number:2,shot_number:14,player_on:0,keywords:0,notes:'',finalized:0,});",
         {".pp button.primary"}, Press("replay-do-save", 0, "[1,99,2,14,0,1]")},
        {"BottomBox", "", {"[data-press=replay-button-leave]"}, Press("replay-button-leave")},

        {"GameSettings", kGameReset, {"#g_save"},
         Req(R"({"requestName":"gameSettingsSave","cueBallDesign":1,"ghostCueBall":1,"extendedCueBallLine":1,"whiteLines":0,
                 "thickLines":1,"qBallSize":1,"errorMargins":1,"aimingMode":0,"reverseAiming":0,"mouseSensitivity":0,"displayMode":0,
                 "arena":0,"vsync":1,"fps":59.94,"antiAliasing":4,"lightSources":0,"scalingMode":0,"resolutionLimit":1920,
                 "aaResolutionLimit":0,"aaGraphicsDetails":0,"displayFps":0,"allSounds":1,"ballSounds":1,"ballVolume":100,
                 "refereeSounds":1,"refereeVolume":100,"crowdSounds":1,"crowdVolume":100,"kredBoxSounds":1,"pmSounds":1,
                 "friendSounds":1,"bigBreakBroadcasts":1,"tournamentBroadcasts":1,"specloginBroadcasts":1,"tableChatUserInOut":1,
                 "showLiveAimingIcons":1,"ballsPotted":1,"ballOn":1,"friendChat":1,"lobbyWidth":1,"qballTipSizeScaled":0})")},
        {"GameSettings", "", {"#g_reset"}, Plain("gameSettingsReset")},
        {"GameSettings", "", {"#g_close"}, Plain("gameSettingsClose")},
        {"GameSettings", "inbzOpenMatchSettings({isHost: 1,difficulty: 1,gameType: 1,matchLength: 3,autoConcedeLimit: 10,arena: 0,shotTimeLimit: 90,});",
         {"#m_fields .field:nth-child(3) .dd-btn", "#m_fields .field:nth-child(3) .dd-item:nth-child(4)", "#m_save"},
         Req(R"({"requestName":"matchSettingsSave","difficulty":1,"gameType":1,"matchLength":7,"autoConcedeLimit":10,"arena":0,"shotTimeLimit":90})")},
        {"GameSettings", "", {"#m_reset"}, Plain("matchSettingsReset")},
        {"GameSettings", "", {"#m_x"}, Plain("matchSettingsClose")},
        {"GameSettings", ContractStatements().at("GameSettings")[2], {"#a_save"},
         Req(R"({"requestName":"myAccountSave","country":"Wales","aboutMe":"Cue 'n' chalk","prefTableType":"1","prefBestOf":"7",
                 "prefMaxPointsBehind":"","prefArena":"0","prefMaxShotTime":"60"})")},
        {"GameSettings", "", {"#a_close"}, Plain("myAccountClose")},

        {"BioTut", kUserName + "inbzOpenBio(['Cy',]);", {"#b_friend_add"}, Press("add-friend", 0, "Cy")},
        {"BioTut", "", {"#b_block"}, Press("block-user", 1, "Cy")},
        {"BioTut", "inbzUpdateButtons({enableFriendButton:true,enableBlockButton:true,bits:50331652,});", {"#b_unblock"}, Press("block-user", 0, "Cy")},
        {"BioTut", "", {"#b_friend_remove"}, Press("remove-friend", 0, "Cy")},
        {"BioTut", "", {"#b_results"}, Press("requestBioResults", 0, "Cy")},
        {"BioTut", "", {"#x"}, Plain("bioClose")},
        {"BioTut", "inbzOpenTut({topic:2});", {"#b_tut_start"}, Press("startTutorialExercise")},
        {"BioTut", "", {"#b_tut_web"}, Req(R"({"requestName":"lobbyBrowseExternal","urlCode":"tutorial-2"})")},
        {"BioTut", "", {"#tut_topics .item:nth-child(5)"}, Press("selectTutTopic", 5)},
        {"BioTut", "inbzSetVideo({title:'Safety',link:'https://example.org/v2',img:'',});inbzOpenVideos();", {".video"},
         Req(R"({"requestName":"lobbyBrowseExternal","urlCode":"https://example.org/v2"})")},

        {"People", kUserName + kTableInfo + "inbzUpdateFriends(['Cy',1,]);", {".user:nth-child(2) .acts button"},
         Req(R"({"requestName":"peopleWhisper","username":"Cy"})")},
        {"People", "", {".user:nth-child(2) .nick"}, Req(R"({"requestName":"bottomBoxOpenPlayerBio","userName":"Cy"})")},
        {"People", "", {".user:nth-child(2) .acts button:nth-child(2)"}, Press("remove-friend", 0, "Cy")},
        {"People", "inbzOpenPeople({userToBlock:'Zed'});", {"#block_yes"}, Press("block-user", 1, "Zed")},
        {"People", "", {"#x"}, Plain("peopleClose")},

        {"Invites", ContractStatements().at("Invites")[1], {}, Press("invites-active")},
        {"Invites", "inbzInviteInfo({id: 4,state: 'Expired',});", {}, Press("invites-empty")},
        {"Invites", "inbzInviteInfo({id: 7,inviter: 'Cy',state: 'Active',});", {".inv button.primary"}, Press("invites-response-accepted", 7)},
        {"Invites", "inbzInviteInfo({id: 8,inviter: 'Eve',state: 'Active',table: 2,gameType: 1,tableType: 1,bestOf: 3,maxShotTime: 0,"
                    "rank: 1,rating: 1900,form: 1,userType: 0,});", {".inv .acts button:nth-child(2)"}, Press("invites-response-declined", 8)},
        {"Invites", "inbzInviteInfo({id: 9,inviter: 'Eve',state: 'Active',});", {".inv .acts button:nth-child(3)"}, Press("invites-response-ignored", 9)},
        {"Invites", "", {".blocking .sw"}, Press("invites-blocked-on")},
        {"Invites", "", {"#close"}, Press("invites-close")},

        {"Tasks", "", {"#x"}, Press("tasks-close")},
        {"MatchStats", "", {"#min"}, Press("match-stats-minimize")},
        {"MatchStats", "", {"#x"}, Press("match-stats-close")},
        {"MatchStats", "inbzOpenLineUp();", {".lu:nth-child(2)"}, Press("selectLineUp", 11)},
        {"CueStore", "inbzSetCueList([{name:'Oak',price:500}]);inbzSetCueUrl({index:0,url:'https://example.org/cues/0',});",
         {".cue button"}, Req(R"({"requestName":"lobbyBrowseExternal","urlCode":"https://example.org/cues/0"})")},
        {"CueStore", "", {"#x"}, Press("cue-store-close")},
        {"Alerts", "inbzOpenLeaveWarning();", {"#b_leave_warning_stay"}, Press("alert-leave-warning-stay")},
        {"Alerts", "inbzOpenLeaveWarning();", {"#b_leave_warning_leave"}, Press("alert-leave-warning-leave")},
        {"Alerts", "inbzOpenReplayWarning();", {"#b_replay_warning_replay"}, Press("alert-replay-warning-replay")},
        {"Alerts", "inbzOpenReplayWarning();", {"#b_replay_warning_cancel"}, Press("alert-replay-warning-cancel")},

        {"Replays", "inbzReplaySearchResults([{objid:'s/99.2.14',title:'Long red'}]);", {".rp button.primary"},
         Req(R"({"requestName":"lobbySendChatText","chatText":"/replay shot 99 2 14"})")},
        {"Replays", "", {".rp button.flat"}, Press("replay-add-to-fav", 0, "s/99.2.14")},
        {"Replays", "inbzReplayAddToFav({objid: 's/99.2.14'});", {".rp button.flat"}, Press("replay-delete-from-fav", 0, "s/99.2.14")},
        {"Replays", "", {"#s_proc .sw"}, Press("replay-setting-aiming-process-show")},
        {"Replays", "", {"#s_lines .sw"}, Press("replay-setting-aim-lines-hide")},
        {"Replays", "", {"#b_search"}, Press("replay-start-search", 0, "")},  // an empty search lists every replay
        {"Replays", "", {"[data-tab=top]"}, Press("replay-select-top20", 1)},  // the open tab asks for its list
        {"Replays", "", {"[data-tab=top]", "#top_slot .dd-btn", "#top_slot .dd-item:nth-child(3)"}, Press("replay-select-top20", 3)},
        {"Replays", "", {"[data-tab=fav]"}, Press("replay-get-fav", 3)},
        {"Replays", "", {"#x"}, Press("replays-close")},
    };
}

class PageControlsTest : public PageTest {
protected:
    View& Page(const std::string& id) {
        for (auto& v : views_) {
            if (v->info.htmlId == id) return *v;
        }
        return Open(id);
    }
};

// A control that shows only an icon says what it does in a title, and the page draws that title
// itself on hover (the browser paints no tooltips), inside the window.
TEST_F(PageControlsTest, IconOnlyControlsCarryATitleThePageDrawsOnHover) {
    for (const PageInfo& p : Pages()) {
        View& v = Page(p.htmlId);
        for (const std::string& s : ContractStatements().at(p.htmlId)) Run(v, s);
        EXPECT_EQ(Eval(v, "Array.from(document.querySelectorAll('button, a, [data-press]')).filter(function (e) {"
                           " return e.getClientRects().length && !e.textContent.trim() && !e.matches('.sw') && !(e.closest('[title]') || {}).title; })"
                          ".map(function (e) { return e.outerHTML.slice(0, 80); })"),
                  Json::array())
            << p.htmlId;
    }
    View& bottom = Page("BottomBox");
    Json at = Eval(bottom, "(function () { var b = document.getElementById('b_size').getBoundingClientRect(); return [b.left + b.width / 2, b.top + b.height / 2]; })()");
    ASSERT_TRUE(at.is_array());
    bottom.browser->GetHost()->SendMouseMoveEvent(MouseEvent{int(at[0].get<double>()), int(at[1].get<double>()), 0}, false);
    PumpFor(900);
    EXPECT_EQ(Eval(bottom, "(function () { var t = document.querySelector('.bz-tip'); if (!t || getComputedStyle(t).display === 'none') return null;"
                           " var b = t.getBoundingClientRect(); return [t.textContent, b.left >= 0 && b.right <= innerWidth && b.top >= 0 && b.bottom <= innerHeight]; })()"),
              Json::parse(R"(["Bigger or smaller", true])"));
    ASSERT_TRUE(Click(bottom, "#b_fold"));
    EXPECT_EQ(Eval(bottom, "getComputedStyle(document.querySelector('.bz-tip')).display"), "none") << "a click ends the tooltip";
}

TEST_F(PageControlsTest, EachControlSendsItsRequestWithItsKeysAndTypes) {
    for (const Case& c : Cases()) {
        View& v = Page(c.page);
        std::string what = std::string(c.page) + " " + (c.clicks.empty() ? c.setup : c.clicks.back());
        SCOPED_TRACE(what);
        size_t mark = v.Mark();
        if (!c.setup.empty()) {
            ASSERT_EQ(Run(v, c.setup), "");
        }
        bool clicked = true;
        for (const std::string& s : c.clicks) clicked = clicked && Click(v, s);
        ASSERT_TRUE(clicked) << "a control is missing or not shown";
        std::string name = c.expected["requestName"];
        Json got;
        PumpUntil([&] {
            for (const Json& r : v.Requests(mark)) {
                if (r["requestName"] == name && (name != "buttonPress" || r.value("buttonInfo", "") == c.expected["buttonInfo"])) got = r;
            }
            return got.is_object();
        });
        EXPECT_TRUE(SameTyped(got, c.expected)) << "sent " << got.dump() << "\nwanted " << c.expected.dump();
    }
}

TEST_F(PageControlsTest, LoginByKeyboardAloneWithTheFirstLobbyChosen) {
    View& login = Open("Login");
    // At start the page asks for the remembered credentials.
    EXPECT_TRUE(SameTyped(Sent(login, 0, "loginEnterLobby"),
                          Req(R"({"requestName":"loginEnterLobby","servername":"-","username":"","password":"","rememberme":false})")));
    ASSERT_EQ(Run(login, "updateLobbies([{name:\"Players Lounge\",version:\"2.1\",maxUsers:500,currentUsers:42},"
                         "{name:\"Club\",version:\"2.1\",maxUsers:100,currentUsers:3}]);"), "");
    // Before loading is done Enter does nothing.
    size_t mark = login.Mark();
    Type(login, u"ada");
    Key(login, 9);
    Type(login, u"p\u00e4ss");
    Key(login, 13);
    PumpFor(300);
    EXPECT_TRUE(Sent(login, mark, "loginEnterLobby").is_null());
    ASSERT_EQ(Run(login, "function loadingDoneCaller() {    if (typeof loadingDone !== 'undefined') {        loadingDone();    }"
                         "    else {        setTimeout(loadingDoneCaller, 1000);    }};loadingDoneCaller();"), "");
    Key(login, 13);
    ASSERT_TRUE(PumpUntil([&] { return login.Requests(mark).size() >= 2; }));
    auto sent = login.Requests(mark);
    EXPECT_TRUE(SameTyped(sent[0], Req(R"({"requestName":"loginEnterLobby","servername":"","username":"ada","password":"päss","rememberme":true})")))
        << sent[0].dump();
    EXPECT_TRUE(SameTyped(sent[1], Req(R"({"requestName":"loginEnterLobby","servername":"Players Lounge","username":"ada","password":"päss","rememberme":true})")))
        << sent[1].dump();
    // While connecting a second Enter sends nothing; a refusal lets the player try again.
    Key(login, 13);
    PumpFor(200);
    EXPECT_EQ(login.Requests(mark).size(), 2u);
    ASSERT_EQ(Run(login, "logout(); loginErrorNotice();"), "");
    EXPECT_EQ(Eval(login, "document.getElementById('notice').textContent"), "Login failed. Check your user name and password.");
    EXPECT_EQ(Eval(login, "document.getElementById('login').disabled"), false);
}

TEST_F(PageControlsTest, EnterSendsChatAndTheTableChatReportsWhetherItIsEmpty) {
    View& lobby = Open("Lobby");
    size_t mark = lobby.Mark();
    ASSERT_EQ(Run(lobby, "document.getElementById('chat_text_input_id').focus();"), "");
    Type(lobby, u"hi all");
    Key(lobby, 13);
    ASSERT_TRUE(PumpUntil([&] { return !Sent(lobby, mark, "lobbySendChatText").is_null(); }));
    EXPECT_TRUE(SameTyped(Sent(lobby, mark, "lobbySendChatText"), Req(R"({"requestName":"lobbySendChatText","chatText":"hi all"})")));
    EXPECT_EQ(Eval(lobby, "document.getElementById('chat_text_input_id').value"), "");

    View& bottom = Open("BottomBox");
    mark = bottom.Mark();
    ASSERT_EQ(Run(bottom, "focusChat();"), "");
    Type(bottom, u"g");
    ASSERT_TRUE(PumpUntil([&] { return !Sent(bottom, mark, "bottomBoxChatTextIsEmpty").is_null(); }));
    EXPECT_TRUE(SameTyped(Sent(bottom, mark, "bottomBoxChatTextIsEmpty"), Req(R"({"requestName":"bottomBoxChatTextIsEmpty","isEmpty":false})")));
    Type(bottom, u"g");
    Key(bottom, 13);
    ASSERT_TRUE(PumpUntil([&] { return !Sent(bottom, mark, "bottomBoxSendChatText").is_null(); }));
    EXPECT_TRUE(SameTyped(Sent(bottom, mark, "bottomBoxSendChatText"), Req(R"({"requestName":"bottomBoxSendChatText","chatText":"gg"})")));
    // The whisper the People list asks for goes into the same input.
    ASSERT_EQ(Run(bottom, "inbzWhisperPlayer({ username: 'Cy'});"), "");
    EXPECT_EQ(Eval(bottom, "document.getElementById('chat_input').value"), "/w Cy ");

    View& alerts = Open("Alerts");
    mark = alerts.Mark();
    ASSERT_EQ(Run(alerts, "inbzOpenLeaveWarning();"), "");
    Key(alerts, 27);
    ASSERT_TRUE(PumpUntil([&] { return !Sent(alerts, mark, "buttonPress").is_null(); }));
    EXPECT_TRUE(SameTyped(Sent(alerts, mark, "buttonPress"), Press("alert-escape")));
}

// The client hands the game's Space on to the page: a button clicked before must not take it.
TEST_F(PageControlsTest, AClickedControlKeepsNoFocusAndTheChatInputKeepsItsOwn) {
    View& bottom = Open("BottomBox");
    ASSERT_EQ(Run(bottom, kUserName + "inbzEnterTable();" + GameStatus(0, 31, 7)), "");
    for (const char* button : {"#views button:nth-child(1)", "#b_concede"}) {
        SCOPED_TRACE(button);
        ASSERT_TRUE(Click(bottom, button));
        PumpFor(200);
        size_t mark = bottom.Mark();
        Key(bottom, 32, u' ');
        Key(bottom, 13);
        PumpFor(400);
        EXPECT_TRUE(bottom.Requests(mark).empty()) << bottom.Requests(mark).front().dump();
    }
    ASSERT_TRUE(Click(bottom, ".pp button:not(.danger)"));

    ASSERT_EQ(Run(bottom, "focusChat();"), "");
    ASSERT_TRUE(Click(bottom, "#views button:nth-child(2)"));
    EXPECT_EQ(Eval(bottom, "document.activeElement.id"), "chat_input");

    View& settings = Open("GameSettings");
    ASSERT_EQ(Run(settings, kGameReset), "");
    ASSERT_TRUE(Click(settings, "#p_aim .sw"));
    ASSERT_TRUE(Click(settings, "#p_aim input[type=range]"));
    // The click reaches the page apart from the probe that reads its focus.
    EXPECT_TRUE(PumpUntil([&] { return Eval(settings, "document.activeElement === document.body") == true; }, 10000));
    // The sensitivity is used from -5 to 5.
    EXPECT_EQ(Eval(settings, "[document.querySelector('#p_aim input[type=range]').min, "
                             "document.querySelector('#p_aim input[type=range]').max].join()"), "-5,5");
}

// The chat's collect link turns into the amount only on "kbox-collected": the Lobby page sends it once
// the server's next countdown shows that an open box was collected, whichever control collected it.
TEST_F(PageControlsTest, AnOpenKredBoxFollowedByANewCountdownReportsItCollected) {
    View& lobby = Open("Lobby");
    size_t mark = lobby.Mark();
    auto presses = [&](const std::string& name) {
        int n = 0;
        for (const Json& r : lobby.Requests(mark)) n += r.value("buttonInfo", "") == name;
        return n;
    };
    ASSERT_EQ(Run(lobby, "inbzKboxInfo({kred: 50,secondsUntilOpening: 90,});"
                         "inbzKboxInfo({kred: 50,secondsUntilOpening: 80,});"), "");
    ASSERT_EQ(Run(lobby, "inbzKboxInfo({kred: 50,secondsUntilOpening: 0,});"), "");
    ASSERT_TRUE(Click(lobby, "#kbox button"));
    ASSERT_TRUE(PumpUntil([&] { return presses("kbox-collect") == 1; }));
    EXPECT_EQ(presses("kbox-collected"), 0);
    ASSERT_EQ(Run(lobby, "inbzKboxInfo({kred: 50,secondsUntilOpening: 90,});"), "");
    ASSERT_TRUE(PumpUntil([&] { return presses("kbox-collected") == 1; }));
    ASSERT_EQ(Run(lobby, "inbzKboxInfo({kred: 50,secondsUntilOpening: 85,});"), "");
    PumpFor(200);
    EXPECT_EQ(presses("kbox-collected"), 1);
    // The end of the session stops the countdown: the box of a session that has ended never opens.
    ASSERT_EQ(Run(lobby, "inbzKboxInfo({kred: 50,secondsUntilOpening: 1,});inbzLoginReset();"), "");
    PumpFor(1600);
    EXPECT_EQ(presses("kbox-opened"), 0);
}

// The bio's friend and block buttons follow the Lobby's lists: it answers for the bio with those bits.
TEST_F(PageControlsTest, TheLobbyTellsTheBioWhetherAUserIsAFriendOrBlocked) {
    View& lobby = Open("Lobby");
    ASSERT_EQ(Run(lobby, "inbzUpdateFriends(['Cy',1,]);inbzUpdateMutedUsers(['Zed',1,]);"), "");
    for (const auto& [user, bits] : {std::pair{"Cy", 1 << 24}, {"Zed", 1 << 25}, {"Ada", 0}}) {
        size_t mark = lobby.Mark();
        ASSERT_EQ(Run(lobby, std::string("inbzGetUserInfo({userName:'") + user + "'});"), "");
        ASSERT_TRUE(PumpUntil([&] { return !Sent(lobby, mark, "buttonPress").is_null(); }));
        EXPECT_TRUE(SameTyped(Sent(lobby, mark, "buttonPress"), Press("user-info", bits, user))) << user;
    }
}

TEST_F(PageControlsTest, OwnShotClockWarnsAtFiveSecondsAndReportsTheEnd) {
    View& bottom = Open("BottomBox");
    size_t mark = bottom.Mark();
    // A table without a time limit runs no clock and never reports the time as up.
    ASSERT_EQ(Run(bottom, kUserName + GameStatus(0, 0, 0) + "inbzStartShotTimer({player: 0,timerSeconds: 0,});"), "");
    PumpFor(500);
    EXPECT_TRUE(bottom.Requests(mark).empty());
    EXPECT_EQ(Eval(bottom, "document.getElementById('timer0').textContent"), "");
    ASSERT_EQ(Run(bottom, "inbzStartShotTimer({player: 0,timerSeconds: 6,});"
                                       "inbzStartShotTimer({player: 1,timerSeconds: 1,});"), "");
    ASSERT_TRUE(PumpUntil([&] { return !Sent(bottom, mark, "buttonPress").is_null(); }, 4000));
    EXPECT_TRUE(SameTyped(Sent(bottom, mark, "buttonPress"), Press("5secsleft")));
    ASSERT_TRUE(PumpUntil([&] { return bottom.Requests(mark).size() >= 2; }, 8000));
    auto sent = bottom.Requests(mark);
    EXPECT_TRUE(SameTyped(sent[1], Press("shotTimerExpired"))) << sent[1].dump();
    // The opponent's clock (seat 1) reports nothing.
    PumpFor(300);
    EXPECT_EQ(bottom.Requests(mark).size(), 2u);
}

}  // namespace
}  // namespace pagetest

namespace pagetest {
namespace {

TEST_F(PageControlsTest, DropdownListsStayInThePartOfTheBarThatIsOnScreen) {
    View& bottom = Open("BottomBox");
    const std::string listBottom = "document.querySelector('#speed_slot .dd-list').getBoundingClientRect().bottom";
    ASSERT_EQ(Run(bottom, "inbzEnterReplayMode();inbzSetSize({isFullSize:false});"), "");
    ASSERT_TRUE(Click(bottom, "#speed_slot .dd-btn"));
    // Replays show 229 of the 280 pixels: the seven speeds must all be reachable inside them.
    EXPECT_LE(Eval(bottom, listBottom).get<double>(), 229.0);
    ASSERT_TRUE(Click(bottom, "#speed_slot .dd-item:nth-child(7)"));
    EXPECT_EQ(Eval(bottom, "document.querySelector('#speed_slot .dd-btn').textContent"), "Speed \u00d75");
    ASSERT_EQ(Run(bottom, "inbzLobbyViewStarted();"), "");
    ASSERT_TRUE(Click(bottom, "#privacy_slot .dd-btn"));
    EXPECT_LE(Eval(bottom, "document.querySelector('#privacy_slot .dd-list').getBoundingClientRect().bottom").get<double>(), 130.0);
}

}  // namespace
}  // namespace pagetest

namespace pagetest {
namespace {

// A paused replay's shot clock keeps its figure; playing on counts down from there.
TEST_F(PageControlsTest, APausedReplayHoldsItsShotClock) {
    View& bottom = Open("BottomBox");
    const std::string figure = "document.getElementById('timer0').textContent";
    ASSERT_EQ(Run(bottom, "inbzEnterReplayMode();inbzSetReplayPlaying({replayPlaying: true, replayT: 0});"
                          "inbzStartShotTimer({player: 0,timerSeconds: 30,});"), "");
    ASSERT_EQ(Run(bottom, "inbzSetReplayPlaying({replayPlaying: false, replayT: 500});"), "");
    const Json held = Eval(bottom, figure);
    PumpFor(2300);
    EXPECT_EQ(Eval(bottom, figure), held);
    // A shot loaded while paused starts its clock held too.
    ASSERT_EQ(Run(bottom, "inbzStartShotTimer({player: 0,timerSeconds: 20,});"), "");
    PumpFor(1300);
    EXPECT_EQ(Eval(bottom, figure), "20 s");
    ASSERT_EQ(Run(bottom, "inbzSetReplayPlaying({replayPlaying: true, replayT: 500});"), "");
    EXPECT_TRUE(PumpUntil([&] { return Eval(bottom, figure) == "19 s"; }, 3000));
}

// An accepted invitation leaves the list; the client's refusal gives it back with what it showed.
TEST_F(PageControlsTest, ARefusedAcceptanceGivesTheInvitationBack) {
    View& invites = Open("Invites");
    ASSERT_EQ(Run(invites, "inbzInviteInfo({id: 7,inviter: 'Cy',state: 'Active',table: 4,gameType: 1,tableType: 1,"
                           "bestOf: 3,maxShotTime: 0,rank: 2,rating: 1500,form: 0,userType: 0,});"), "");
    const std::string rows = "document.querySelectorAll('.inv').length";
    const std::string text = "document.querySelector('.inv') ? document.querySelector('.inv').textContent : ''";
    const Json shown = Eval(invites, text);
    size_t mark = invites.Mark();
    ASSERT_TRUE(Click(invites, ".inv button.primary"));
    ASSERT_TRUE(PumpUntil([&] { return !Sent(invites, mark, "buttonPress").is_null(); }));
    EXPECT_EQ(Eval(invites, rows), 0);
    ASSERT_EQ(Run(invites, "inbzInviteInfo({id: 7,state: 'Active',});"), "");
    EXPECT_EQ(Eval(invites, rows), 1);
    EXPECT_EQ(Eval(invites, text), shown);
    // It can be answered again, and an expiry still reaches it.
    ASSERT_EQ(Run(invites, "inbzInviteInfo({id: 7,state: 'Expired',});"), "");
    EXPECT_EQ(Eval(invites, "document.querySelectorAll('.inv.expired').length"), 1);
}

}  // namespace
}  // namespace pagetest
