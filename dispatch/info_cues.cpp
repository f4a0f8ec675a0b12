// The cue store and the Kred Box.
#include "core/app_status.h"
#include "core/log.h"
#include "core/page_script.h"
#include "core/sound_bank.h"
#include "core/text.h"
#include "dispatch/handlers.h"
#include "dispatch/info_values.h"
#include "dispatch/kred_box.h"
#include "net/connection_handler.h"
#include "net/request_queue.h"

#include <sstream>

namespace {

void playStoreSound(int SoundBank::*clip) {
    SoundBank& bank = getSoundBank();
    bank.playBallSound(bank.*clip, 1.0f, 0, 0, 0);
}

}  // namespace

void onInfoKredBoxInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: KRED_BOX_INFO: " << m.valueA << ", " << m.valueB);
    runJavaScript(HtmlWindow::Lobby, "inbzKboxInfo({kred: " + std::to_string(m.valueA) +
                                         ",secondsUntilOpening: " + std::to_string(m.valueB) + ",});");
    gh.kredBoxAmount = m.valueA;
}

void onInfoCueKredInfo(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_CUE_KRED_INFO: ");
    std::string parts;
    if (!jsonValue(braceListToJsArray(m.textA), "cue parts", parts)) return;
    const std::string js = "inbzSetMyCueInfo({cue:" + std::to_string(m.valueA) + ",kred:" + std::to_string(m.valueB) +
                           ",cue_parts:" + parts + ",cues:'" + escapeJsString(m.textB) + "'});";
    logSendingToJs(js);
    runJavaScript(HtmlWindow::CueStore, js);
}

void onInfoCurrentCueInfo(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage",
           "INFO received: INFO_CODE_CURRENT_CUE_INFO: '" << m.textA << "':" << m.valueA << " '" << m.textB << "':"
                                                           << m.valueB);
    if (!m.textA.empty()) gh.findPlayer(m.textA)->currentCue = m.valueA;
    if (!m.textB.empty()) gh.findPlayer(m.textB)->currentCue = m.valueB;
}

void onInfoCueListInfo(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_CUE_LIST_INFO: '" << m.textA);
    runWithJsonValue(HtmlWindow::CueStore, "inbzSetCueList", m.textA, "cue list", true);
}

void onInfoCueUsed(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_CUE_USED: " << m.valueA);
    playStoreSound(&SoundBank::cueUsedClip);
}

void onInfoCuePurchased(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_CUE_PURCHASED: " << m.valueA);
    playStoreSound(&SoundBank::cuePurchasedClip);
}

void onInfoCuePartsFused(GameHandler&, const Message&) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_CUE_PARTS_FUSED");
    playStoreSound(&SoundBank::cuePartsFusedClip);
}

void onInfoHtmlFile(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_HTML_FILE: " << m.textA);
}

void onInfoCueUrlInfo(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_CUE_URL_INFO: '" << m.valueA);
    const std::string js =
        "inbzSetCueUrl({index:" + std::to_string(m.valueA) + ",url:'" + escapeJsString(m.textA) + "',});";
    logSendingToJs(js);
    runJavaScript(HtmlWindow::CueStore, js);
}

void kredBoxOpened(GameHandler& gh) {
    // Mends the box of a session that has just ended opening at the login form (a press under way).
    if (appState.load() < STATE_LOBBY) return;
    BZ_LOG(LOG_INFO, "buttonPress", "The Kred Box has opened!");
    if (!gh.kredBoxCollectId.empty()) {
        runJavaScript(HtmlWindow::BottomBox, "var qci = document.getElementById(\"" + gh.kredBoxCollectId +
                                                 "\"); if (qci != undefined) { qci.innerHTML = \"\"; }");
    }
    ++gh.kredBoxOpenCount;
    gh.kredBoxCollectId = "kboxCollectId" + std::to_string(gh.kredBoxOpenCount);
    const std::string text = "The Kred Box has opened! <span id=\"" + gh.kredBoxCollectId +
                             "\"><a class=\"chatBut\" href=\"#\" onclick=\"sendButtonPress('kbox-collect');"
                             "focusChat();\">Collect Kred</a></span>";
    gh.displayChatMessage(Message::initChat(0, 1, ChatClass::LOCAL_NOTICE, 0, "", gh.table.getId(), text, "", "", "", ""),
                          true);
    if (gh.gameSettings.kredBoxSounds != 0) {
        SoundBank& bank = getSoundBank();
        bank.playBallSound(bank.kredBoxOpenedClip, appState == STATE_LOBBY ? 1.0f : 0.1f, 0, 0, 0);
    }
}

void kredBoxCollect(GameHandler&) {
    BZ_LOG(LOG_INFO, "buttonPress", "Sending INFO_CODE_KRED_BOX_COLLECT");
    if (connectionHandler == nullptr) return;
    queueRequest(Message::initInfo(connectionHandler->nextIid(), InfoCode::INFO_CODE_KRED_BOX_COLLECT, 0, 0, "", ""));
}

void kredBoxCollected(GameHandler& gh) {
    BZ_LOG(LOG_INFO, "buttonPress", "The Kred Box content has been collected: " << gh.kredBoxAmount << " Kred");
    if (!gh.kredBoxCollectId.empty()) {
        runJavaScript(HtmlWindow::BottomBox, "var qci = document.getElementById(\"" + gh.kredBoxCollectId +
                                                 "\"); if (qci != undefined) {    qci.innerHTML = \"Collected " +
                                                 std::to_string(gh.kredBoxAmount) + " Kred.\";}");
        gh.kredBoxCollectId.clear();
    }
    if (gh.gameSettings.kredBoxSounds != 0) {
        SoundBank& bank = getSoundBank();
        bank.playBallSound(bank.kredBoxCollectedClip, 1.0f, 0, 0, 0);
    }
}
