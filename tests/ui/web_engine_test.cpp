// The engine, the message router and the handler life cycle, on the recording fake browser.
#include "ui/engine/fake_backend.h"
#include "web_test_support.h"

#include <gtest/gtest.h>

#include <thread>

using namespace webtest;

namespace {

const MessageRouterConfig kConfig{"cefQuery", "cefQueryCancel"};

class WebEngineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartWith(WebSettings{})); }
    void TearDown() override { Shutdown(); }

    bool StartWith(const WebSettings& settings) {
        Shutdown();
        app_ = RefPtr<TestApp>(new TestApp(kConfig));
        auto fake = std::make_unique<FakeBackend>();
        fake_ = fake.get();
        return InitializeWithBackend(settings, app_, std::move(fake));
    }

    struct Page {
        RefPtr<TestRenderHandler> render;
        RefPtr<TestClient> client;
        RefPtr<WebBrowser> browser;
        int id() const { return browser->GetIdentifier(); }
    };

    Page Open(const std::string& url = "file:///base/res/vidoda0.html", int w = 1024, int h = 647) {
        Page p;
        p.render = RefPtr<TestRenderHandler>(new TestRenderHandler(w, h));
        p.client = RefPtr<TestClient>(new TestClient(p.render, kConfig));
        p.browser = WebBrowserHost::CreateBrowserSync(WindowInfo{}, p.client, url, BrowserSettings{60});
        return p;
    }

    RefPtr<TestApp> app_;
    FakeBackend* fake_ = nullptr;
};

TEST_F(WebEngineTest, CreatingABrowserBuildsItsRouterAndAsksForItsSize) {
    EXPECT_EQ(ExecuteProcess(MainArgs{}, app_), -1);
    Page p = Open();
    ASSERT_TRUE(p.browser);
    EXPECT_EQ(p.client->created, 1);
    EXPECT_TRUE(p.client->router);
    EXPECT_EQ(p.render->viewRectCalls, 1);
    auto view = fake_->view(p.id());
    EXPECT_EQ(view.hostCalls.at(0), "create 1024x647 file:///base/res/vidoda0.html");
    EXPECT_EQ(view.setup.everyNthFrame, 1);
    // The page script carries the page functions of the router made in OnWebKitInitialized.
    EXPECT_NE(view.setup.pageScript.find("defineRouter('cefQuery', 'cefQueryCancel')"), std::string::npos);
    EXPECT_EQ(p.client->browsed, std::vector<std::string>{"file:///base/res/vidoda0.html"});
    DoMessageLoopWork();
    EXPECT_EQ(app_->render->contexts, 1);
    EXPECT_EQ(p.browser->GetMainFrame()->GetURL(), "file:///base/res/vidoda0.html");
    EXPECT_TRUE(p.browser->GetMainFrame()->GetBrowser()->IsSame(p.browser));
    EXPECT_TRUE(p.browser->GetHost()->GetClient() == RefPtr<WebClient>(p.client));
}

TEST_F(WebEngineTest, QueriesReachTheHandlerOfTheirOwnBrowserAndAnswersGoBackToTheAskingDocument) {
    Page a = Open();
    Page b = Open();
    DoMessageLoopWork();
    fake_->InjectQuery(a.id(), 7, "{\"requestName\":\"lobbyPlayTable\",\"tablenumber\":3}");
    DoMessageLoopWork();

    ASSERT_EQ(a.client->handler->queries.size(), 1u);
    EXPECT_TRUE(b.client->handler->queries.empty());
    const QueryRecord& q = a.client->handler->queries[0];
    EXPECT_EQ(q.request, "{\"requestName\":\"lobbyPlayTable\",\"tablenumber\":3}");
    EXPECT_EQ(q.browserId, a.id());
    EXPECT_FALSE(q.persistent);
    auto replies = fake_->view(a.id()).replies;
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].requestId, 7);
    EXPECT_EQ(replies[0].contextId, fake_->view(a.id()).contextId);
    EXPECT_TRUE(replies[0].success);
    EXPECT_EQ(replies[0].text, "{\"result\":0}");
    EXPECT_TRUE(fake_->view(b.id()).replies.empty());
    EXPECT_EQ(a.client->router->GetPendingCount(nullptr, nullptr), 0);

    // A query that no handler takes fails with -1.
    a.client->handler->take = false;
    fake_->InjectQuery(a.id(), 8, "x");
    DoMessageLoopWork();
    replies = fake_->view(a.id()).replies;
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_FALSE(replies[1].success);
    EXPECT_EQ(replies[1].errorCode, -1);

    // Malformed page messages and other routers' names are dropped.
    fake_->InjectBindingPayload(a.id(), "not json");
    fake_->InjectBindingPayload(a.id(), "{\"fn\":\"cefQuery\",\"id\":\"x\"}");
    fake_->InjectBindingPayload(a.id(), "{\"fn\":\"cefQuery\",\"id\":9,\"request\":5}");
    fake_->InjectBindingPayload(a.id(), "{\"menu\":\"yes\",\"fn\":\"cefQuery\"}");
    fake_->InjectBindingPayload(a.id(), "{\"menu\":1}");
    fake_->InjectQuery(a.id(), 10, "other", false, "otherQuery");
    DoMessageLoopWork();
    EXPECT_EQ(a.client->handler->queries.size(), 2u);
    EXPECT_EQ(fake_->view(a.id()).replies.size(), 2u);
    EXPECT_EQ(a.client->menus, 0);
}

TEST_F(WebEngineTest, PersistentQueriesLastUntilFailureOrCancel) {
    Page a = Open();
    TestQueryHandler& h = *a.client->handler;
    h.answer = false;
    fake_->InjectQuery(a.id(), 1, "watch", true);
    fake_->InjectQuery(a.id(), 2, "once", false);
    DoMessageLoopWork();
    ASSERT_EQ(h.queries.size(), 2u);
    EXPECT_TRUE(h.queries[0].persistent);
    EXPECT_EQ(a.client->router->GetPendingCount(a.browser, &h), 2);

    h.queries[0].callback->Success("one");
    h.queries[0].callback->Success("two");
    h.queries[1].callback->Success("done");
    h.queries[1].callback->Success("again");  // a second answer to an ended query is dropped
    DoMessageLoopWork();
    auto replies = fake_->view(a.id()).replies;
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0].text, "one");
    EXPECT_EQ(replies[1].text, "two");
    EXPECT_EQ(replies[2].requestId, 2);
    EXPECT_EQ(a.client->router->GetPendingCount(a.browser, nullptr), 1);

    h.queries[0].callback->Failure(5, "stop");
    h.queries[0].callback->Success("late");
    DoMessageLoopWork();
    replies = fake_->view(a.id()).replies;
    ASSERT_EQ(replies.size(), 4u);
    EXPECT_FALSE(replies[3].success);
    EXPECT_EQ(replies[3].errorCode, 5);
    EXPECT_EQ(replies[3].text, "stop");
    EXPECT_EQ(a.client->router->GetPendingCount(nullptr, nullptr), 0);

    // The page cancels: the handler hears of it and nothing goes back.
    fake_->InjectQuery(a.id(), 3, "watch again", true);
    DoMessageLoopWork();
    fake_->InjectCancel(a.id(), 3);
    DoMessageLoopWork();
    EXPECT_EQ(h.canceled, std::vector<int64_t>{h.queries[2].queryId});
    h.queries[2].callback->Success("after cancel");
    DoMessageLoopWork();
    EXPECT_EQ(fake_->view(a.id()).replies.size(), 4u);
}

TEST_F(WebEngineTest, NavigationCrashAndHandlerRemovalEndPendingQueries) {
    Page a = Open();
    TestQueryHandler& h = *a.client->handler;
    h.answer = false;
    DoMessageLoopWork();

    // The page navigates by itself: the request handler hears of it, the old document's queries end.
    fake_->InjectQuery(a.id(), 1, "q1", true);
    DoMessageLoopWork();
    fake_->InjectNavigation(a.id(), "file:///base/res/lobby.html");
    DoMessageLoopWork();
    EXPECT_EQ(a.client->browsed.back(), "file:///base/res/lobby.html");
    EXPECT_EQ(h.canceled.size(), 1u);
    EXPECT_EQ(a.browser->GetMainFrame()->GetURL(), "file:///base/res/lobby.html");
    EXPECT_EQ(app_->render->released, 1);

    // The renderer crashes.
    fake_->InjectQuery(a.id(), 1, "q2", false);
    DoMessageLoopWork();
    fake_->InjectCrash(a.id());
    DoMessageLoopWork();
    EXPECT_EQ(a.client->terminated, std::vector<TerminationStatus>{TerminationStatus::Crashed});
    EXPECT_EQ(h.canceled.size(), 2u);

    // Removing the handler cancels its queries, and the page's onFailure hears -1.
    fake_->InjectQuery(a.id(), 4, "q3", false);
    DoMessageLoopWork();
    EXPECT_TRUE(a.client->router->RemoveHandler(&h));
    EXPECT_FALSE(a.client->router->RemoveHandler(&h));
    DoMessageLoopWork();
    EXPECT_EQ(h.canceled.size(), 3u);
    auto replies = fake_->view(a.id()).replies;
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].requestId, 4);
    EXPECT_EQ(replies[0].errorCode, -1);
    EXPECT_TRUE(a.client->router->AddHandler(&h, true));
    EXPECT_FALSE(a.client->router->AddHandler(&h, false));
}

TEST_F(WebEngineTest, ClosingABrowserEndsItsRouterAndReleasesTheClient) {
    Page a = Open();
    a.client->handler->answer = false;
    fake_->InjectQuery(a.id(), 1, "pending", false);
    DoMessageLoopWork();

    // A close that DoClose holds back does not happen; a forced one does.
    a.client->holdClose = true;
    a.browser->GetHost()->CloseBrowser(false);
    DoMessageLoopWork();
    EXPECT_EQ(a.client->closed, 0);
    a.browser->GetHost()->CloseBrowser(true);
    DoMessageLoopWork();
    EXPECT_EQ(a.client->closed, 1);
    EXPECT_FALSE(a.client->router);
    ASSERT_TRUE(a.client->lastHandler);
    EXPECT_EQ(a.client->lastHandler->canceled.size(), 1u);
    EXPECT_TRUE(fake_->view(a.id()).closed);
    // The engine and the browser hold no reference to the client any more.
    EXPECT_FALSE(a.browser->GetHost()->GetClient());
    EXPECT_TRUE(a.client->HasOneRef());

    // Calls on a closed browser are dropped.
    a.browser->GetMainFrame()->ExecuteJavaScript("x();", "", 0);
    DoMessageLoopWork();
    EXPECT_TRUE(fake_->view(a.id()).statements.empty());
}

TEST_F(WebEngineTest, StatementsGoOutInOrderFromTheMainThreadAtOnceFromOthersWithTheMainThread) {
    Page a = Open();
    RefPtr<WebFrame> frame = a.browser->GetMainFrame();
    frame->ExecuteJavaScript("first();", frame->GetURL(), 0);
    EXPECT_EQ(fake_->view(a.id()).statements.size(), 1u);  // no pump needed
    std::thread other([frame] {
        for (int i = 0; i < 100; ++i) frame->ExecuteJavaScript("fromThread(" + std::to_string(i) + ");", "", 0);
    });
    other.join();
    EXPECT_EQ(fake_->view(a.id()).statements.size(), 1u);  // queued for the main thread
    frame->LoadString("<html></html>", "file:///base/res/main-login.html");
    frame->ExecuteJavaScript("last();", "", 0);
    auto view = fake_->view(a.id());
    ASSERT_EQ(view.statements.size(), 102u);
    EXPECT_EQ(view.statements.front(), "first();");
    EXPECT_EQ(view.statements[1], "fromThread(0);");
    EXPECT_EQ(view.statements[100], "fromThread(99);");
    EXPECT_EQ(view.statements.back(), "last();");
    EXPECT_EQ(view.hostCalls.back(), "loadString file:///base/res/main-login.html 13");

    // A statement run from inside a query handler goes out in the same pump.
    struct Runner : TestQueryHandler {
        RefPtr<WebFrame> frame;
        bool OnQuery(RefPtr<WebBrowser> b, RefPtr<WebFrame> f, int64_t id, const std::string& r, bool p,
                     RefPtr<QueryCallback> cb) override {
            frame->ExecuteJavaScript("answered();", "", 0);
            return TestQueryHandler::OnQuery(b, f, id, r, p, cb);
        }
    } runner;
    runner.frame = frame;
    a.client->router->AddHandler(&runner, true);
    fake_->InjectQuery(a.id(), 1, "x");
    DoMessageLoopWork();
    EXPECT_EQ(fake_->view(a.id()).statements.back(), "answered();");
    EXPECT_EQ(fake_->view(a.id()).replies.size(), 1u);
    a.client->router->RemoveHandler(&runner);

    // A navigation that the request handler refuses does not happen.
    a.client->cancelNavigation = true;
    frame->LoadURL("file:///elsewhere.html");
    DoMessageLoopWork();
    EXPECT_EQ(fake_->view(a.id()).hostCalls.back(), "loadString file:///base/res/main-login.html 13");
}

TEST_F(WebEngineTest, HostCallsResizeHideRepaintAndPaint) {
    Page a = Open("", 620, 306);
    RefPtr<WebBrowserHost> host = a.browser->GetHost();

    fake_->PaintSolid(a.id(), 0x80FF0000);
    DoMessageLoopWork();
    ASSERT_EQ(a.render->paints, 1);
    EXPECT_EQ(a.render->paintWidth, 620);
    EXPECT_EQ(a.render->paintHeight, 306);
    EXPECT_EQ(a.render->lastType, PET_VIEW);
    ASSERT_EQ(a.render->dirtyRects.size(), 1u);
    EXPECT_EQ(a.render->dirtyRects[0].width, 620);
    EXPECT_EQ(a.render->Pixel(619, 305), (std::array<int, 4>{0, 0, 255, 128}));

    a.render->width = 640;
    host->WasResized();
    DoMessageLoopWork();
    EXPECT_EQ(a.render->viewRectCalls, 2);
    EXPECT_EQ(fake_->view(a.id()).hostCalls.back(), "resize 640x306");

    // Hidden: no paints reach the handler and Invalidate does nothing; shown again, both work.
    host->WasHidden(true);
    host->Invalidate(PET_VIEW);
    fake_->PaintSolid(a.id(), 0xFF00FF00);
    DoMessageLoopWork();
    EXPECT_EQ(a.render->paints, 1);
    EXPECT_EQ(fake_->view(a.id()).hostCalls.back(), "hide");
    host->WasHidden(false);
    host->Invalidate(PET_VIEW);
    host->Invalidate(PET_POPUP);
    fake_->PaintSolid(a.id(), 0xFF00FF00);
    DoMessageLoopWork();
    EXPECT_EQ(a.render->paints, 2);
    EXPECT_EQ(a.render->paintWidth, 640);
    auto calls = fake_->view(a.id()).hostCalls;
    EXPECT_EQ(calls[calls.size() - 2], "show");
    EXPECT_EQ(calls.back(), "invalidate");

    host->SendMouseMoveEvent(MouseEvent{-1, -1, 0}, false);
    host->SendMouseClickEvent(MouseEvent{310, 269, 0}, MBT_RIGHT, false, 2);
    host->SendMouseWheelEvent(MouseEvent{5, 6, 0}, 0, 60);
    KeyEvent key;
    key.type = KEYEVENT_KEYDOWN;
    key.windowsKeyCode = 116;
    key.nativeKeyCode = 116;
    key.character = 0xFFFF;
    host->SendKeyEvent(key);
    DoMessageLoopWork();
    calls = fake_->view(a.id()).hostCalls;
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[calls.size() - 4], "move -1,-1 mods=0");
    EXPECT_EQ(calls[calls.size() - 3], "click 310,269 right down 2 mods=0");
    EXPECT_EQ(calls[calls.size() - 2], "wheel 5,6 0,60 mods=0");
    EXPECT_EQ(calls.back(), "key type=1 code=116 native=116 char=65535 mods=0");

    // A right click the page leaves alone asks the context-menu handler, which empties the menu.
    fake_->InjectBindingPayload(a.id(), "{\"menu\":true}");
    DoMessageLoopWork();
    EXPECT_EQ(a.client->menus, 1);
}

TEST_F(WebEngineTest, CtrlVPastesTheClipboardTextWhenTheProgramProvidesIt) {
    KeyEvent paste;
    paste.type = KEYEVENT_KEYDOWN;
    paste.windowsKeyCode = 86;
    paste.nativeKeyCode = 86;
    paste.character = u'v';
    paste.modifiers = EVENTFLAG_CONTROL_DOWN;
    KeyEvent up = paste;
    up.type = KEYEVENT_KEYUP;

    // Without a clipboard the keys go to the page as they are.
    Page a = Open();
    a.browser->GetHost()->SendKeyEvent(paste);
    DoMessageLoopWork();
    EXPECT_EQ(fake_->view(a.id()).hostCalls.back(), "key type=1 code=86 native=86 char=118 mods=4");

    WebSettings settings;
    std::string clipboard = "héllo";
    settings.clipboardText = [&clipboard] { return clipboard; };
    ASSERT_TRUE(StartWith(settings));
    Page b = Open();
    b.browser->GetHost()->SendKeyEvent(paste);
    b.browser->GetHost()->SendKeyEvent(up);
    DoMessageLoopWork();
    clipboard.clear();  // an empty clipboard pastes nothing
    b.browser->GetHost()->SendKeyEvent(paste);
    DoMessageLoopWork();
    auto calls = fake_->view(b.id()).hostCalls;
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1], "insertText héllo");
    EXPECT_EQ(calls[2], "key type=2 code=86 native=86 char=118 mods=4");
}

TEST_F(WebEngineTest, ADeadBrowserIsReportedToEveryClientAndLaterCallsAreDropped) {
    Page a = Open();
    Page b = Open();
    a.client->handler->answer = false;
    fake_->InjectQuery(a.id(), 1, "pending");
    DoMessageLoopWork();
    fake_->InjectDeath(TerminationStatus::Killed);
    DoMessageLoopWork();
    EXPECT_EQ(a.client->terminated, std::vector<TerminationStatus>{TerminationStatus::Killed});
    EXPECT_EQ(b.client->terminated, std::vector<TerminationStatus>{TerminationStatus::Killed});
    EXPECT_EQ(a.client->handler->canceled.size(), 1u);

    a.browser->GetMainFrame()->ExecuteJavaScript("dropped();", "", 0);
    a.browser->GetHost()->WasResized();
    DoMessageLoopWork();
    EXPECT_TRUE(fake_->view(a.id()).statements.empty());
    fake_->InjectDeath(TerminationStatus::Crashed);  // reported once only
    DoMessageLoopWork();
    EXPECT_EQ(a.client->terminated.size(), 1u);
}

TEST(WebEngineStartTest, StartFailureLeavesTheEngineStoppedAndShutdownClosesBrowsers) {
    RefPtr<WebApp> app(new WebApp);
    std::string error;
    EXPECT_FALSE(InitializeWithBackend(WebSettings{}, app, std::make_unique<FakeBackend>("no browser here"), &error));
    EXPECT_EQ(error, "no browser here");
    EXPECT_FALSE(IsInitialized());
    EXPECT_FALSE(WebBrowserHost::CreateBrowserSync(WindowInfo{}, nullptr, "", BrowserSettings{}));
    DoMessageLoopWork();  // harmless without an engine

    auto fake = std::make_unique<FakeBackend>();
    FakeBackend* f = fake.get();
    ASSERT_TRUE(InitializeWithBackend(WebSettings{}, app, std::move(fake)));
    EXPECT_FALSE(InitializeWithBackend(WebSettings{}, app, std::make_unique<FakeBackend>(), &error));
    EXPECT_EQ(error, "the browser engine is already running");

    RefPtr<TestRenderHandler> render(new TestRenderHandler(10, 10));
    RefPtr<TestClient> client(new TestClient(render, kConfig));
    RefPtr<WebBrowser> browser = WebBrowserHost::CreateBrowserSync(WindowInfo{}, client, "", BrowserSettings{30});
    ASSERT_TRUE(browser);
    EXPECT_EQ(f->view(browser->GetIdentifier()).setup.everyNthFrame, 2);
    std::thread([&] { EXPECT_FALSE(WebBrowserHost::CreateBrowserSync(WindowInfo{}, client, "", BrowserSettings{})); }).join();
    Shutdown();
    EXPECT_EQ(client->closed, 1);
    EXPECT_FALSE(IsInitialized());
    browser->GetMainFrame()->ExecuteJavaScript("after();", "", 0);  // no engine: dropped
}

TEST(PageScriptTest, RendererRoutersAddTheirPageFunctionsWhileTheyLive) {
    std::string before = BuildPageScript();
    EXPECT_EQ(before.find("defineRouter('"), std::string::npos);
    {
        RefPtr<MessageRouterRendererSide> r = MessageRouterRendererSide::Create(MessageRouterConfig{"askHost", "stopAsking"});
        RefPtr<MessageRouterRendererSide> bad = MessageRouterRendererSide::Create(MessageRouterConfig{"a'b", "c"});
        std::string script = BuildPageScript();
        EXPECT_NE(script.find("defineRouter('askHost', 'stopAsking')"), std::string::npos);
        EXPECT_EQ(script.find("a'b"), std::string::npos);
        EXPECT_NE(script.find(kPageBindingName), std::string::npos);
    }
    EXPECT_EQ(BuildPageScript(), before);
}

}  // namespace
