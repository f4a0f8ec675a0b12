// The replay family of page buttons: leaving, speeds, searching, favourites, saving, notes and the
// replay settings. Playback itself (play, pause, resume, loading a shot) belongs to the replay
// player; these buttons say which of its steps to take and remember why a replay was paused.
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/requests.h"
#include "core/log.h"
#include "core/page_script.h"
#include "core/text.h"
#include "net/connection_handler.h"
#include "net/message.h"
#include "net/request_queue.h"

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>

namespace {

void info(const std::string& line) { BZ_LOG(LOG_INFO, "buttonPress", line); }

// The favourites' object id a save description names ("s/", "f/" or "m/" and its numbers), or empty
// when the description names no shared object.
std::string favouriteObjectId(const std::string& description) {
    static const std::regex pattern(R"(^.(\d+).(\d+).(\d+).(\d+).\d+.(\d+).)");
    std::smatch g;
    if (!std::regex_search(description, g, pattern)) return "";
    if (std::stoll(g[5].str().substr(0, 12)) == 0) return "";
    if (g[1] == "1") return "s/" + g[2].str() + "." + g[3].str() + "." + g[4].str();
    if (g[1] == "2") return "f/" + g[2].str() + "." + g[3].str();
    if (g[1] == "3") return "m/" + g[2].str();
    return "";
}

}  // namespace

bool GameHandler::replayButtonPress(const std::string& name, int idata1, const std::string& sdata1) {
    if (name == "replay-button-leave" || name == "replay-button-go-to-practice") {
        info("Sending INFO_CODE_EXIT_REPLAY_REQ");
        sendInfo(InfoCode::INFO_CODE_EXIT_REPLAY_REQ, name == "replay-button-leave" ? 0 : 1, 0);
    } else if (name == "select-replay-speed") {
        info("Selected Replay Speed: " + std::to_string(idata1));
        const int speed = std::clamp(idata1, 1, 7);
        replayTimeFactor = replaySpeedFactors[speed - 1];
        // A shot in flight continues from where it is at the new rate.
        replayClockStart = now;
        replayTAtStart = replayT;
        std::ostringstream statement;
        statement << "inbzSetReplaySpeed({ replaySpeed:" << speed << ",replayT:" << replayT
                  << ",replayTimeFactor:" << replayTimeFactor << ",})";
        runJavaScript(HtmlWindow::BottomBox, statement.str());
    } else if (name == "replay-start-search") {
        sendInfo(InfoCode::REPLAY_LIST_REQ, 1, 0, sdata1);
    } else if (name == "replay-select-top20") {
        info("Selected Top20 index: " + std::to_string(idata1));
        sendInfo(InfoCode::REPLAY_LIST_REQ, 2, idata1);
    } else if (name == "replay-get-fav") {
        info("Getting fav. list: " + std::to_string(idata1));
        sendInfo(InfoCode::REPLAY_LIST_REQ, idata1, 0);
    } else if (name == "replay-add-to-fav") {
        info("Adding to favourites: " + sdata1);
        sendInfo(InfoCode::REPLAY_FAV_ADD, 0, 0, sdata1);
        runJavaScript(HtmlWindow::Replays, "inbzReplayAddToFav({objid: '" + escapeJsString(sdata1) + "'});");
    } else if (name == "replay-delete-from-fav") {
        info("Deleting from favourites: " + sdata1);
        sendInfo(InfoCode::REPLAY_FAV_DELETE, 0, 0, sdata1);
    } else if (name == "replay-setting-aim-lines-show" || name == "replay-setting-aim-lines-hide") {
        info(name);
        replayAimLinesShow = name == "replay-setting-aim-lines-show";
        sendReplaySettings(*this);
    } else if (name == "replay-setting-aiming-process-show" || name == "replay-setting-aiming-process-hide") {
        info(name);
        replayAimingProcessShow = name == "replay-setting-aiming-process-show";
        sendReplaySettings(*this);
    } else if (name == "replay-update-notes") {
        for (size_t i = sdata1.find('|'); i != std::string::npos; i = sdata1.find('|', i + 1))
            sendInfo(InfoCode::REPLAY_NOTES_UPDATE, 0, 0, sdata1.substr(0, i), sdata1.substr(i + 1));
    } else if (name == "replay-do-save") {
        if (replayMode && replayPlaying && replayPaused && replayPausedBySave) resumeReplay();
        sendReplaySaveReq(*this, sdata1);
        const std::string objectId = favouriteObjectId(sdata1);
        if (!objectId.empty())
            runJavaScript(HtmlWindow::Replays, "inbzReplayAddToFav({ objid:'" + escapeJsString(objectId) + "'});");
        if (replayMode) sendInfo(InfoCode::REPLAY_SAVE_DATA, replayMatchId, replayFrameNumber);
    } else if (name == "replay-button-go-to-practice-freeze") {
        replayPausedByPractice = 0;
        if (replayPlaying && !replayPaused) {
            pauseReplay();
            replayPausedByPractice = 1;
        }
    } else if (name == "replay-button-go-to-practice-continue") {
        if (replayPausedByPractice != 0) resumeReplay();
    } else if (name == "replay-play-pause") {
        if (!replayPlaying) {
            playReplay(true);
            replayLoopCountdown = 10;
        } else if (replayPaused) {
            resumeReplay();
            replayLoopCountdown = 10;
        } else {
            pauseReplay();
        }
    } else if (name == "replay-start" || name == "replay-prev" || name == "replay-next" || name == "replay-end" ||
               name == "set-replay-position") {
        const int last = std::max(1, static_cast<int>(replayShots.size()) - 1);
        int index = replayShotIndex;
        if (name == "replay-start") index = 1;
        if (name == "replay-prev") index = replayShotIndex - 1;
        if (name == "replay-next") index = replayShotIndex + 1;
        if (name == "replay-end") index = last;
        if (name == "set-replay-position") index = idata1;
        replayShotIndex = std::clamp(index, 1, last);
        if (replayPlaying && !replayPaused)
            playReplay(true);
        else
            loadReplayShot(true);
        replayLoopCountdown = 10;
        if (replayKind == 1) replayKind = 2;
    } else if (name == "replay-load-frame") {
        sendReplayCommand(3, replayMatchId, idata1, 0);
    } else if (name == "replay-show-aiming-process") {
        replaySkipAimingProcess = !replaySkipAimingProcess;
        runJavaScript(HtmlWindow::BottomBox, std::string("inbzSetReplayShowAimingProcess({ replayShowAimingProcess:") +
                                                 (replaySkipAimingProcess ? "0" : "1") + ",})");
    } else if (name == "replay-loop-current-shot") {
        replayLoopCurrentShot = !replayLoopCurrentShot;
        replayLoopCountdown = 10;
        runJavaScript(HtmlWindow::BottomBox, std::string("inbzSetReplayLoopCurrentShot({ replayLoopCurrentShot:") +
                                                 (replayLoopCurrentShot ? "1" : "0") + ",})");
    } else if (name == "replay-open-save" || name == "replay-open-edit") {
        if (!replayMode) {
            if (name == "replay-open-save") sendReplayPosition(*this, 1, 0, 0, 0);
            return true;
        }
        replayPausedBySave = replayPlaying && !replayPaused;
        if (replayPausedBySave) pauseReplay();
        const int last = std::max(1, static_cast<int>(replayShots.size()) - 1);
        if (name == "replay-open-edit") {
            sendReplayPosition(*this, 11, replayMatchId, replayFrameNumber, replayShotIndex);
        } else {
            replaySavePlayer = idata1 == 1 ? liveStatus->playerOn : 0;
            sendReplayPosition(*this, idata1, replayMatchId, replayFrameNumber, std::clamp(replayShotIndex, 1, last));
        }
    } else if (name == "replay-cancel-save") {
        if (replayMode && replayPlaying && replayPaused && replayPausedBySave) resumeReplay();
        replaySaveDialogOpen = false;
    } else {
        return false;
    }
    return true;
}
