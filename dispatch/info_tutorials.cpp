// Server-run tutorials: entering and leaving, topics with their table marks, the status and the result dialog.
#include "client/gamehandler/state_change.h"
#include "core/log.h"
#include "core/page_script.h"
#include "core/sound_bank.h"
#include "core/text.h"
#include "dispatch/handlers.h"
#include "dispatch/info_values.h"

#include <algorithm>

namespace {

// More marks than topics that have one cannot arise from the server's topics; the bound keeps a
// server that repeats topics from growing the list.
constexpr size_t kMaxTutorialMarks = 16;

struct TopicMark {
    int topic;
    TutorialMark mark;
};

const TopicMark kTopicMarks[] = {
    {3, {12.0f, -710.0f, 312.0f, -410.0f, 0}},         {4, {597.0f, -392.0f, 897.0f, -92.0f, 0}},
    {5, {-1511.0f, -545.0f, -1301.0f, -335.0f, 0}},    {6, {1339.5f, -936.63f, 1832.13f, 936.63f, 1}},
    {7, {1289.5f, -936.63f, 1832.13f, 936.63f, 1}},    {10, {1562.0f, -936.63f, 1832.13f, 936.63f, 1}},
};

void addTopicMark(GameHandler& gh, int topic) {
    for (const TopicMark& row : kTopicMarks) {
        if (row.topic != topic) continue;
        std::vector<TutorialMark>& marks = gh.tutorialMarks;
        if (marks.size() < kMaxTutorialMarks && std::find(marks.begin(), marks.end(), row.mark) == marks.end()) {
            marks.push_back(row.mark);
        }
        return;
    }
}

// Mends the Tutorial window that kept offering the start of a topic after it had ended.
void endTopicInTutorialWindow() { runJavaScript(HtmlWindow::BioTut, "inbzStopTutorialTopic();"); }

void showTutorialResult(GameHandler& gh, bool passed) {
    runJavaScript(HtmlWindow::CoinToss, passed ? "inbzTutResult({passed:true});" : "inbzTutResult({passed:false});");
    endTopicInTutorialWindow();
    openPanelSlot(gh, gh.tutResultPanel);
}

}  // namespace

void onInfoEnterTutchInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: ENTER_TUTCH_INFO");
    if (m.valueA != 1) return;
    runJavaScript(HtmlWindow::BottomBox, "inbzEnterTutorial();inbzStopTutorialTopic();");
    gh.inTutorial = true;
    gh.betaLobbyPlayer = false;
    gh.tutorialTopic = 0;
    gh.tutorialMarks.clear();
    changeState(STATE_TABLE);
}

void onInfoExitTutchInfo(GameHandler& gh, const Message&) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: EXIT_TUTCH_INFO");
    endTopicInTutorialWindow();
    changeState(STATE_LOBBY);
    // Mends the tutorial's table kept in the lobby: its seat held the user, its stroke held back the next status.
    gh.leaveTable();
}

void onInfoTutchTopicInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: TUTCH_TOPIC_INFO");
    gh.tutorialTopic = m.valueA;
    addTopicMark(gh, gh.tutorialTopic);
    runJavaScript(HtmlWindow::BottomBox, "inbzStartTutorialTopic({topic: " + std::to_string(gh.tutorialTopic) + ",});");
    gh.openTut(gh.tutorialTopic);
    gh.tutorialActionDone = false;
}

void onInfoTutchStatusInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: TUTCH_STATUS_INFO='" << m.textA << "'");
    runJavaScript(HtmlWindow::BottomBox, "inbzSetTutorialStatus({tutStatusString: '" + escapeJsString(m.textA) + "',});");
    if (!gh.tutorialWarningPending) return;
    gh.tutorialWarningPending = false;
    const bool nonePassed = std::all_of(m.textA.begin(), m.textA.end(), [](char c) { return c == '0'; });
    if (nonePassed && !gh.isTourneyLobby) runJavaScript(HtmlWindow::Lobby, "inbzTutorialWarning();");
}

void onInfoTutchTopicCancelled(GameHandler& gh, const Message&) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: TUTCH_TOPIC_CANCELLED");
    runJavaScript(HtmlWindow::BottomBox, "inbzStopTutorialTopic();");
    endTopicInTutorialWindow();
    gh.tutorialMarks.clear();
    gh.tutorialTopic = 0;
    changeState(STATE_TABLE);
}

void onInfoTutchTopicPassed(GameHandler& gh, const Message&) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: TUTCH_TOPIC_PASSED");
    showTutorialResult(gh, true);
    SoundBank& bank = getSoundBank();
    int clip = bank.tutorialTopic16PassClip;
    if (gh.tutorialTopic != 16) {
        const int clips[3] = {bank.tutorialPassClip1, bank.tutorialPassClip2, bank.tutorialPassClip3};
        clip = clips[gh.pickVariant(3)];
    }
    bank.playCrowdSound(clip, 1.0f, 0, 0, 0);
}

void onInfoTutchTopicFailed(GameHandler& gh, const Message&) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: TUTCH_TOPIC_FAILED");
    showTutorialResult(gh, false);
}
