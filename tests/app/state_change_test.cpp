// The page work of every state change, in order: refreshes and statements in one sequence, the
// top bar's place for the table states, and changes posted from other threads.
#include "app/window_layout.h"
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/state_change.h"
#include "core/page_script.h"
#include "app/shell_globals.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::mutex recordMutex;
std::vector<std::string> record;

void add(const std::string& line) {
    std::lock_guard<std::mutex> lock(recordMutex);
    record.push_back(line);
}

class SequenceSink : public PageScriptSink {
public:
    void runJavaScript(HtmlWindow window, const std::string& statement) override {
        add(std::string(htmlWindowName(window)) + ": " + statement);
    }
};

void recordRefresh(HtmlWindow window) { add(std::string("refresh ") + htmlWindowName(window)); }

const std::string kHideBreak = "TopBox: if (typeof inbzShowBreak !== 'undefined') { inbzShowBreak({showBreak: 0}); }";
const std::string kHideBallOn =
    "TopBox: if (typeof inbzShowBallOn !== 'undefined') { inbzShowBallOn({showBallOn: 0}); }";
// The start-match buttons of an empty table (the table state asks for them with no table number).
const std::string kEmptyTableButtons = "StartMatch: asViewerZeroOrOnePlayer(false, false,false,-1,false);";
const std::string kTopBox =
    "TopBox: if (typeof inbzSizeAndPlace !== 'undefined') { inbzSizeAndPlace({height: 21,left: 197,right: 229}); }";

class StateChange : public ::testing::Test {
protected:
    void SetUp() override {
        record.clear();
        previousSink_ = setPageScriptSink(&sink_);
        previousRefresher_ = setWindowRefresher(recordRefresh);
        previousHook_ = setStateLayoutHook(layoutForState);
        resetShellGlobals();
        GameHandler& gh = getGameHandler();
        for (PanelSlot* slot : {&gh.gameSettingsPanel, &gh.matchSettingsPanel, &gh.myAccountPanel, &gh.bioTutPanel,
                                &gh.peoplePanel, &gh.invitesPanel, &gh.tasksPanel, &gh.lineUpPanel,
                                &gh.cueStorePanel, &gh.alertsPanel, &gh.replaysPanel}) {
            slot->visible = false;
        }
        gh.inTutorial = false;
        gh.mouseOrTouchpadPopUpPending = false;
        gh.gameSettings.lobbyWidth = 2;
        gh.gameSettings.scalingMode = 0;
        appState = STATE_STARTUP;
    }
    void TearDown() override {
        setPageScriptSink(previousSink_);
        setWindowRefresher(previousRefresher_);
        setStateLayoutHook(previousHook_);
        appState = STATE_STARTUP;
    }
    // The state is set without page work, then the change under test is recorded.
    std::vector<std::string> change(AppState from, AppState to) {
        appState = from;
        record.clear();
        changeState(to);
        EXPECT_EQ(appState.load(), to);
        std::lock_guard<std::mutex> lock(recordMutex);
        return record;
    }

    SequenceSink sink_;
    PageScriptSink* previousSink_ = nullptr;
    WindowRefresher previousRefresher_ = nullptr;
    StateLayoutHook previousHook_ = nullptr;
};

TEST_F(StateChange, SameStateDoesNothing) {
    getGameHandler().mouseOrTouchpadPopUpPending = true;
    EXPECT_TRUE(change(STATE_LOBBY, STATE_LOBBY).empty());
    EXPECT_TRUE(getGameHandler().mouseOrTouchpadPopUpPending);
}

TEST_F(StateChange, StatementSequenceOfEveryState) {
    struct Case {
        AppState from, to;
        std::vector<std::string> expected;
    };
    const std::string noUsers = ": inbzUserInfo([]);";
    const Case cases[] = {
        {STATE_STARTUP, STATE_LOGIN, {"refresh Login", "Login: focusUserName();"}},
        {STATE_LOGIN, STATE_CONNECTING,
         {"Lobby" + noUsers, "BottomBox" + noUsers, "People" + noUsers, "BioTut" + noUsers, "MatchStats" + noUsers,
          "Tasks" + noUsers}},
        {STATE_CONNECTING, STATE_LOBBY,
         {"refresh Lobby", "Lobby: inbzSetLobbyWidth({lobbyWidth:2});",
          "Lobby: document.getElementById('chat_text_input_id').focus();", "BottomBox: inbzLobbyViewStarted();",
          "refresh TopBox", kHideBreak, kHideBallOn}},
        {STATE_LOBBY, STATE_TABLE, {kEmptyTableButtons, "refresh StartMatch", "refresh BottomBox", "refresh TopBox", kTopBox}},
        {STATE_TABLE, STATE_COIN_TOSS, {"refresh CoinToss", "refresh BottomBox", "refresh TopBox", kTopBox}},
        {STATE_COIN_TOSS, STATE_GAME, {"refresh BottomBox", "refresh TopBox", kTopBox}},
        {STATE_GAME, STATE_LOGIN, {"refresh Login", "Login: focusUserName();"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + "->" + std::to_string(c.to));
        EXPECT_EQ(change(c.from, c.to), c.expected);
    }
}

TEST_F(StateChange, LobbyAsksMouseOrTouchpadOnceAndClosesTwoPanels) {
    GameHandler& gh = getGameHandler();
    gh.mouseOrTouchpadPopUpPending = true;
    gh.peoplePanel.visible = gh.matchSettingsPanel.visible = true;
    gh.inTutorial = gh.tutResultPanel.visible = true;
    gh.tasksPanel.visible = gh.bioTutPanel.visible = gh.replaysPanel.visible = true;
    const std::vector<std::string> first = change(STATE_TABLE, STATE_LOBBY);
    EXPECT_EQ(first[1], "Lobby: inbzSetLobbyWidth({lobbyWidth:2});inbzShowMouseOrTouchpadPopUp();");
    EXPECT_FALSE(gh.peoplePanel.visible);
    EXPECT_FALSE(gh.matchSettingsPanel.visible);
    EXPECT_FALSE(gh.inTutorial);
    EXPECT_FALSE(gh.tutResultPanel.visible);
    EXPECT_EQ(std::vector<std::string>(first.begin() + 4, first.end()),
              (std::vector<std::string>{"refresh TopBox", "refresh BioTut", "refresh Tasks", "refresh Replays", kHideBreak,
                                        kHideBallOn}));
    const std::vector<std::string> again = change(STATE_CONNECTING, STATE_LOBBY);
    EXPECT_EQ(again[1], "Lobby: inbzSetLobbyWidth({lobbyWidth:2});");
}

TEST_F(StateChange, TableStatesRefreshOpenDialogsInOrder) {
    GameHandler& gh = getGameHandler();
    // GameSettings wins over People, which wins over BioTut.
    gh.gameSettingsPanel.visible = gh.peoplePanel.visible = gh.bioTutPanel.visible = true;
    gh.invitesPanel.visible = gh.alertsPanel.visible = gh.cueStorePanel.visible = true;
    gh.inTutorial = true;  // the tutorial room has no StartMatch
    EXPECT_EQ(change(STATE_LOBBY, STATE_TABLE),
              (std::vector<std::string>{kEmptyTableButtons, "refresh BottomBox", "refresh TopBox", "refresh Invites",
                                        "refresh GameSettings",
                                        "refresh CueStore", "refresh Alerts", kTopBox}));
    gh.gameSettingsPanel.visible = false;
    const std::vector<std::string> people = change(STATE_LOBBY, STATE_GAME);
    EXPECT_EQ(people[3], "refresh People");
}

TEST_F(StateChange, CoinTossOpensAfterSixTenths) {
    GameHandler& gh = getGameHandler();
    gh.now = 12.0;
    change(STATE_TABLE, STATE_COIN_TOSS);
    EXPECT_DOUBLE_EQ(gh.coinTossOpenTime, 12.6);
}

TEST_F(StateChange, LoginTicksAreSetOnlyOnTheFirstEntry) {
    loginStateTicks = 0;
    change(STATE_STARTUP, STATE_LOGIN);
    const uint32_t first = loginStateTicks;
    loginStateTicks = 7;
    change(STATE_LOBBY, STATE_LOGIN);
    EXPECT_EQ(loginStateTicks, 7u);
    (void)first;
}

TEST_F(StateChange, OffThreadChangeIsPostedForTheMainThread) {
    markStateMainThread();
    appState = STATE_CONNECTING;
    record.clear();
    std::thread receiver([] { changeState(STATE_LOGIN); });
    receiver.join();
    EXPECT_EQ(appState.load(), STATE_CONNECTING);
    EXPECT_TRUE(record.empty());
    applyPostedStateChanges();
    EXPECT_EQ(appState.load(), STATE_LOGIN);
    EXPECT_EQ(record, (std::vector<std::string>{"refresh Login", "Login: focusUserName();"}));
    applyPostedStateChanges();
    EXPECT_EQ(record.size(), 2u);
}

}  // namespace
