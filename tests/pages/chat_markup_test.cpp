// Hostile chat in the real Lobby and BottomBox pages: the statements the client builds from chat of
// every class run no script the text brings, still show the text, and keep the server's formatting,
// its web links (through the client's link request) and the client's own chat buttons.
#include "page_harness.h"

#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/page_statements.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "tools/testserver/local_lobby.h"

#include <algorithm>
#include <map>
#include <utility>

namespace pagetest {
namespace {

// Every handler here reports through the page's own request channel and a page variable.
const std::string kRun = "window.__bzRan=(window.__bzRan||0)+1;window.cefQuery({request:'{&quot;bzRan&quot;:1}'})";

std::string hostile(const std::string& visible) {
    return "<b>" + visible + "</b><img src=x onerror=\"" + kRun + "\">"
           "<iframe srcdoc=\"<script>parent.__bzRan=1;parent.cefQuery({request:'{&quot;bzRan&quot;:2}'})</script>\"></iframe>"
           "<details open ontoggle=\"" + kRun + "\"><summary>s</summary></details>"
           "<span onmouseover=\"" + kRun + "\">hover</span><svg onload=\"" + kRun + "\"></svg>"
           "<a href=\"javascript:" + kRun + "\">js</a><script>" + kRun + "</script>"
           "<style>*{background:url(http://127.0.0.1:9/x)}</style><form action=x><button>b</button></form>"
           "<a href=\"#\" onclick=\"sendButtonPress('logout')\">press</a>"
           "<span id=\"chat_input\" class=\"pop-back\" style=\"position:fixed;inset:0;color:red\">cover</span>";
}

class ChatMarkupTest : public PageTest {
protected:
    // The statements the client makes for one chat line, for the lobby and for the table chat.
    std::vector<RecordingPageScriptSink::Entry> statementsFor(const Message& chat) {
        RecordingPageScriptSink pages;
        PageScriptSink* previous = setPageScriptSink(&pages);
        const AppState state = appState.load();
        appState = STATE_LOBBY;
        getGameHandler().displayChatMessage(chat, false);
        getGameHandler().displayChatMessage(chat, true);
        appState = state;
        setPageScriptSink(previous);
        return pages.entries();
    }

    // Runs the statements for the window in the view, then gives every handler its chance.
    void runAll(View& view, HtmlWindow window, const std::vector<RecordingPageScriptSink::Entry>& entries) {
        RunEach(view, window, entries);
        Eval(view, "(function () { document.querySelectorAll('.line, .line *').forEach(function (e) {"
                   "['mouseover', 'mouseenter', 'focus'].forEach(function (k) { e.dispatchEvent(new Event(k, {bubbles: true})); }); });"
                   "document.querySelectorAll('.line a').forEach(function (a) { if (!a.hasAttribute('data-press')) a.click(); }); })()");
        PumpFor(600);  // image errors, toggles and frames load after the statement
    }

    static int Ran(View& view) {
        int n = 0;
        for (const auto& q : view.queries().queries) n += ParseRequest(q.request).contains("bzRan");
        return n;
    }
};

TEST_F(ChatMarkupTest, HostileChatOfEveryClassRunsNoScriptAndShowsItsText) {
    GameSettings& settings = getGameHandler().gameSettings;
    settings.bigBreakBroadcasts = settings.tableChatUserInOut = settings.tournamentBroadcasts = 1;
    View& lobby = Open("Lobby");
    View& bottom = Open("BottomBox");
    for (int k = 0; k <= 12; ++k) {
        const std::string mark = "Visible" + std::to_string(k);
        const Message chat = Message::initChat(uint32_t(100 + k), 1, static_cast<ChatClass>(k), 0, "Eve", 0,
                                               hostile(mark + "a"), "P<img src=x onerror=\"" + kRun + "\">",
                                               hostile(mark + "b"), "Q", hostile(mark + "c"));
        const auto entries = statementsFor(chat);
        runAll(lobby, HtmlWindow::Lobby, entries);
        runAll(bottom, HtmlWindow::BottomBox, entries);
        for (View* view : {&lobby, &bottom}) {
            const HtmlWindow window = view == &lobby ? HtmlWindow::Lobby : HtmlWindow::BottomBox;
            if (std::none_of(entries.begin(), entries.end(), [&](const auto& e) { return e.window == window; })) continue;
            const std::string shown = Eval(*view, "(function () { var l = document.querySelectorAll('.line[data-id=\"" +
                                                      std::to_string(100 + k) + "\"]'); return l.length ? l[l.length - 1].textContent : ''; })()")
                                          .get<std::string>();
            for (const char* part : {"a", "b", "c"}) EXPECT_NE(shown.find(mark + part), std::string::npos) << view->info.htmlId << " class " << k << ": " << shown;
        }
    }
    for (View* view : {&lobby, &bottom}) {
        EXPECT_EQ(Ran(*view), 0) << view->info.htmlId;
        EXPECT_EQ(Eval(*view, "window.__bzRan || 0"), Json(0)) << view->info.htmlId;
        EXPECT_EQ(Eval(*view, "document.querySelectorAll('.line img, .line iframe, .line script, .line style, .line svg, "
                              ".line form, .line details, .line [onclick], .line [onmouseover], .line [id=chat_input], "
                              ".line .pop-back, .line [style*=fixed]').length"),
                  Json(0))
            << view->info.htmlId;
        EXPECT_EQ(Eval(*view, "document.querySelectorAll('.line a[href^=javascript]').length"), Json(0)) << view->info.htmlId;
        for (const Json& r : view->Requests()) EXPECT_NE(r.value("buttonInfo", ""), "logout") << view->info.htmlId;
    }
}

// A server notice that parses to a document without a body sanitises to nothing; the line still shows.
TEST_F(ChatMarkupTest, ANoticeThatOpensWithAFramesetIsShownAsText) {
    View& bottom = Open("BottomBox");
    for (int k = 2; k <= 10; ++k) {
        const std::string mark = "Framed" + std::to_string(k);
        const Message chat = Message::initChat(uint32_t(200 + k), 1, static_cast<ChatClass>(k), 0, "", 0,
                                               "<frameset>" + mark + "</frameset>", "", "", "", "");
        bool sent = false;
        for (const auto& e : statementsFor(chat)) {
            if (e.window != HtmlWindow::BottomBox) continue;
            sent = true;
            EXPECT_EQ(Run(bottom, e.statement), "") << "class " << k;
        }
        if (!sent) continue;
        EXPECT_NE(Eval(bottom, "document.querySelector('.line[data-id=\"" + std::to_string(200 + k) + "\"]').textContent")
                      .get<std::string>()
                      .find(mark),
                  std::string::npos)
            << "class " << k;
    }
}

// Markup that the sanitiser takes apart whole, text and all, shows as text in both chat pages, alone
// or after words of its own; what it carries runs nowhere.
TEST_F(ChatMarkupTest, MarkupThatLosesWordsToTheSanitiserIsShownAsText) {
    const std::pair<std::string, std::string> dropped[] = {
        {"Final tonight: ", "<b is=\"foo\">bar</b>"},
        {"ana says ", "<A\u00A0HREF=\"http://example.com/\">XSS</A>"},
        {"Sign up: ", "<form><input name=\"attributes\"><input name=\"nodeName\"><img src=x onerror=\"" + kRun + "\">Join us</form>"},
    };
    std::vector<std::string> cases;
    for (const auto& [lead, markup] : dropped) {
        cases.push_back(markup);
        cases.push_back(lead + markup);
    }
    for (const char* page : {"Lobby", "BottomBox"}) {
        View& view = Open(page);
        int id = 300;
        for (const std::string& text : cases) {
            ++id;
            EXPECT_EQ(Run(view, JsObject()
                                    .number("entryId", id)
                                    .number("chatClass", 6)
                                    .text("sender", "")
                                    .text("text1", text)
                                    .text("playerName1", "pn")
                                    .text("text2", "")
                                    .text("playerName2", "")
                                    .text("text3", "")
                                    .call("inbzAddTextToChat")),
                      "");
            // The line's first text, after its time.
            EXPECT_EQ(Eval(view, "document.querySelector('.line[data-id=\"" + std::to_string(id) +
                                     "\"] > span:nth-child(2)').textContent"),
                      Json(text))
                << page << ": " << text;
        }
        PumpFor(300);  // an image that would load or fail has had its time
        EXPECT_EQ(Ran(view), 0) << page;
        EXPECT_EQ(Eval(view, "document.querySelectorAll('.line img, .line form, .line input').length"), Json(0)) << page;
    }
}

// What no page ever shows (a style's or script's body, an svg title, noscript) counts for neither
// side, before or after the words: the line keeps its markup and its visible words, and runs nothing.
TEST_F(ChatMarkupTest, ElementsNeverShownDoNotTurnALineIntoText) {
    const std::string hidden[] = {"<style>b{color:red}</style>", "<script>" + kRun + "</script>",
                                  "<svg><title>t</title></svg>", "<noscript>n</noscript>"};
    for (const char* page : {"Lobby", "BottomBox"}) {
        View& view = Open(page);
        int id = 400;
        for (const std::string& h : hidden) {
            const std::pair<std::string, std::string> lines[] = {{"Final <b>tonight</b> " + h, "Final tonight"},
                                                                 {h + "Welcome <b>all</b>", "Welcome all"}};
            for (const auto& [text, words] : lines) {
                ++id;
                EXPECT_EQ(Run(view, JsObject().number("entryId", id).number("chatClass", 6).text("sender", "")
                                        .text("text1", text).text("playerName1", "").text("text2", "")
                                        .text("playerName2", "").text("text3", "").call("inbzAddTextToChat")),
                          "");
                // The bold word stays markup, the words show and no tag shows as text.
                const std::string line = "document.querySelector('.line[data-id=\"" + std::to_string(id) + "\"] > span:nth-child(2)')";
                const Json shown = Eval(view, "[" + line + ".querySelectorAll('b').length, /[<>]/.test(" + line + ".textContent), " +
                                                  line + ".textContent.indexOf(" + Json(words).dump() + ") >= 0]");
                EXPECT_EQ(shown, Json::parse("[1, false, true]")) << page << ": " << text;
            }
        }
        PumpFor(300);
        EXPECT_EQ(Ran(view), 0) << page;
    }
}

// The two copies of a whisper, as the local lobby sends them and the client shows them, read the
// same words: the one named and the sender see the sender's text as text, whatever it holds.
TEST_F(ChatMarkupTest, BothCopiesOfAWhisperShowTheSameText) {
    LocalLobby lobby("Players Lounge");
    lobby.onMessage(1, "alice", Message(MessageId::LOGIN_OK));
    lobby.onMessage(2, "bob", Message(MessageId::LOGIN_OK));
    View& lobbyPage = Open("Lobby");
    View& bottom = Open("BottomBox");
    const char* said[] = {"psst, <b>bob</b>", "fish &amp; chips & <i>peas</i>", "it's \"<br>\" \\ done",
                          "<img src=x onerror=\"alert(1)\">seen"};
    for (const char* text : said) {
        SCOPED_TRACE(text);
        const auto out = lobby.onMessage(1, "alice", Message::initChat(9, 0, ChatClass::CHAT, 0, "alice", 0,
                                                                        std::string("/w bob ") + text, "", "", "", ""));
        std::map<int, Message> copies;
        for (const OutgoingMessage& m : out)
            if (m.message.id == MessageId::CHAT_MESSAGE) copies[m.connection] = m.message;
        ASSERT_EQ(copies.size(), 2u);
        const std::pair<int, std::string> expected[] = {{2, "alice whispers: "}, {1, "alice whispers: (to bob) "}};
        for (const auto& [connection, lead] : expected) {
            const Message& copy = copies.at(connection);
            const auto entries = statementsFor(copy);
            for (View* view : {&lobbyPage, &bottom}) {
                const HtmlWindow window = view == &lobbyPage ? HtmlWindow::Lobby : HtmlWindow::BottomBox;
                RunEach(*view, window, entries);
                // The line's text after its time.
                const std::string shown = "(function () { var l = document.querySelectorAll('.line[data-id=\"" +
                                          std::to_string(copy.iid) + "\"]'); l = l[l.length - 1]; return "
                                          "l.textContent.slice(l.querySelector('.time').textContent.length); })()";
                EXPECT_EQ(Eval(*view, shown), Json(lead + text)) << view->info.htmlId << ", connection " << connection;
            }
        }
    }
}

TEST_F(ChatMarkupTest, ServerFormattingLinksAndTheClientsOwnButtonsStay) {
    View& bottom = Open("BottomBox");
    const Message notice = Message::initChat(7, 1, ChatClass::LOBBY, 0, "", 0,
                                             "<b>Bold</b> <i>it</i><br><font color=\"#ff0000\">red</font> "
                                             "<span style=\"color: blue; position: fixed\">blue</span> "
                                             "<a href=\"https://www.example.org/news\">news</a>",
                                             "", "", "", "");
    runAll(bottom, HtmlWindow::BottomBox, statementsFor(notice));
    EXPECT_EQ(Eval(bottom, "[document.querySelectorAll('.line b, .line i, .line br, .line font[color]').length, "
                           "document.querySelector('.line span[style]').getAttribute('style')]"),
              Json::parse(R"([4, "color: blue"])"));
    const size_t mark = bottom.Mark();
    ASSERT_TRUE(Click(bottom, ".line a[href^='https']"));
    const bool opened = PumpUntil([&] {
        for (const Json& r : bottom.Requests(mark))
            if (r == Json{{"requestName", "lobbyBrowseExternal"}, {"urlCode", "https://www.example.org/news"}}) return true;
        return false;
    });
    EXPECT_TRUE(opened) << "the link must open through the client's link request";

    const Message kred = Message::initChat(0, 1, ChatClass::LOCAL_NOTICE, 0, "", 0,
                                           "The Kred Box has opened! <span id=\"kboxCollectId1\"><a class=\"chatBut\" href=\"#\" "
                                           "onclick=\"sendButtonPress('kbox-collect');focusChat();\">Collect Kred</a></span>",
                                           "", "", "", "");
    RunEach(bottom, HtmlWindow::BottomBox, statementsFor(kred));
    const size_t before = bottom.Mark();
    ASSERT_TRUE(Click(bottom, "#kboxCollectId1 a.chatBut"));
    bool pressed = false;
    for (const Json& r : bottom.Requests(before)) pressed |= r.value("buttonInfo", "") == "kbox-collect";
    EXPECT_TRUE(pressed) << "the Kred Box button must still collect";
}

}  // namespace
}  // namespace pagetest
