// Timed notices, the concede button and external links.
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/page_statements.h"
#include "core/page_script.h"
#include "support/captured_log.h"
#include "support/spawn_recorder.h"

#include <gtest/gtest.h>

namespace {

class NoticesTest : public ::testing::Test {
protected:
    void SetUp() override { previous = setPageScriptSink(&pages); }
    void TearDown() override { setPageScriptSink(previous); }

    bztest::CapturedLog log;
    RecordingPageScriptSink pages;
    PageScriptSink* previous = nullptr;
    GameHandler gh;
};

TEST_F(NoticesTest, ANoticeGoesToTheTopBoxEscapedAndAnEmptyOneNowhere) {
    gh.showNotice("", 4000);
    EXPECT_TRUE(pages.entries().empty());
    EXPECT_EQ(log.count("popUpInfo"), 0);

    gh.showNotice("x", 4000);
    gh.showNotice("It's O'Neil\\'s\n</script>", 2500);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::TopBox),
              (std::vector<std::string>{"inbzNotice({text:'x',duration:4000,});",
                                        "inbzNotice({text:'It\\'s O\\'Neil\\\\\\'s\\n</script>',duration:2500,});"}));
    EXPECT_EQ(log.count("popUpInfo: Notice text: It's O'Neil"), 1);
}

TEST_F(NoticesTest, ConcedeGreysTheButtonAndNamesTheSeat) {
    gh.setConcedeState(1);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::BottomBox),
              (std::vector<std::string>{"document.getElementsByClassName(\"concede\")[0].disabled = true;"
                                        "if (gs.concededBy < 0) { gs.concededBy = 1; refreshPlayerControls(); }"}));
}

TEST_F(NoticesTest, ExternalLinksGoToTheOpenerWithoutAShell) {
    bztest::SpawnRecorder spawner;
    gh.openExternal("https://example.org/?q=1;2#x");
    gh.openExternal("https://example.org/\"; rm -rf ~ #");
    gh.openExternal("mailto:someone@example.org");
    ASSERT_EQ(bztest::SpawnRecorder::spawned().size(), 1u);
    EXPECT_EQ(bztest::SpawnRecorder::spawned()[0][1], "https://example.org/?q=1;2#x");
    EXPECT_EQ(log.count("ERROR: Refused to open 'mailto:someone@example.org'"), 1);
}

TEST_F(NoticesTest, ALinkThatCouldNotBeOpenedIsTheErrorLineOnly) {
    bztest::SpawnRecorder spawner;
    bztest::SpawnRecorder::exitStatus() = 256;
    gh.openExternal("https://example.org/help");
    ASSERT_TRUE(waitForOpeners(10000)) << "the opener was never waited for";
    gh.update();
    EXPECT_EQ(log.count("ERROR: system call 'xdg-open \"https://example.org/help\"' returned 256"), 1);
    EXPECT_TRUE(pages.entries().empty());
}

}  // namespace

namespace {

TEST(PageStatementsTest, ObjectsEndEveryEntryWithACommaAndQuoteTextsSafely) {
    EXPECT_EQ(JsObject().call("f"), "f({});");
    EXPECT_EQ(JsObject().number("a", -3).text("b", "it's").raw("c", "[1,2,]").call("inbzX"),
              "inbzX({a:-3,b:'it\\'s',c:[1,2,],});");
    EXPECT_EQ(jsQuoted("a\\b\r"), "'a\\\\b\\r'");
    EXPECT_STREQ(jsFlag(true), "1");
}

TEST(PageStatementsTest, AStatementRunsInEachWindowInOrderAndIsLoggedOnce) {
    bztest::CapturedLog log;
    RecordingPageScriptSink pages;
    PageScriptSink* previous = setPageScriptSink(&pages);
    runInPages({HtmlWindow::MatchStats, HtmlWindow::Lobby}, "inbzY();", "processMessage");
    runInPages({HtmlWindow::People}, "inbzZ();");
    setPageScriptSink(previous);
    const std::vector<RecordingPageScriptSink::Entry> all = pages.entries();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].window, HtmlWindow::MatchStats);
    EXPECT_EQ(all[1].window, HtmlWindow::Lobby);
    EXPECT_EQ(all[2].window, HtmlWindow::People);
    EXPECT_EQ(log.count("Sending to js: "), 1);
    EXPECT_EQ(log.count("processMessage: Sending to js: inbzY();"), 1);
}

}  // namespace
