// The bridge on the recording fake browser: the fifteen windows and their start-up from the
// resource archive, the road of a query from a page to its handler and back, statements from any
// thread, hiding the windows that are not drawn, and what the requests do.
#include "core/app_status.h"
#include "core/archive.h"
#include "core/page_script.h"
#include "net/connection_handler.h"
#include "support/captured_log.h"
#include "support/spawn_recorder.h"
#include "tools/packer/archive_packer.h"
#include "ui/engine/backend.h"
#include "ui/engine/fake_backend.h"
#include "ui/engine/web_engine.h"
#include "ui/html_app.h"
#include "ui/html_requests.h"
#include "ui/html_windows.h"
#include "ui/query_dispatcher.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <thread>

using namespace bzweb;

namespace {

class HtmlBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetRequests();
        HtmlRenderHandler::resetSharedSizes(1024, 647, 280);
        auto fake = std::make_unique<FakeBackend>();
        fake_ = fake.get();
        ASSERT_TRUE(InitializeWithBackend(WebSettings{}, RefPtr<WebApp>(new HtmlApp(htmlRouterConfig())), std::move(fake)));
    }

    void TearDown() override {
        destroyHtmlWindows();
        Shutdown();
        resetRequests();
        ArchiveIndex::instance().useBuiltInTable();
        ArchiveIndex::instance().setBaseFolder("");
    }

    static void resetRequests() {
        HtmlRequests& r = getHtmlRequests();
        r.pendingHtmls.clear();
        r.queuePages({}, 0);
        r.htmlStarted = r.dragWindowRequested = r.maximizeRequested = r.povRequested = r.bottomBoxChanged = false;
        r.bottomBoxFullSize = true;
    }

    // Every page of the window table but the skipped one, each a little text of its own.
    void packPages(const std::string& skip = {}) {
        std::vector<PackMember> members;
        for (const HtmlWindowInfo& info : htmlWindowTable()) {
            if (info.page != skip) members.push_back({info.page, std::string("<html>") + info.name + "</html>"});
        }
        std::vector<ArchiveEntry> rows;
        std::string error;
        std::filesystem::create_directories(log_.dir() / "res");
        ASSERT_TRUE(writeArchive(members, (log_.dir() / "res" / "vidoda.dat").string(), rows, error)) << error;
        ArchiveIndex::instance().replaceTable(rows, "res/vidoda.dat");
        ArchiveIndex::instance().setBaseFolder(base());
    }

    std::string base() const { return log_.folder(); }
    int viewOf(HtmlWindow w) const { return htmlBrowser(w)->GetIdentifier(); }
    std::vector<std::string> hostCalls(HtmlWindow w) const { return fake_->view(viewOf(w)).hostCalls; }
    int count(HtmlWindow w, const std::string& call) const {
        auto calls = hostCalls(w);
        return int(std::count(calls.begin(), calls.end(), call));
    }
    // The page of window w sends a query; its answer is the view's last reply.
    std::string query(HtmlWindow w, const std::string& request) {
        fake_->InjectQuery(viewOf(w), ++queryId_, request);
        DoMessageLoopWork();
        auto replies = fake_->view(viewOf(w)).replies;
        return replies.empty() || replies.back().requestId != queryId_ ? std::string("(none)") : replies.back().text;
    }
    std::string started(HtmlWindow w) {
        return query(w, std::string("{\"requestName\":\"genericHtmlStarted\",\"htmlId\":\"") + htmlWindowName(w) + "\"}");
    }

    bztest::CapturedLog log_{"bzbridge"};
    FakeBackend* fake_ = nullptr;
    int64_t queryId_ = 0;
};

TEST_F(HtmlBridgeTest, PagesLoadOneAfterAnotherInCreationOrderAfterTheFirstDelay) {
    packPages();
    ASSERT_EQ(createHtmlWindows(base(), 280, 1000), 15);
    HtmlRequests& requests = getHtmlRequests();
    ASSERT_EQ(requests.pendingHtmls.size(), 15u);
    for (const HtmlWindowInfo& info : htmlWindowTable()) {
        EXPECT_EQ(fake_->view(viewOf(info.window)).hostCalls.at(0).rfind("create ", 0), 0u);
        EXPECT_NE(hostCalls(info.window).at(0).find("file://" + base() + "res/vidoda0.html"), std::string::npos);
    }
    EXPECT_EQ(hostCalls(HtmlWindow::BottomBox).at(0).substr(0, 16), "create 1024x280 ");

    EXPECT_EQ(requests.stepPageStartup(3221), PageStartupStep::Waiting);  // 2222 ms not yet over
    for (const HtmlWindowInfo& info : htmlWindowTable()) {
        SCOPED_TRACE(info.name);
        EXPECT_EQ(requests.stepPageStartup(3222 + 100 * int(info.window)), PageStartupStep::Loaded);
        DoMessageLoopWork();
        const std::string load = "loadString file://" + base() + info.page + " " +
                                 std::to_string(std::string("<html></html>").size() + std::strlen(info.name));
        EXPECT_EQ(hostCalls(info.window).back(), load);
        // No next page before this one reports its start.
        EXPECT_EQ(requests.stepPageStartup(3223 + 100 * int(info.window)), PageStartupStep::Waiting);
        EXPECT_EQ(started(info.window), "{\"result\":0}");
        EXPECT_EQ(count(info.window, "invalidate"), 1);
        EXPECT_EQ(requests.pendingHtmls.size(), size_t(HTML_WINDOW_COUNT - 1 - int(info.window)));
    }
    EXPECT_EQ(log_.count("HTML browser \"Login\" started, removing from pending list. Remaining pending HTMLS: 14"), 1);
    EXPECT_EQ(requests.stepPageStartup(9000), PageStartupStep::AllLoaded);
    EXPECT_EQ(requests.stepPageStartup(9001), PageStartupStep::Waiting);
    EXPECT_EQ(log_.count("All browser windows loaded"), 1);
}

TEST_F(HtmlBridgeTest, AnUnlistedOrRepeatedStartIsAnErrorAndDoesNotAdvanceTheStartUp) {
    packPages();
    createHtmlWindows(base(), 280, 0);
    HtmlRequests& requests = getHtmlRequests();
    requests.stepPageStartup(2222);
    EXPECT_EQ(started(HtmlWindow::Login), "{\"result\":0}");
    requests.stepPageStartup(2300);
    EXPECT_EQ(query(HtmlWindow::Lobby, R"({"requestName":"genericHtmlStarted","htmlId":"Login"})"), "{\"result\":0}");
    EXPECT_EQ(query(HtmlWindow::Lobby, R"({"requestName":"genericHtmlStarted","htmlId":"lobby"})"), "{\"result\":0}");
    EXPECT_FALSE(requests.htmlStarted);
    EXPECT_EQ(requests.pendingHtmls.size(), 14u);
    EXPECT_EQ(log_.count("ERROR: Oops! HTML browser \"Login\" not listed but started! Remaining pending HTMLS: 14"), 1);
    EXPECT_EQ(log_.count("ERROR: Oops! HTML browser \"lobby\" not listed but started!"), 1);

    // A start reported out of turn removes that record only; the others keep their order.
    requests.genericHtmlStarted("Tasks");
    ASSERT_EQ(requests.pendingHtmls.size(), 13u);
    EXPECT_EQ(requests.pendingHtmls[0].htmlId, "Lobby");
    EXPECT_EQ(requests.pendingHtmls[8].htmlId, "Invites");
    EXPECT_EQ(requests.pendingHtmls[9].htmlId, "MatchStats");
}

TEST_F(HtmlBridgeTest, MissingPagesAndPagesThatNeverStartDoNotStopTheOthers) {
    packPages("res/start-match.html");
    ASSERT_EQ(createHtmlWindows(base(), 280, 0), 15);
    HtmlRequests& requests = getHtmlRequests();
    EXPECT_EQ(requests.pendingHtmls.size(), 14u);
    EXPECT_EQ(log_.count("ERROR: page res/start-match.html of StartMatch is not in the archive"), 1);

    ASSERT_EQ(requests.stepPageStartup(2222), PageStartupStep::Loaded);  // Login, which never reports
    EXPECT_EQ(requests.stepPageStartup(2222 + HtmlRequests::kPageStartTimeoutMs - 1), PageStartupStep::Waiting);
    EXPECT_EQ(requests.stepPageStartup(2222 + HtmlRequests::kPageStartTimeoutMs), PageStartupStep::Loaded);
    EXPECT_EQ(log_.count("ERROR: HTML browser \"Login\" did not start within 10000 ms, skipped. Remaining pending HTMLS: 13"), 1);
    EXPECT_EQ(requests.pendingHtmls.front().htmlId, "Lobby");
    DoMessageLoopWork();
    EXPECT_EQ(hostCalls(HtmlWindow::Lobby).back().rfind("loadString file://" + base() + "res/lobby.html", 0), 0u);
    // A page that starts in time is never timed out, however long the later ones take.
    started(HtmlWindow::Lobby);
    EXPECT_EQ(requests.stepPageStartup(50000), PageStartupStep::Loaded);
    EXPECT_EQ(requests.pendingHtmls.front().htmlId, "CoinToss");
    EXPECT_EQ(requests.stepPageStartup(50000 + 9999), PageStartupStep::Waiting);
    EXPECT_EQ(log_.count("did not start within"), 1);
}

TEST_F(HtmlBridgeTest, StatementsFromAnyThreadReachTheirOwnWindowInOrder) {
    packPages();
    createHtmlWindows(base(), 280, 0);
    std::thread other([] {
        for (int i = 0; i < 50; ++i) runJavaScript(HtmlWindow::Lobby, "inbzStep(" + std::to_string(i) + ");");
    });
    other.join();
    runJavaScript(HtmlWindow::TopBox, "inbzSizeAndPlace({height:1});");
    DoMessageLoopWork();
    auto lobby = fake_->view(viewOf(HtmlWindow::Lobby)).statements;
    ASSERT_EQ(lobby.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(lobby[i], "inbzStep(" + std::to_string(i) + ");");
    EXPECT_EQ(fake_->view(viewOf(HtmlWindow::TopBox)).statements, std::vector<std::string>{"inbzSizeAndPlace({height:1});"});
    EXPECT_TRUE(fake_->view(viewOf(HtmlWindow::Login)).statements.empty());

    destroyHtmlWindows();
    runJavaScript(HtmlWindow::Lobby, "dropped();");  // no window any more: dropped, no crash
    DoMessageLoopWork();
}

TEST_F(HtmlBridgeTest, InputsReachTheirOwnWindowAsTheEventsTheyStandFor) {
    packPages();
    createHtmlWindows(base(), 280, 0);
    DoMessageLoopWork();
    const size_t lobbyBefore = hostCalls(HtmlWindow::Lobby).size();
    const size_t bottomBefore = hostCalls(HtmlWindow::BottomBox).size();
    sendPageInput(HtmlWindow::Lobby, PageInput::Paste);
    sendPageInput(HtmlWindow::BottomBox, PageInput::PointerReset);
    DoMessageLoopWork();
    const auto lobby = hostCalls(HtmlWindow::Lobby);
    EXPECT_EQ(std::vector<std::string>(lobby.begin() + lobbyBefore, lobby.end()),
              (std::vector<std::string>{"key type=1 code=86 native=86 char=118 mods=4",
                                        "key type=2 code=86 native=86 char=118 mods=4"}));
    const auto bottom = hostCalls(HtmlWindow::BottomBox);
    EXPECT_EQ(std::vector<std::string>(bottom.begin() + bottomBefore, bottom.end()),
              std::vector<std::string>{"move 0,0 mods=0"});

    destroyHtmlWindows();
    sendPageInput(HtmlWindow::Lobby, PageInput::Paste);  // no window any more: dropped, no crash
    DoMessageLoopWork();
}

TEST_F(HtmlBridgeTest, WindowsThatAreNotDrawnAreHiddenAndShownAndRepaintedWhenDrawnAgain) {
    packPages();
    createHtmlWindows(base(), 280, 0);
    showOnlyHtmlWindows({HtmlWindow::Lobby, HtmlWindow::TopBox});
    showOnlyHtmlWindows({HtmlWindow::Lobby, HtmlWindow::TopBox});  // no change, no calls
    DoMessageLoopWork();
    for (const HtmlWindowInfo& info : htmlWindowTable()) {
        SCOPED_TRACE(info.name);
        const bool drawn = info.window == HtmlWindow::Lobby || info.window == HtmlWindow::TopBox;
        EXPECT_EQ(count(info.window, "hide"), drawn ? 0 : 1);
        EXPECT_EQ(htmlWindowShown(info.window), drawn);
    }
    showOnlyHtmlWindows({HtmlWindow::Lobby, HtmlWindow::TopBox, HtmlWindow::Invites});
    DoMessageLoopWork();
    auto invites = hostCalls(HtmlWindow::Invites);
    ASSERT_GE(invites.size(), 2u);
    EXPECT_EQ(invites[invites.size() - 2], "show");
    EXPECT_EQ(invites.back(), "invalidate");

    refreshHtmlWindow(HtmlWindow::Alerts);
    DoMessageLoopWork();
    EXPECT_TRUE(htmlWindowShown(HtmlWindow::Alerts));
    EXPECT_EQ(hostCalls(HtmlWindow::Alerts).back(), "invalidate");
}

TEST_F(HtmlBridgeTest, AWindowResizeTellsEveryBrowser) {
    packPages();
    createHtmlWindows(base(), 280, 0);
    resizeHtmlWindows(1280, 720, -1);
    DoMessageLoopWork();
    EXPECT_EQ(count(HtmlWindow::Login, "resize 1280x720"), 1);
    EXPECT_EQ(count(HtmlWindow::TopBox, "resize 1280x42"), 1);
    EXPECT_EQ(hostCalls(HtmlWindow::StartMatch).back(), "resize 620x306");  // same size, moved
    EXPECT_EQ(htmlRenderHandler(HtmlWindow::StartMatch)->rect().x, 330);
    // y = 360 - 153 + 140 = 347 from the bottom: the top edge is 720 - 347 - 306 = 67 from the top.
    EXPECT_TRUE(isMouseOverHtmlWindow(HtmlWindow::StartMatch, 330, 67));
    EXPECT_FALSE(isMouseOverHtmlWindow(HtmlWindow::StartMatch, 330, 66));
}

TEST_F(HtmlBridgeTest, RequestFlagsAreSetOnceForTheFrameLoop) {
    HtmlRequests& r = getHtmlRequests();
    for (int i = 0; i < 2; ++i) {
        dispatchHtmlQuery(R"({"requestName":"titleBarMoveWindow"})", r);
        dispatchHtmlQuery(R"({"requestName":"titleBarMaximize"})", r);
        dispatchHtmlQuery(R"({"requestName":"bottomBoxViewModePOV"})", r);
    }
    dispatchHtmlQuery(R"({"requestName":"bottomBoxToggle","isFullSize":false})", r);
    EXPECT_TRUE(r.dragWindowRequested);
    EXPECT_TRUE(r.maximizeRequested);
    EXPECT_TRUE(r.povRequested);
    EXPECT_TRUE(r.bottomBoxChanged);
    EXPECT_FALSE(r.bottomBoxFullSize);
    EXPECT_EQ(log_.count("bottomBoxToggle: isFullSize=0"), 1);
    EXPECT_EQ(log_.count("titleBarMaximize: "), 2);
}

TEST_F(HtmlBridgeTest, TableRequestsGoToTheConnectionUnlessALobbyChangeIsPending) {
    ConnectionHandler connection;
    ConnectionHandler* previous = connectionHandler;
    connectionHandler = &connection;
    HtmlRequests& r = getHtmlRequests();
    dispatchHtmlQuery(R"({"requestName":"lobbyPlayTable","tablenumber":4})", r);
    EXPECT_EQ(connection.outgoingCount(), 2u);  // enter, then play
    dispatchHtmlQuery(R"({"requestName":"lobbyWatchTable","tablenumber":4})", r);
    EXPECT_EQ(connection.outgoingCount(), 3u);
    connection.lobbyChangePending = true;
    dispatchHtmlQuery(R"({"requestName":"lobbyPlayTable","tablenumber":5})", r);
    dispatchHtmlQuery(R"({"requestName":"lobbyWatchTable","tablenumber":5})", r);
    EXPECT_EQ(connection.outgoingCount(), 3u);
    EXPECT_EQ(log_.count("lobbyPlayTable: 5"), 1);  // still logged

    dispatchHtmlQuery(R"({"requestName":"bottomBoxAvailability","availCode":"someday"})", r);
    EXPECT_EQ(connection.outgoingCount(), 4u);
    const std::string text = log_.text();
    const size_t own = text.find("bottomBoxAvailability: \n");
    ASSERT_NE(own, std::string::npos);
    EXPECT_NE(text.find("lobbyAvailability: \n", own), std::string::npos);
    connectionHandler = previous;
}

TEST_F(HtmlBridgeTest, LinkRequestsOpenTheSiteAddressesWithoutAShell) {
    bztest::SpawnRecorder spawns;
    HtmlRequests& r = getHtmlRequests();
    for (const char* name : {"loginForgotDetails", "loginRegister", "loginPlayOffline", "loginUpdate"}) {
        dispatchHtmlQuery(std::string("{\"requestName\":\"") + name + "\"}", r);
    }
    dispatchHtmlQuery(R"({"requestName":"lobbyBrowseExternal","urlCode":"tutorial-7"})", r);
    dispatchHtmlQuery(R"({"requestName":"lobbyBrowseExternal","urlCode":"Help"})", r);  // codes are case-sensitive
    // A chat link meets the filter of the server's addresses: blanks, quotes and shell characters.
    for (const char* link : {"https://example.org/a b", "https://example.org/\"x", "https://example.org/`id`",
                             "https://example.org/$(id)", "https://example.org/<x>", "https://example.org/\\"}) {
        dispatchHtmlQuery(nlohmann::json{{"requestName", "lobbyBrowseExternal"}, {"urlCode", link}}.dump(), r);
    }
    const std::string site = "https://www.baizeron.example/";
    const std::vector<std::vector<std::string>> expected = {
        {"xdg-open", site + "change-password"}, {"xdg-open", site + "play-snooker-game"}, {"xdg-open", site},
        {"xdg-open", site + "download-snooker-game"}, {"xdg-open", site + "play-snooker#tut_7"}};
    EXPECT_EQ(bztest::SpawnRecorder::spawned(), expected);
    EXPECT_EQ(log_.count("lobbyBrowseExternal: urlCode=Help => ''"), 1);
}

// The close button ends the run the way a quit does: the logout goes out and the loop ends, so the
// shell closes the audio and stops the threads; a seated player is not asked.
TEST(HtmlBridgeClose, TitleBarCloseLogsOutAndEndsTheRun) {
    RecordingPageScriptSink pages;
    PageScriptSink* previous = setPageScriptSink(&pages);
    ConnectionHandler* handler = connectionHandler;
    connectionHandler = new ConnectionHandler();
    appRunning = true;
    dispatchHtmlQuery(R"({"requestName":"titleBarClose"})", getHtmlRequests());
    EXPECT_FALSE(appRunning);
    EXPECT_TRUE(connectionHandler->logoutPending);
    EXPECT_EQ(connectionHandler->outgoingCount(), 1u);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Login), std::vector<std::string>{"logout();"});
    delete connectionHandler;
    connectionHandler = handler;
    setPageScriptSink(previous);
    appRunning = true;
}

}  // namespace
