#include "client/gamehandler/game_handler.h"
#include "core/page_script.h"
#include "net/connection_handler.h"
#include "client/panels/settings_panels.h"

#include <gtest/gtest.h>

namespace {

class SettingsPanelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousSink = setPageScriptSink(&pages);
        // Requests are numbered by the connection; not connected, they go nowhere.
        if (connectionHandler == nullptr) connectionHandler = new ConnectionHandler();
    }
    void TearDown() override { setPageScriptSink(previousSink); }

    GameHandler gh;
    RecordingPageScriptSink pages;
    PageScriptSink* previousSink = nullptr;
};

TEST_F(SettingsPanelsTest, MatchSettingsShowTheTablesValues) {
    gh.isHost = true;
    gh.table.tableType = 1;
    gh.table.arena = 0;
    gh.table.status.gameType = 1;
    gh.table.status.bestOf = 3;
    gh.table.status.maxShotTime = 90;
    gh.table.status.maxPointsBehind = 10;
    gh.openMatchSettings();
    EXPECT_EQ(pages.statementsFor(HtmlWindow::GameSettings),
              std::vector<std::string>{"inbzOpenMatchSettings({isHost: 1,difficulty: 1,gameType: 1,matchLength: 3,"
                                       "autoConcedeLimit: 10,arena: 0,shotTimeLimit: 90,});"});
}

TEST_F(SettingsPanelsTest, OpenTimes) {
    gh.now = 10.0;
    gh.openMatchSettings();
    EXPECT_TRUE(gh.matchSettingsPanel.visible);
    EXPECT_DOUBLE_EQ(gh.matchSettingsPanel.openedAt, 10.6);
    gh.now = 10.3;
    gh.openMatchSettings();  // a second opening restarts the delay
    EXPECT_DOUBLE_EQ(gh.matchSettingsPanel.openedAt, 10.9);
    gh.openGameSettings();
    EXPECT_DOUBLE_EQ(gh.gameSettingsPanel.openedAt, 10.9);
    gh.now = 11.0;
    gh.openGameSettings();  // already open: not delayed again
    EXPECT_DOUBLE_EQ(gh.gameSettingsPanel.openedAt, 10.9);
    gh.openPeople("");
    EXPECT_DOUBLE_EQ(gh.peoplePanel.openedAt, 11.6);
}

TEST_F(SettingsPanelsTest, LobbyMaskAndClosers) {
    struct Case {
        const char* what;
        void (*act)(GameHandler&);
        std::vector<std::string> lobby;
    } cases[] = {
        {"open game settings", [](GameHandler& g) { g.openGameSettings(); }, {"$('.lmask').show();"}},
        {"close game settings", [](GameHandler& g) { g.closeGameSettings(); }, {"$('.lmask').hide();"}},
        {"open my account", [](GameHandler& g) { g.openMyAccount(); }, {"$('.lmask').show();"}},
        {"close my account", [](GameHandler& g) { g.closeMyAccount(); }, {"$('.lmask').hide();"}},
        {"close match settings", [](GameHandler& g) { g.closeMatchSettings(); }, {}},
        {"close bio", [](GameHandler& g) { g.closeBio(); }, {"$('.lmask').hide();"}},
        {"close people", [](GameHandler& g) { g.closePeople(); }, {}},
    };
    for (const Case& c : cases) {
        pages.clear();
        c.act(gh);
        EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby), c.lobby) << c.what;
    }
    EXPECT_FALSE(gh.gameSettingsPanel.visible);
    EXPECT_FALSE(gh.myAccountPanel.visible);
}

TEST_F(SettingsPanelsTest, DialogsEndTheBottomBarsHoverAndPasteIsAKeyPress) {
    using Input = RecordingPageScriptSink::InputEntry;
    struct Case {
        const char* what;
        void (*act)(GameHandler&);
        std::vector<Input> inputs;
    } cases[] = {
        {"game settings", [](GameHandler& g) { g.openGameSettings(); }, {{HtmlWindow::BottomBox, PageInput::PointerReset}}},
        {"match settings", [](GameHandler& g) { g.openMatchSettings(); }, {{HtmlWindow::BottomBox, PageInput::PointerReset}}},
        {"people", [](GameHandler& g) { g.openPeople("x"); }, {{HtmlWindow::BottomBox, PageInput::PointerReset}}},
        {"my account", [](GameHandler& g) { g.openMyAccount(); }, {}},
        {"paste into the lobby", [](GameHandler& g) { g.pasteIntoBrowser(HtmlWindow::Lobby); }, {{HtmlWindow::Lobby, PageInput::Paste}}},
    };
    for (const Case& c : cases) {
        pages.clear();
        c.act(gh);
        EXPECT_EQ(pages.inputs(), c.inputs) << c.what;
    }
}

TEST_F(SettingsPanelsTest, NamesAndTextsAreEscaped) {
    gh.openPeople("");
    gh.openPeople("o'neil\\x");
    EXPECT_EQ(pages.statementsFor(HtmlWindow::People),
              (std::vector<std::string>{"inbzOpenPeople({userToBlock:''});",
                                        "inbzOpenPeople({userToBlock:'o\\'neil\\\\x'});"}));
    gh.saveMyAccount({"NL", "it's me\nline two", "1", "5", "20", "0", "60"});
    gh.openMyAccount();
    const auto sent = pages.statementsFor(HtmlWindow::GameSettings);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].rfind("inbzOpenMyAccount({country: 'NL',aboutMe: 'it\\'s me", 0), 0u);
    EXPECT_EQ(sent[0].find('\n'), std::string::npos);  // a line break would end the statement
    EXPECT_NE(sent[0].find("prefMaxShotTime: '60',});"), std::string::npos);

    gh.whisperPlayer("o'neil\\x");
    EXPECT_FALSE(gh.peoplePanel.visible);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox).back(), "inbzWhisperPlayer({ username: 'o\\'neil\\\\x'});");
}

TEST_F(SettingsPanelsTest, PrivacyAndResetKeepTheRightRecords) {
    gh.table.status.bestOf = 7;
    gh.changePrivacy(2);
    EXPECT_EQ(gh.table.getTableMode(), 2);
    EXPECT_EQ(gh.tablePrivacy, 2);
    EXPECT_EQ(tableMatchSettings(gh).matchLength, 7);

    gh.resetMatchSettings();
    EXPECT_TRUE(gh.matchSettingsPanel.visible);
    // The reopened panel shows the table, not the record just sent.
    const auto sent = pages.statementsFor(HtmlWindow::GameSettings);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_NE(sent[0].find("matchLength: 7,"), std::string::npos);
}

}  // namespace
