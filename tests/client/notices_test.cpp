// Timed notices, the concede button and external links.
#include "client/gamehandler/game_handler.h"
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
    gh.openExternal("https://example.org/\"; rm -rf ~ #");
    gh.openExternal("mailto:someone@example.org");
    ASSERT_EQ(bztest::SpawnRecorder::spawned().size(), 1u);
    EXPECT_EQ(bztest::SpawnRecorder::spawned()[0][1], "https://example.org/\"; rm -rf ~ #");
    EXPECT_EQ(log.count("ERROR: Refused to open 'mailto:someone@example.org'"), 1);
}

}  // namespace
