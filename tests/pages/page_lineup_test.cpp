// The BottomBox page fed the statements the client's own dispatch makes on the way from a line-up
// practice table, out to the lobby and into a plain one: the page offers the line-up again there.
#include "page_harness.h"
#include "page_statements.h"

#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "net/connection_handler.h"

namespace pagetest {
namespace {

class PageLineUpTest : public PageTest {};

Message tableList(int id, const std::string& name) {
    TableListEntry t;
    t.tableId = id;
    t.tableName = name;
    t.tableType = 1;
    t.gameType = 1;
    t.bestOf = 1;
    t.player1 = t.player2 = "Ada";
    t.viewers = {"Ada"};
    Message m(MessageId::TABLE_LIST_INFO, 40);
    m.tables = {t};
    return m;
}

Message ownMove(MessageId id, uint32_t iid) {
    Message m(id, iid);
    m.userName = "Ada";
    return m;
}

TEST_F(PageLineUpTest, ThePlainTableAfterALineUpTableOffersTheLineUp) {
    ConnectionHandler handler;
    handler.userName = "Ada";
    ConnectionHandler* previousHandler = connectionHandler;
    connectionHandler = &handler;
    RecordingPageScriptSink recorded;
    PageScriptSink* previousSink = setPageScriptSink(&recorded);
    const AppState state = appState.load();
    appState = STATE_LOBBY;
    GameHandler& gh = getGameHandler();
    // The three stops of the way; the page takes each one's statements before it is looked at.
    std::vector<std::vector<RecordingPageScriptSink::Entry>> stops;
    gh.processMessage(ownMove(MessageId::ENTER_TABLE_INFO, 41));
    gh.processMessage(tableList(4, "(l12)Drill"));
    stops.push_back(recorded.entries());
    recorded.clear();
    gh.processMessage(ownMove(MessageId::EXIT_TABLE_INFO, 42));
    stops.push_back(recorded.entries());
    recorded.clear();
    gh.processMessage(ownMove(MessageId::ENTER_TABLE_INFO, 43));
    gh.processMessage(tableList(5, "Plain"));
    stops.push_back(recorded.entries());
    appState = state;
    setPageScriptSink(previousSink);
    connectionHandler = previousHandler;

    View& bar = Open("BottomBox");
    ASSERT_EQ(Run(bar, kUserName), "");
    const std::string shown = "!document.getElementById('b_lineup').classList.contains('hidden')";
    const bool shownAt[] = {false, false, true};
    for (size_t i = 0; i < stops.size(); ++i) {
        ASSERT_TRUE(RunEach(bar, HtmlWindow::BottomBox, stops[i]));
        if (i != 1) {
            EXPECT_EQ(Eval(bar, shown), shownAt[i]) << "stop " << i;
        }
    }
}

}  // namespace
}  // namespace pagetest
