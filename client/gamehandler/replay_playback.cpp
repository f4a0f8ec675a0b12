// A replay from the server: its parts collected, its text read, the table dressed for it, and the
// operations that load a shot and start, pause and resume the replay clock.
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"
#include "core/app_status.h"
#include "core/log.h"
#include "core/text.h"
#include "net/connection_handler.h"

#include <algorithm>

namespace {

std::string frameTimeStatement(const GameHandler& gh) {
    return "inbzSetReplayFrameTime({replayT: " + std::to_string(gh.replayT) +
           ",replayTotalFrameTime: " + std::to_string(gh.replayTotalFrameTime) + ",});";
}

std::string playingStatement(bool playing, int replayT) {
    return std::string("inbzSetReplayPlaying({replayPlaying: ") + (playing ? "true" : "false") +
           ", replayT: " + std::to_string(replayT) + "});";
}

bool isLineUp(int number) { return number == 10 || number == 11 || number == 12; }

// A replayed shot's status values: an empty status, sequence 0, the balls left as they are.
void applyReplayStatus(GameHandler& gh, const ReplayStatus& values, bool atEndOfShot, double replayT) {
    const std::vector<int> ints(values.begin(), values.end());
    gh.applyGameStatus(GameStatus{}, nullptr, nullptr, 0, atEndOfShot, &ints, replayT);
}

// Takes the read replay's header, shots, breaks and line-up marks.
void adoptReplay(GameHandler& gh, ReplayParse& parsed) {
    gh.replayTableVersion = parsed.tableVersion;
    gh.replayTableType = parsed.tableType;
    gh.replayPlayerNames[0] = parsed.playerNames[0];
    gh.replayPlayerNames[1] = parsed.playerNames[1];
    gh.replayDate = parsed.date;
    gh.replayInfo = parsed.info;
    gh.replayShots = std::move(parsed.shots);
    gh.replayBreaks = std::move(parsed.breaks);
    gh.replayTotalFrameTime = parsed.totalFrameTime;
    gh.lineUpTen = parsed.lineUpTen;
    gh.lineUpTwelve = parsed.lineUpTwelve;
}

// The table as the replay was played on: its id, name, players' names, line-up and type.
void dressReplayTable(GameHandler& gh) {
    runInPages({HtmlWindow::BottomBox},
               "inbzInfoTableInfo({tableId: " + std::to_string(gh.replayInfo[0]) + ",tableType: " +
                   std::to_string(gh.replayTableType) + "});inbzUpdatePlayerNames({player1: '" +
                   escapeJsString(gh.replayPlayerNames[0]) + "',player2: '" +
                   escapeJsString(gh.replayPlayerNames[1]) + "',});");
    gh.table.setId(gh.replayInfo[0]);
    gh.table.setName("Replay");
    gh.lineUpNumber = gh.lineUpTen ? 10 : gh.lineUpTwelve ? 12 : 0;
    runInPages({HtmlWindow::BottomBox},
               "inbzLineUpNumber({lineUpNumber: " + std::to_string(gh.lineUpNumber) + "});");

    gh.table.setTableType(gh.replayTableVersion, gh.replayTableType);
    // Replays recorded before the ball-spin display changed show their spin at the old rate.
    visualSpinFactor = gh.replayDate <= "2022-10-31" ? 1.0 : 0.5;
}

// The match's settings and score, and the replay's two players as the table's only people.
void seatReplayPlayers(GameHandler& gh, int shots) {
    Table& table = gh.table;
    LiveStatus& s = table.status;
    s.gameType = gh.replayInfo[1];
    s.bestOf = gh.replayInfo[2];
    s.maxShotTime = gh.replayInfo[3];
    s.maxPointsBehind = gh.replayInfo[4];
    s.framesWon[0] = gh.replayInfo[5];
    s.framesWon[1] = gh.replayInfo[6];
    if (shots > 0) s.gameState = gh.replayShots[0].status[2];
    table.setTableMode(0);
    table.arena = 0;
    table.setPlayer(0, nullptr);
    table.setPlayer(1, nullptr);
    while (!table.people.empty()) table.removePerson(table.people.back());
    Player* first = gh.findPlayer(gh.replayPlayerNames[0]);
    Player* second = gh.findPlayer(gh.replayPlayerNames[1]);
    table.addPerson(first);
    if (second != first) table.addPerson(second);
    gh.liveStatus->gameState = 0;
    table.setPlayer(0, first);
    table.setPlayer(1, second);
}

// The replay bar's frame and shot positions, clock, breaks and marked shots.
void showReplayBar(const GameHandler& gh, int shots) {
    runInPages({HtmlWindow::BottomBox},
               "inbzSetReplayFramePosition({frameNumber: " + std::to_string(gh.replayFrameNumber) +
                   ",numberOfFrames: " + std::to_string(gh.replayFrameCount) +
                   ",});inbzSetReplayShotPosition({shotNumber: 1,numberOfShots: " + std::to_string(shots - 1) +
                   ",});inbzSetReplayPlaying({replayPlaying: false,replayT: 0,});"
                   "inbzSetReplayFrameTime({replayT: 0,replayTotalFrameTime: " +
                   std::to_string(gh.replayTotalFrameTime) + ",});");
    std::string breaks = "inbzSetReplayBreaks([";
    for (const ReplayBreak& b : gh.replayBreaks)
        breaks += "{byPlayer:" + std::to_string(b.byPlayer) + ",score: " + std::to_string(b.score) +
                  ",shotNumberStart: " + std::to_string(b.shotNumberStart) +
                  ",shotNumberEnd: " + std::to_string(b.shotNumberEnd) + ",t: " + std::to_string(b.t) +
                  ",duration: " + std::to_string(b.duration) + ",},";
    runInPages({HtmlWindow::BottomBox}, breaks + "]);");
    // The marked shots go into a list literal: only a comma-separated list of integers passes.
    const bool marksSafe = gh.replayMarkedShots.find_first_not_of("0123456789-, ") == std::string::npos;
    if (!marksSafe) BZ_LOG(LOG_ERROR, "startReplay", "Marked shots refused: " << gh.replayMarkedShots);
    runInPages({HtmlWindow::BottomBox},
               "inbzSetReplayMarkedShots([" + (marksSafe ? gh.replayMarkedShots : std::string()) + "]);");
}

}  // namespace

void GameHandler::receiveReplayPart(const Message& message) {
    auto listed = [&message](size_t i) { return i < message.intList.size() ? message.intList[i] : 0; };
    if (message.valueB & 1) {
        replayKind = message.valueA;
        replayText = message.textA;
        replayMarkedShots = message.textB;
        replayMatchId = listed(0);
        replayFrameNumber = std::max(1, listed(1));
        replayStartShot = std::max(1, listed(2));
        replayFrameCount = listed(3);
        replayLinesEnabled[0] = listed(4) != 0;
        replayLinesEnabled[1] = listed(5) != 0;
        replayTextOpen = true;
        runInPages({HtmlWindow::BottomBox}, std::string("inbzSetReplayLinesEnabled([") +
                                                (replayLinesEnabled[0] ? "true" : "false") + "," +
                                                (replayLinesEnabled[1] ? "true" : "false") + "]);");
    } else if (!replayTextOpen) {
        // Fault mended: a part without its first part would be glued to an old replay's text.
        BZ_LOG(LOG_ERROR, "receiveReplayPart", "Replay part without a first part dropped");
        return;
    } else {
        replayText += message.textA;
    }
    if (replayText.size() > MAX_REPLAY_TEXT_BYTES) {
        BZ_LOG(LOG_ERROR, "receiveReplayPart", "Replay text cut at " << MAX_REPLAY_TEXT_BYTES << " bytes");
        replayText.resize(MAX_REPLAY_TEXT_BYTES);
    }
    if (!(message.valueB & 2)) return;
    replayTextOpen = false;
    if (replaysPanel.visible) closeReplays();
    if (bioTutPanel.visible) {
        // closeBio's work: it lives with the panels (ui/), above this library.
        bioTutPanel.visible = false;
        runInPages({HtmlWindow::Lobby}, "$('.lmask').hide();");
    }
    runInPages({HtmlWindow::BottomBox}, "inbzEnterReplayMode();");
    startReplay();
}

void GameHandler::startReplay() {
    replayShots.clear();
    replayBreaks.clear();
    if (replayKind == 1) buttonPress("select-replay-speed", 4, "");

    ReplayParse parsed;
    parseReplayText(replayText, maxPower, parsed);
    adoptReplay(*this, parsed);
    const int shots = static_cast<int>(replayShots.size());
    BZ_LOG(LOG_INFO, "startReplay", "shots=" << shots << " breaks=" << replayBreaks.size());

    dressReplayTable(*this);
    seatReplayPlayers(*this, shots);
    ownUserFirstViewer = false;
    updateStartMatchButtons(-1);

    replayMode = true;
    replayShotIndex = std::clamp(replayStartShot, 1, std::max(1, shots - 1));
    if (lineUpTen && parsed.bestBreakScore > 1) replayShotIndex = parsed.bestBreakFirstShot;
    showReplayBar(*this, shots);

    replayLoopCountdown = 10;
    playReplay(true);

    if (appState.load() != STATE_GAME) {
        Message start(MessageId::TABLE_EVENT, connectionHandler ? connectionHandler->nextIid() : 0);
        TableEvent e(TableEventType::START_INFO);
        e.startInfo = StartInfo::STARTED_AFTER_COIN_TOSS;
        e.value = liveStatus->playerOn;
        start.events.push_back(std::move(e));
        dispatchRebuilt(start);
    }
}

void GameHandler::loadReplayShot(bool resetBreakScore) {
    const int n = replayShotIndex;
    const int shots = static_cast<int>(replayShots.size());
    const bool loaded = n > 0 && n < shots;
    if (loaded) {
        const ReplayShot& before = replayShots[n - 1];
        replayEventIndex = 0;
        replayT = replayShots[n].startTime;
        applyReplayStatus(*this, before.status, false, replayT);
        for (Ball* set : {table.balls, table.savedBalls}) {
            for (int i = 0; i < kBallCount; ++i) {
                const ReplayBall& r = before.balls[i];
                Ball& b = set[i];
                b.onTable = r.onTable;
                b.pocket = r.pocket;
                b.pocketTime = r.spare;
                b.x = r.x, b.y = r.y, b.z = r.z;
                b.orientation.w = static_cast<float>(r.ow);
                b.orientation.x = static_cast<float>(r.ox);
                b.orientation.y = static_cast<float>(r.oy);
                b.orientation.z = static_cast<float>(r.oz);
                b.vx = b.vz = b.rollVx = b.rollVz = b.spinY = 0;
                b.accelX = b.accelZ = 0;
                b.fallingInPocket = false;
            }
            if (lineUpNumber == 10) set[BALL_ORANGE].onTable = false;
        }
        if (!replayPlayerNames[0].empty()) findPlayer(replayPlayerNames[0])->currentCue = replayShots[n].cues[0];
        if (!replayPlayerNames[1].empty()) findPlayer(replayPlayerNames[1])->currentCue = replayShots[n].cues[1];
        shotSentWaiting = false;
        runInPages({HtmlWindow::BottomBox}, "inbzSetReplayShotPosition({shotNumber: " + std::to_string(n) +
                                                ",numberOfShots: " + std::to_string(shots - 1) + ",});" +
                                                frameTimeStatement(*this));
    }
    runInPages({HtmlWindow::BottomBox}, std::string("inbzReplayLoadPractice({enabled: ") +
                                            (loaded && !isLineUp(lineUpNumber) ? "true" : "false") + "});");
    runInPages({HtmlWindow::BottomBox},
               std::string("inbzReplayShowFrameBox({show: ") + (isLineUp(lineUpNumber) ? "false" : "true") + "});");
    cueStrokeOn = false;
    remoteAimActive = false;
    remoteAimReceived = false;
    statusPending = false;
    if (resetBreakScore) lastBreakScore = 0;
}

void GameHandler::playReplay(bool resetBreakScore) {
    loadReplayShot(resetBreakScore);
    replayPaused = false;
    // Fewer than two shots leave nothing to play: only the position was reported.
    const int shots = static_cast<int>(replayShots.size());
    replayPlaying = replayShotIndex > 0 && replayShotIndex < shots;
    cueStrokeOn = false;
    replayClockStart = now;
    replayTAtStart = replayT;
    if (replayPlaying) runInPages({HtmlWindow::BottomBox}, playingStatement(true, replayT));
}

void ReplayState::pauseReplay() {
    replayPaused = true;
    runInPages({HtmlWindow::BottomBox}, playingStatement(false, replayT));
}

void GameHandler::resumeReplay() {
    replayPaused = false;
    replayClockStart = now;
    replayTAtStart = replayT;
    runInPages({HtmlWindow::BottomBox}, playingStatement(true, replayT));
}

void GameHandler::sendReplayCommand(int kind, int id, int a, int b) {
    const char* word = kind == 1 ? "shot " : kind == 2 ? "frame " : kind == 3 ? "match " : "";
    std::string text = "/replay " + std::string(word) + std::to_string(id) + " ";
    if (a > 0) {
        text += std::to_string(a) + " ";
        if (b > 0) text += std::to_string(b);
    }
    sendChatText(text, false, false);
}

bool GameHandler::applyReplayShotStatus() {
    const int k = replayShotIndex;
    const int shots = static_cast<int>(replayShots.size());
    if (k < 1 || k >= shots) return false;
    const int t = replayShots[k + 1 < shots ? k + 1 : k].startTime;
    applyReplayStatus(*this, replayShots[k].status, true, t);
    return true;
}
