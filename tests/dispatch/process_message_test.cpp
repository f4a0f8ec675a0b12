// The dispatch's two switches, its log lines, and chat held back while the balls move.
#include "client/gamehandler/state_change.h"
#include "dispatch/info_routes.h"
#include "dispatch/process_message.h"
#include "dispatch_support.h"

#include <set>

namespace {

using bztest::DispatchTest;

// The INFO codes that have a handler.
const std::set<int> kHandledCodes = {1,  2,  3,  5,  7,  12, 14, 16, 17, 20, 21, 22, 24, 26, 27, 28, 29, 30, 33, 34, 35,
                                     36, 38, 39, 40, 41, 42, 43, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 59,
                                     63, 65, 67, 69, 70, 71, 73, 77, 80, 81, 82, 85, 86, 87, 88, 89, 92, 96, 98};

TEST_F(DispatchTest, EveryInfoCodeIsRoutedOrTakesTheFallbackLine) {
    ASSERT_EQ(kHandledCodes.size(), 61u);
    EXPECT_EQ(infoRouteCount(), 61);
    for (int code = -2; code <= 130; ++code) {
        const bool handled = kHandledCodes.count(code) != 0;
        EXPECT_EQ(findInfoRoute(code) != nullptr, handled) << code;
    }
    for (int code : {0, 4, 44, 97, 99, 1000, -1, INT32_MIN}) {
        const size_t before = logLines().size();
        gh.processMessage(Message::initInfo(5, code, 0, 0, "", ""));
        const std::vector<std::string> lines = logLines();
        ASSERT_EQ(lines.size(), before + 2) << code;
        EXPECT_EQ(lines[before], "processMessage: id=1000 iid=5");
        EXPECT_EQ(lines[before + 1], "processMessage: ERROR: Unknown INFO message code: " + std::to_string(code));
    }
    EXPECT_TRUE(pages.entries().empty());
}

TEST_F(DispatchTest, RoutedInfoCodesLogTheirNames) {
    const std::pair<int, const char*> named[] = {
        {1, "SERVER_INFO"}, {3, "LOGOUT"}, {12, "ENTER_TUTCH_INFO"}, {38, "TOURNEY_INFO"}, {92, "BIO_DATA_USER_TYPE"}};
    for (auto [code, name] : named) {
        gh.processMessage(Message::initInfo(9, code, 0, 0, "", ""));
        EXPECT_EQ(log.count(std::string("processMessage: INFO received: ") + name + "\n"), 1) << code;
    }
    EXPECT_EQ(log.count("ERROR"), 0);
}

TEST_F(DispatchTest, IdsWithoutACaseWriteOnlyTheEntryLine) {
    for (MessageId id : {MessageId::LOGOUT_REQ, MessageId::TABLE_SETTINGS_INFO, MessageId::TABLE_SETTINGS_REQ,
                         MessageId::ENTER_TABLE_REQ, MessageId::HELLO, static_cast<MessageId>(2000)}) {
        const size_t before = logLines().size();
        gh.processMessage(Message(id, 31));
        const std::vector<std::string> lines = logLines();
        ASSERT_EQ(lines.size(), before + 1);
        EXPECT_EQ(lines.back(), "processMessage: id=" + std::to_string(static_cast<int>(id)) + " iid=31");
    }
    EXPECT_TRUE(pages.entries().empty());
    EXPECT_TRUE(sounds.played.empty());
}

TEST_F(DispatchTest, ChatIsLoggedAndShownAtOnceWhileTheBallsRest) {
    Message line = chat(ChatClass::LOBBY, 0, "it's <b>on</b>", "Bob", 1);
    line.playerName1 = "P1";
    line.text2 = "t2";
    gh.processMessage(line);
    EXPECT_EQ(log.count("processMessage: CHAT_MESSAGE received: text1='it's <b>on</b>', playerName1='P1', text2='t2'"),
              1);
    EXPECT_EQ(chatLines(HtmlWindow::Lobby), 1u);
    EXPECT_TRUE(gh.deferredChatMessages.empty());
}

TEST_F(DispatchTest, DeferrableChatWaitsForTheBallsAndComesInArrivalOrder) {
    gh.table.balls[3].vx = 120.0;  // a ball rolls
    gh.now = 100.0;
    gh.processMessage(chat(ChatClass::LOBBY, 0, "first", "Bob", 1, 1));
    gh.processMessage(chat(ChatClass::LOBBY, 0, "now", "Bob", 0, 2));
    gh.table.balls[3].vx = 0.0;
    gh.table.balls[5].fallingInPocket = true;  // still settling
    gh.processMessage(chat(ChatClass::LOBBY, 0, "second", "Bob", 1, 3));
    std::vector<std::string> lobby = pages.statementsFor(HtmlWindow::Lobby);
    ASSERT_EQ(lobby.size(), 1u);
    EXPECT_NE(lobby[0].find("text1: 'now'"), std::string::npos);
    ASSERT_EQ(gh.deferredChatMessages.size(), 2u);

    gh.processMessageQueue();  // balls still settling: held
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby).size(), 1u);

    gh.table.balls[5].fallingInPocket = false;
    gh.processMessageQueue();  // at rest, nothing parked: shown, each once, in order
    gh.processMessageQueue();
    lobby = pages.statementsFor(HtmlWindow::Lobby);
    ASSERT_EQ(lobby.size(), 3u);
    EXPECT_NE(lobby[1].find("entryId: 1,"), std::string::npos);
    EXPECT_NE(lobby[2].find("entryId: 3,"), std::string::npos);
    EXPECT_TRUE(gh.deferredChatMessages.empty());
}

TEST_F(DispatchTest, AParkedStatusHoldsChatButNotForever) {
    gh.table.balls[0].vz = 5.0;
    gh.now = 50.0;
    gh.processMessage(chat(ChatClass::LOBBY, 0, "held", "Bob", 1));
    gh.table.balls[0].vz = 0.0;
    gh.statusPending = true;
    gh.now = 50.0 + MAX_CHAT_DEFERRAL_SECONDS - 0.5;
    gh.processMessageQueue();
    EXPECT_EQ(chatLines(HtmlWindow::Lobby), 0u);
    gh.now = 50.0 + MAX_CHAT_DEFERRAL_SECONDS;
    gh.processMessageQueue();  // the status never came: the chat is not lost with it
    EXPECT_EQ(chatLines(HtmlWindow::Lobby), 1u);
}

TEST_F(DispatchTest, LeavingTheTableDropsHeldChatAndTheParkedStatus) {
    GameHandler& shared = getGameHandler();
    appState = STATE_GAME;
    shared.table.balls[2].vx = 1.0;
    shared.processMessage(chat(ChatClass::CHAT, 4, "gg", "Bob", 1));
    shared.statusPending = true;
    ASSERT_EQ(shared.deferredChatMessages.size(), 1u);
    changeState(STATE_TABLE);  // still at the table
    EXPECT_EQ(shared.deferredChatMessages.size(), 1u);
    changeState(STATE_LOBBY);
    EXPECT_TRUE(shared.deferredChatMessages.empty());
    EXPECT_FALSE(shared.statusPending);
    shared.table.balls[2].vx = 0.0;
}

TEST_F(DispatchTest, TheInstalledDispatchTakesTheDrainedMessages) {
    const MessageProcessor previous = setMessageProcessor(nullptr);
    installMessageDispatch();
    handler.messageReceived(Message::initInfo(12, 99, 0, 0, "", ""));
    gh.processMessageQueue();
    setMessageProcessor(previous);
    EXPECT_EQ(log.count("processMessage: id=1000 iid=12"), 1);
    EXPECT_EQ(log.count("Unknown INFO message code: 99"), 1);
}

}  // namespace
