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

using Action = void (*)(GameHandler& gh, int idata1, const std::string& sdata1);

void selectSpeed(GameHandler& gh, int idata1, const std::string&) {
    info("Selected Replay Speed: " + std::to_string(idata1));
    const int speed = std::clamp(idata1, 1, 7);
    gh.replayTimeFactor = gh.replaySpeedFactors[speed - 1];
    // A shot in flight continues from where it is at the new rate: its simulation clock and the
    // replay clock alike.
    gh.shotStepper.rebase();
    gh.replayClockStart = gh.now;
    gh.replayTAtStart = gh.replayT;
    std::ostringstream statement;
    statement << "inbzSetReplaySpeed({ replaySpeed:" << speed << ",replayT:" << gh.replayT
              << ",replayTimeFactor:" << gh.replayTimeFactor << ",})";
    runJavaScript(HtmlWindow::BottomBox, statement.str());
}

void addToFavourites(GameHandler&, int, const std::string& objectId) {
    info("Adding to favourites: " + objectId);
    sendInfo(InfoCode::REPLAY_FAV_ADD, 0, 0, objectId);
    runJavaScript(HtmlWindow::Replays, "inbzReplayAddToFav({objid: '" + escapeJsString(objectId) + "'});");
}

void updateNotes(GameHandler&, int, const std::string& notes) {
    for (size_t i = notes.find('|'); i != std::string::npos; i = notes.find('|', i + 1))
        sendInfo(InfoCode::REPLAY_NOTES_UPDATE, 0, 0, notes.substr(0, i), notes.substr(i + 1));
}

void resumeAfterSave(GameHandler& gh) {
    if (gh.replayMode && gh.replayPlaying && gh.replayPaused && gh.replayPausedBySave) gh.resumeReplay();
}

void doSave(GameHandler& gh, int, const std::string& description) {
    resumeAfterSave(gh);
    sendReplaySaveReq(gh, description);
    const std::string objectId = favouriteObjectId(description);
    if (!objectId.empty())
        runJavaScript(HtmlWindow::Replays, "inbzReplayAddToFav({ objid:'" + escapeJsString(objectId) + "'});");
    if (gh.replayMode) sendInfo(InfoCode::REPLAY_SAVE_DATA, gh.replayMatchId, gh.replayFrameNumber);
}

void cancelSave(GameHandler& gh, int, const std::string&) {
    resumeAfterSave(gh);
    gh.replaySaveDialogOpen = false;
}

void practiceFreeze(GameHandler& gh, int, const std::string&) {
    gh.replayPausedByPractice = 0;
    if (gh.replayPlaying && !gh.replayPaused) {
        gh.pauseReplay();
        gh.replayPausedByPractice = 1;
    }
}

void practiceContinue(GameHandler& gh, int, const std::string&) {
    if (gh.replayPausedByPractice != 0) gh.resumeReplay();
}

void playPause(GameHandler& gh, int, const std::string&) {
    if (!gh.replayPlaying) {
        gh.playReplay(true);
        gh.replayLoopCountdown = 10;
    } else if (gh.replayPaused) {
        gh.resumeReplay();
        gh.replayLoopCountdown = 10;
    } else {
        gh.pauseReplay();
    }
}

int lastShotIndex(const GameHandler& gh) { return std::max(1, static_cast<int>(gh.replayShots.size()) - 1); }

// Moves to another shot: playing on from it when the replay plays, else showing it.
void goToShot(GameHandler& gh, int index) {
    gh.replayShotIndex = std::clamp(index, 1, lastShotIndex(gh));
    if (gh.replayPlaying && !gh.replayPaused)
        gh.playReplay(true);
    else
        gh.loadReplayShot(true);
    gh.replayLoopCountdown = 10;
    if (gh.replayKind == 1) gh.replayKind = 2;
}

void toggleAimingProcess(GameHandler& gh, int, const std::string&) {
    gh.replaySkipAimingProcess = !gh.replaySkipAimingProcess;
    runJavaScript(HtmlWindow::BottomBox, std::string("inbzSetReplayShowAimingProcess({ replayShowAimingProcess:") +
                                             (gh.replaySkipAimingProcess ? "0" : "1") + ",})");
}

void toggleLoop(GameHandler& gh, int, const std::string&) {
    gh.replayLoopCurrentShot = !gh.replayLoopCurrentShot;
    gh.replayLoopCountdown = 10;
    runJavaScript(HtmlWindow::BottomBox, std::string("inbzSetReplayLoopCurrentShot({ replayLoopCurrentShot:") +
                                             (gh.replayLoopCurrentShot ? "1" : "0") + ",})");
}

// Opens the save (or, for editing, the edit) dialog, pausing a playing replay meanwhile; outside a
// replay only the save dialog opens, on the live frame.
void openSaveDialog(GameHandler& gh, bool edit, int mode) {
    if (!gh.replayMode) {
        if (!edit) sendReplayPosition(gh, 1, 0, 0, 0);
        return;
    }
    gh.replayPausedBySave = gh.replayPlaying && !gh.replayPaused;
    if (gh.replayPausedBySave) gh.pauseReplay();
    if (edit) {
        sendReplayPosition(gh, 11, gh.replayMatchId, gh.replayFrameNumber, gh.replayShotIndex);
    } else {
        gh.replaySavePlayer = mode == 1 ? gh.liveStatus->playerOn : 0;
        sendReplayPosition(gh, mode, gh.replayMatchId, gh.replayFrameNumber,
                           std::clamp(gh.replayShotIndex, 1, lastShotIndex(gh)));
    }
}

void setAimLines(GameHandler& gh, const char* name, bool show) {
    info(name);
    gh.replayAimLinesShow = show;
    sendReplaySettings(gh);
}

void setAimingProcess(GameHandler& gh, const char* name, bool show) {
    info(name);
    gh.replayAimingProcessShow = show;
    sendReplaySettings(gh);
}

// Writes the log line, then sends the INFO.
void sendLogged(const std::string& line, InfoCode code, int valueA, int valueB, const std::string& text = "") {
    info(line);
    sendInfo(code, valueA, valueB, text);
}

void exitReplay(int toPractice) {
    sendLogged("Sending INFO_CODE_EXIT_REPLAY_REQ", InfoCode::INFO_CODE_EXIT_REPLAY_REQ, toPractice, 0);
}

struct Row {
    std::string_view name;
    Action action;
};

// A row whose whole effect is one short statement; gh, idata1 and sdata1 are the press's arguments.
#define BZ_BUTTON(name, statement) {name, [](GameHandler& gh, int idata1, const std::string& sdata1) { statement; }}

constexpr Row kRows[] = {
    // Leaving.
    BZ_BUTTON("replay-button-leave", exitReplay(0)),
    BZ_BUTTON("replay-button-go-to-practice", exitReplay(1)),
    {"replay-button-go-to-practice-freeze", practiceFreeze},
    {"replay-button-go-to-practice-continue", practiceContinue},
    // Playback.
    {"select-replay-speed", selectSpeed},
    {"replay-play-pause", playPause},
    BZ_BUTTON("replay-start", goToShot(gh, 1)),
    BZ_BUTTON("replay-prev", goToShot(gh, gh.replayShotIndex - 1)),
    BZ_BUTTON("replay-next", goToShot(gh, gh.replayShotIndex + 1)),
    BZ_BUTTON("replay-end", goToShot(gh, lastShotIndex(gh))),
    BZ_BUTTON("set-replay-position", goToShot(gh, idata1)),
    BZ_BUTTON("replay-load-frame", gh.sendReplayCommand(3, gh.replayMatchId, idata1, 0)),
    {"replay-show-aiming-process", toggleAimingProcess},
    {"replay-loop-current-shot", toggleLoop},
    // Searching and favourites.
    BZ_BUTTON("replay-start-search", sendInfo(InfoCode::REPLAY_LIST_REQ, 1, 0, sdata1)),
    BZ_BUTTON("replay-select-top20",
              sendLogged("Selected Top20 index: " + std::to_string(idata1), InfoCode::REPLAY_LIST_REQ, 2, idata1)),
    BZ_BUTTON("replay-get-fav",
              sendLogged("Getting fav. list: " + std::to_string(idata1), InfoCode::REPLAY_LIST_REQ, idata1, 0)),
    {"replay-add-to-fav", addToFavourites},
    BZ_BUTTON("replay-delete-from-fav",
              sendLogged("Deleting from favourites: " + sdata1, InfoCode::REPLAY_FAV_DELETE, 0, 0, sdata1)),
    // Settings.
    BZ_BUTTON("replay-setting-aim-lines-show", setAimLines(gh, "replay-setting-aim-lines-show", true)),
    BZ_BUTTON("replay-setting-aim-lines-hide", setAimLines(gh, "replay-setting-aim-lines-hide", false)),
    BZ_BUTTON("replay-setting-aiming-process-show", setAimingProcess(gh, "replay-setting-aiming-process-show", true)),
    BZ_BUTTON("replay-setting-aiming-process-hide", setAimingProcess(gh, "replay-setting-aiming-process-hide", false)),
    // Notes and saving.
    {"replay-update-notes", updateNotes},
    BZ_BUTTON("replay-open-save", openSaveDialog(gh, false, idata1)),
    BZ_BUTTON("replay-open-edit", openSaveDialog(gh, true, idata1)),
    {"replay-do-save", doSave},
    {"replay-cancel-save", cancelSave},
};

#undef BZ_BUTTON

}  // namespace

bool GameHandler::replayButtonPress(const std::string& name, int idata1, const std::string& sdata1) {
    for (const Row& row : kRows) {
        if (row.name != name) continue;
        row.action(*this, idata1, sdata1);
        return true;
    }
    return false;
}
