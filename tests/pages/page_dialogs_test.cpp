// The dialogs over the table and the lobby: nothing below reads through them, a blocked user's dot
// tells whether they are online, the bio shows what it is sent and its Block button follows the
// blocked list, and the tutorial offers the start of an exercise only while the lobby runs the topic.
#include "page_harness.h"
#include "page_statements.h"

#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "net/connection_handler.h"

namespace pagetest {
namespace {

// The client's own dispatch, logged in as Ada, with its page statements recorded instead of run.
struct RecordedClient {
    RecordedClient() : previousHandler(connectionHandler), previousSink(setPageScriptSink(&recorded)), state(appState.load()) {
        handler.userName = "Ada";
        connectionHandler = &handler;
        appState = STATE_LOBBY;
    }
    ~RecordedClient() {
        appState = state;
        setPageScriptSink(previousSink);
        connectionHandler = previousHandler;
    }
    // The statements made since the last call.
    std::vector<RecordingPageScriptSink::Entry> take() {
        std::vector<RecordingPageScriptSink::Entry> e = recorded.entries();
        recorded.clear();
        return e;
    }

    ConnectionHandler handler;
    ConnectionHandler* previousHandler;
    RecordingPageScriptSink recorded;
    PageScriptSink* previousSink;
    AppState state;
    GameHandler& gh = getGameHandler();
};

Message infoMessage(int code, int valueA = 0, std::vector<std::string> texts = {}) {
    Message m = Message::initInfo(90, code, valueA, 0, "", "");
    m.textList = std::move(texts);
    return m;
}

class PageDialogsTest : public PageTest {
protected:
    // Pixels inside the dialog (clear of its rounded corners) that are not fully opaque.
    static int SeeThrough(const View& v) {
        int n = 0;
        for (int y = 12; y < v.render->paintHeight - 12; y += 4) {
            for (int x = 12; x < v.render->paintWidth - 12; x += 4) n += v.render->Pixel(x, y)[3] < 255;
        }
        return n;
    }
};

TEST_F(PageDialogsTest, DialogsAreOpaque) {
    View& people = Open("People");
    ASSERT_EQ(Run(people, kUserName + kTableInfo + "inbzOpenPeople({userToBlock:''});"), "");
    View& bio = Open("BioTut");
    ASSERT_EQ(Run(bio, "inbzOpenTut({topic:1});"), "");
    for (View* v : {&people, &bio}) {
        Settle(*v);
        EXPECT_EQ(SeeThrough(*v), 0) << v->info.htmlId;
    }
}

TEST_F(PageDialogsTest, ABlockedUserAtTheTableIsShownOnline) {
    View& people = Open("People");
    // Cy plays at the table, Eve is listed in another lobby, Yan is nowhere.
    ASSERT_EQ(Run(people, kUserName + kTableInfo + kUserListX + "inbzUpdateMutedUsers(['Cy',1,'Eve',1,'Yan',1,]);"
                          "document.querySelector('[data-tab=blocked]').click();"), "");
    EXPECT_EQ(Eval(people, "Array.prototype.map.call(document.querySelectorAll('#list .user .dot'), function (e) {"
                           " return e.className; })"),
              Json::parse(R"(["dot ","dot dnd","dot off"])"));
}

TEST_F(PageDialogsTest, TheBioShowsTheNameCountryAndTextAndNoFiguresFromTheElementsAfterThem) {
    View& bio = Open("BioTut");
    ASSERT_EQ(Run(bio, "inbzOpenBio(['Cy','0','2','Wales','Hello',1250,'7',]);"), "");
    EXPECT_EQ(Eval(bio, "['bio_nick', 'bio_country', 'bio_about'].map(function (id) {"
                        " return document.getElementById(id).textContent; })"
                        ".concat(document.querySelectorAll('#bio_stats .stat').length)"),
              Json::parse(R"(["Cy","Wales","Hello",0])"));
}

// The bio's Block and Unblock follow the blocked list, in the bio open as it changes and in one opened
// after: the client's dispatch, the Lobby's answer for the bio and the client's handling of it.
TEST_F(PageDialogsTest, TheBioOffersUnblockOnceItsUserIsBlockedAndBlockOnceUnblocked) {
    View& lobby = Open("Lobby");
    View& bio = Open("BioTut");
    ASSERT_EQ(Run(lobby, kUserName), "");
    ASSERT_EQ(Run(bio, kUserName), "");
    RecordedClient client;
    const auto deliver = [&] {
        const std::vector<RecordingPageScriptSink::Entry> sent = client.take();
        const size_t mark = lobby.Mark();
        ASSERT_TRUE(RunEach(lobby, HtmlWindow::Lobby, sent));
        ASSERT_TRUE(RunEach(bio, HtmlWindow::BioTut, sent));
        // The Lobby answers each look-up of the bio's user; the client turns it into the bio's buttons.
        size_t asked = 0;
        for (const auto& e : sent) asked += e.window == HtmlWindow::Lobby && e.statement.rfind("inbzGetUserInfo(", 0) == 0;
        ASSERT_TRUE(PumpUntil([&] {
            size_t answered = 0;
            for (const Json& r : lobby.Requests(mark)) answered += r.value("buttonInfo", "") == "user-info";
            return answered == asked;
        }));
        for (const Json& r : lobby.Requests(mark)) {
            if (r.value("buttonInfo", "") != "user-info") continue;
            client.gh.buttonPress("user-info", r.value("idata1", 0), r.value("sdata1", ""));
        }
        ASSERT_TRUE(RunEach(bio, HtmlWindow::BioTut, client.take()));
    };
    const std::string offered = "[!document.getElementById('b_block').classList.contains('hidden'),"
                                " !document.getElementById('b_unblock').classList.contains('hidden')]";
    client.gh.closeBio();
    client.gh.openBio({"Cy", "0", "2", "Wales", "Hello"});
    deliver();
    EXPECT_EQ(Eval(bio, offered), Json::parse("[true,false]"));
    struct Step {
        const char* what;
        std::vector<std::string> blocked;
        bool reopen;
        const char* offered;
    };
    for (const Step& step : {Step{"blocked", {"Cy", "1"}, false, "[false,true]"},
                             Step{"opened again", {"Cy", "1"}, true, "[false,true]"},
                             Step{"unblocked", {}, false, "[true,false]"}}) {
        SCOPED_TRACE(step.what);
        if (step.reopen) {
            client.gh.closeBio();
            client.gh.openBio({"Cy", "0", "2", "Wales", "Hello"});
        } else {
            client.gh.processMessage(infoMessage(87, 0, step.blocked));
        }
        deliver();
        EXPECT_EQ(Eval(bio, offered), Json::parse(step.offered));
    }
    client.gh.closeBio();
}

TEST_F(PageDialogsTest, TheTutorialOffersTheStartOnlyForTheTopicTheLobbyRuns) {
    View& tut = Open("BioTut");
    ASSERT_EQ(Run(tut, "inbzOpenTut({topic:2});"), "");
    const std::string shown = "[!document.getElementById('b_tut_start').classList.contains('hidden'),"
                              " !document.getElementById('tut_wait').classList.contains('hidden')]";
    EXPECT_EQ(Eval(tut, shown), Json::parse("[true,false]"));
    // Another topic is asked for; until the lobby sets it up, its start is not offered.
    ASSERT_TRUE(Click(tut, "#tut_topics .item:nth-child(3)"));
    EXPECT_EQ(Eval(tut, shown), Json::parse("[false,true]"));
    ASSERT_EQ(Run(tut, "inbzOpenTut({topic:3});"), "");
    EXPECT_EQ(Eval(tut, shown), Json::parse("[true,false]"));
}

// The lobby's topic ends in four ways; after each, the open Tutorial window no longer offers its start.
TEST_F(PageDialogsTest, TheTutorialNoLongerOffersTheStartOfATopicThatHasEnded) {
    View& tut = Open("BioTut");
    RecordedClient client;
    const std::string shown = "[!document.getElementById('b_tut_start').classList.contains('hidden'),"
                              " !document.getElementById('tut_wait').classList.contains('hidden')]";
    for (const auto& [code, end] : {std::pair{20, "cancelled"}, {21, "passed"}, {22, "failed"}, {14, "left"}}) {
        SCOPED_TRACE(end);
        client.gh.processMessage(infoMessage(12, 1));
        client.gh.processMessage(infoMessage(16, 2));
        ASSERT_TRUE(RunEach(tut, HtmlWindow::BioTut, client.take()));
        EXPECT_EQ(Eval(tut, shown), Json::parse("[true,false]"));
        client.gh.processMessage(infoMessage(code));
        ASSERT_TRUE(RunEach(tut, HtmlWindow::BioTut, client.take()));
        EXPECT_EQ(Eval(tut, shown), Json::parse("[false,true]"));
        EXPECT_EQ(Eval(tut, "document.getElementById('tut_title').textContent"), "2. Power");
    }
    client.gh.closeBio();
}

}  // namespace
}  // namespace pagetest
