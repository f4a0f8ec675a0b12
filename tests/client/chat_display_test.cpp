// Where a chat line shows, how it is written into the pages, and its sounds.
#include "dispatch/dispatch_support.h"

namespace {

using bztest::DispatchTest;
using Played = bztest::RecordingSoundBank::Played;

constexpr const char* kMarked = "<b>Table 5 Chat: </b>hello";

struct Route {
    const char* what;
    ChatClass kind;
    int tableId;
    AppState state;
    bool tableOnly;
    const char* text1;
    const char* sender;
    size_t lobby;
    size_t table;
};

TEST_F(DispatchTest, ChatRoutingByClassTableStateAndMarking) {
    const Route routes[] = {
        {"lobby chat in the lobby", ChatClass::CHAT, 0, STATE_LOBBY, false, "hi", "Bob", 1, 0},
        {"lobby chat seen at a table", ChatClass::CHAT, 0, STATE_TABLE, false, "hi", "Bob", 1, 0},
        {"table chat at the table", ChatClass::CHAT, 5, STATE_GAME, false, "hi", "Bob", 0, 1},
        {"table chat after leaving", ChatClass::CHAT, 5, STATE_LOBBY, false, "hi", "Bob", 0, 0},
        {"private in the lobby", ChatClass::PRIVATE, 0, STATE_LOBBY, false, "psst", "Bob", 1, 0},
        {"private at a table", ChatClass::PRIVATE, 0, STATE_COIN_TOSS, false, "psst", "Bob", 1, 1},
        {"big break at a table", ChatClass::BIG_BREAK, 3, STATE_TABLE, false, "147!", "", 1, 1},
        {"second big break in the lobby", ChatClass::BIG_BREAK_2, 3, STATE_LOBBY, false, "100", "", 1, 0},
        {"lobby notice at a table", ChatClass::LOBBY, 0, STATE_TABLE, false, "news", "", 1, 1},
        {"local notice in the lobby", ChatClass::LOCAL_NOTICE, 0, STATE_LOBBY, false, "note", "", 1, 0},
        {"local notice at the table", ChatClass::LOCAL_NOTICE, 5, STATE_TABLE, false, "note", "", 0, 1},
        {"lobby-made notice shown at a table", ChatClass::LOCAL_NOTICE, 0, STATE_TABLE, false, "note", "", 0, 1},
        {"user in/out at the table", ChatClass::TABLE_USER_IN_OUT, 0, STATE_TABLE, false, "Bob", "", 0, 1},
        {"user in/out in the lobby", ChatClass::TABLE_USER_IN_OUT, 0, STATE_LOBBY, false, "Bob", "", 0, 0},
        {"class 2 with table 0", static_cast<ChatClass>(2), 0, STATE_LOBBY, false, "x", "", 1, 0},
        {"class 9 at the table", static_cast<ChatClass>(9), 0, STATE_TABLE, false, "x", "", 1, 1},
        {"class 11 at the table", static_cast<ChatClass>(11), 0, STATE_TABLE, false, "x", "", 1, 0},
        {"table only", ChatClass::CHAT, 0, STATE_LOBBY, true, "x", "Bob", 0, 1},
        {"marked in the lobby", ChatClass::CHAT, 0, STATE_LOBBY, false, kMarked, "Bob", 1, 1},
        {"marked table chat in the lobby", ChatClass::CHAT, 5, STATE_LOBBY, false, kMarked, "Bob", 1, 1},
    };
    for (const Route& r : routes) {
        pages.clear();
        appState = r.state;
        gh.displayChatMessage(chat(r.kind, r.tableId, r.text1, r.sender), r.tableOnly);
        EXPECT_EQ(chatLines(HtmlWindow::Lobby), r.lobby) << r.what;
        EXPECT_EQ(chatLines(HtmlWindow::BottomBox), r.table) << r.what;
    }
}

TEST_F(DispatchTest, SwitchedOffBroadcastsAreDroppedUnlessMarked) {
    struct Hidden {
        const char* what;
        int GameSettings::*setting;
        ChatClass kind;
        const char* sender;
    } hidden[] = {
        {"big break", &GameSettings::bigBreakBroadcasts, ChatClass::BIG_BREAK, ""},
        {"second big break", &GameSettings::bigBreakBroadcasts, ChatClass::BIG_BREAK_2, ""},
        {"user in/out", &GameSettings::tableChatUserInOut, ChatClass::TABLE_USER_IN_OUT, ""},
        {"tournament", &GameSettings::tournamentBroadcasts, ChatClass::LOBBY, "Tournament Broadcast"},
        {"special login", &GameSettings::specloginBroadcasts, ChatClass::LOBBY, "Special Login"},
    };
    appState = STATE_TABLE;
    for (const Hidden& h : hidden) {
        gh.gameSettings = GameSettings{};
        gh.gameSettings.*h.setting = 0;
        pages.clear();
        gh.displayChatMessage(chat(h.kind, 0, "plain", h.sender), false);
        EXPECT_TRUE(pages.entries().empty()) << h.what;
        gh.displayChatMessage(chat(h.kind, 0, kMarked, h.sender), false);
        EXPECT_EQ(chatLines(HtmlWindow::Lobby), 1u) << h.what;
        EXPECT_EQ(chatLines(HtmlWindow::BottomBox), 1u) << h.what;
    }
}

TEST_F(DispatchTest, TheStatementEscapesUsersTextsAndKeepsTheServersMarkup) {
    Message line = Message::initChat(42, 1, ChatClass::CHAT, 0, "O'Neil<i>", 0, "it's <script>x</script>", "P'1",
                                     "a\\b", "<b>P2</b>", "end\n");
    gh.displayChatMessage(line, false);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby),
              (std::vector<std::string>{
                  "inbzAddTextToChat({entryId: 42,chatClass: 0,sender: 'O&#39;Neil&lt;i&gt;',"
                  "text1: 'it&#39;s &lt;script&gt;x&lt;/script&gt;',playerName1: 'P&#39;1',text2: 'a\\\\b',"
                  "playerName2: '&lt;b&gt;P2&lt;/b&gt;',text3: 'end\\n',});"}));
    EXPECT_EQ(log.count("displayChatMessage: CHAT_MESSAGE being delivered now: text1='it's <script>x</script>', "
                        "tableId=0, toLobby=1, toTable=0"),
              1);

    pages.clear();
    gh.displayChatMessage(chat(ChatClass::LOBBY, 0, "<b>Server</b> says it's time", "Special Login"), false);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby),
              (std::vector<std::string>{"inbzAddTextToChat({entryId: 77,chatClass: 6,sender: '',"
                                        "text1: '<b>Server</b> says it\\'s time',playerName1: '',text2: '',"
                                        "playerName2: '',text3: '',});"}));
}

TEST_F(DispatchTest, ACollapsedBottomBoxIsToldOfLinesWithASender) {
    appState = STATE_TABLE;
    gh.bottomBoxCollapsed = true;
    gh.displayChatMessage(chat(ChatClass::CHAT, 5, "hi", "Bob"), false);
    gh.displayChatMessage(chat(ChatClass::LOCAL_NOTICE, 5, "note", ""), false);
    const std::vector<std::string> table = pages.statementsFor(HtmlWindow::BottomBox);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_TRUE(table[0].ends_with("});inbzShowNotification(true);"));
    EXPECT_TRUE(table[1].ends_with("});"));
    EXPECT_EQ(table[1].find("inbzShowNotification"), std::string::npos);
}

TEST_F(DispatchTest, PrivateMessagesNotifyBothPagesAndSoundWhenWanted) {
    gh.displayChatMessage(chat(ChatClass::PRIVATE, 0, "psst", "B'ob"), false);
    gh.gameSettings.pmSounds = 0;
    gh.displayChatMessage(chat(ChatClass::PRIVATE, 0, "psst", "B'ob"), false);
    EXPECT_EQ(sounds.played, (std::vector<Played>{{SoundKind::Ball, sounds.chatClip, 1.0f}}));
    const std::string notify = "inbzNewPmOrInviteFrom({nick: 'B\\'ob'});";
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::BottomBox, notify).size(), 2u);
    EXPECT_EQ(pages.statementsStartingWith(HtmlWindow::Lobby, notify).size(), 2u);
    // The BottomBox hears of it before the Lobby.
    const std::vector<RecordingPageScriptSink::Entry> all = pages.entries();
    EXPECT_EQ(all[1].window, HtmlWindow::BottomBox);
    EXPECT_EQ(all[2].window, HtmlWindow::Lobby);
}

TEST_F(DispatchTest, AJoinAtTheOwnTableSoundsOnlyForASeatedUserWithNotificationsOn) {
    appState = STATE_TABLE;
    gh.table.seats[0] = gh.findPlayer("Alice");
    Message join = chat(ChatClass::TABLE_USER_IN_OUT, 5, "Bob", "");
    join.text2 = " has joined the table.";
    Message left = join;
    left.text2 = " has left the table.";

    gh.displayChatMessage(join, false);
    gh.displayChatMessage(left, false);
    gh.notificationSounds = false;
    gh.displayChatMessage(join, false);
    gh.notificationSounds = true;
    gh.table.seats[0] = gh.findPlayer("alice");
    gh.displayChatMessage(join, false);
    EXPECT_EQ(sounds.played.size(), 1u);
}

TEST_F(DispatchTest, LocalNoticesAreShownAtOnceAndNeverSent) {
    gh.showLocalNotice("Ball in hand", 0);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby),
              (std::vector<std::string>{"inbzAddTextToChat({entryId: 0,chatClass: 7,sender: '',text1: 'Ball in hand',"
                                        "playerName1: '',text2: '',playerName2: '',text3: '',});"}));
    EXPECT_EQ(handler.outgoingCount(), 0u);
}

TEST_F(DispatchTest, PlayersAreFoundByNickWithoutOneLeadingDash) {
    Player* abc = gh.findPlayer("abc");
    EXPECT_EQ(gh.findPlayer("-abc"), abc);
    Player* dashed = gh.findPlayer("--abc");
    EXPECT_NE(dashed, abc);
    EXPECT_EQ(dashed->nick, "-abc");
    EXPECT_NE(gh.findPlayer("Abc"), abc);
    Player* empty = gh.findPlayer("");
    EXPECT_EQ(gh.findPlayer("-"), empty);
    EXPECT_EQ(empty->nick, "");
    EXPECT_EQ(gh.players.size(), 4u);
    EXPECT_EQ(abc->rating, 1200u);
    EXPECT_EQ(abc->rank, 9999999u);
    EXPECT_EQ(abc->currentCue, 1);
    EXPECT_EQ(abc->userType, 0);
    EXPECT_EQ(log.count("findPlayer: Created new Player object for "), 4);
}

}  // namespace
