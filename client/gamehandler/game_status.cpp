// The server's game status made the table's live status: the BottomBox page hears the whole record,
// the TopBox keeps the break and the ball on, the shot timers and the timeout-prolong decision follow,
// and at the end of a shot the referee and the crowd speak (end_of_shot.cpp).
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/page_statements.h"
#include "client/gamehandler/state_change.h"
#include "core/app_status.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/text.h"

#include <algorithm>
#include <sstream>

namespace {

constexpr const char* kLog = "applyGameStatus";
constexpr int kProlongMarker = 1000;
constexpr const char* kStopBothClocks = "inbzStopShotTimer({player: 0,});inbzStopShotTimer({player: 1,});";

// The parked status of a shot comes with its ball arrays, kept beside it.
void applyParked(GameHandler& gh, const GameStatus& status, int sequence, bool atEndOfShot,
                 const std::vector<int>* replayStatus, double replayT) {
    gh.applyGameStatus(status, &gh.pendingBalls, &gh.pendingSavedBalls, sequence, atEndOfShot, replayStatus, replayT);
}

// endShot hands its parked status over through this hook; set once when the program starts.
const bool applierInstalled = (GameHandler::setGameStatusApplier(applyParked), true);

std::string nickOf(const Player* player) { return player ? player->nick : std::string(); }

uint32_t millisSince(std::chrono::system_clock::time_point since, std::chrono::system_clock::time_point now) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - since).count();
    return static_cast<uint32_t>(std::clamp<int64_t>(ms, 0, UINT32_MAX));
}

template <class A>
void appendList(std::ostringstream& out, const char* key, const A& values) {
    out << key << ":[";
    for (size_t i = 0; i < std::size(values); ++i) out << (i ? "," : "") << values[i];
    out << "],";
}

template <class A, class B>
void copyArray(A& to, const B& from) {
    std::copy(std::begin(from), std::end(from), std::begin(to));
}

// The fields a live status and a status record share, in one list for both directions.
template <class To, class From>
void copySharedFields(To& to, const From& from) {
    to.striker = from.striker;
    to.startInfo = static_cast<decltype(to.startInfo)>(from.startInfo);
    to.playerOn = from.playerOn;
    to.playerOnFirst = from.playerOnFirst;
    to.gameType = from.gameType;
    to.bestOf = from.bestOf;
    to.maxShotTime = from.maxShotTime;
    to.maxShotTimeNow = from.maxShotTimeNow;
    to.maxPointsBehind = from.maxPointsBehind;
    to.gameState = from.gameState;
    to.frameWonBy = from.frameWonBy;
    to.matchWonBy = from.matchWonBy;
    copyArray(to.framesWon, from.framesWon);
    copyArray(to.frameScore, from.frameScore);
    copyArray(to.negativePoints, from.negativePoints);
    copyArray(to.frameOverScore, from.frameOverScore);
    to.breakScore = from.breakScore;
    copyArray(to.ballsPotted, from.ballsPotted);
    copyArray(to.bestBreak, from.bestBreak);
    copyArray(to.bestBreakScore, from.bestBreakScore);
    to.scoreForPocketedBalls = from.scoreForPocketedBalls;
    to.penalty = from.penalty;
    to.ballOn = from.ballOn;
    to.nominatedBall = from.nominatedBall;
    to.ballInHand = from.ballInHand;
    to.respottedBlack = from.respottedBlack;
    to.ballOnFull = from.ballOnFull;
    to.foul = from.foul;
    to.freeBall = from.freeBall;
    to.foulAndAMiss = from.foulAndAMiss;
    to.timeout = from.timeout;
    to.missCount = from.missCount;
    to.timeoutCount = from.timeoutCount;
    to.warningTwoMisses = from.warningTwoMisses;
    to.frameAwardedThreeMisses = from.frameAwardedThreeMisses;
    to.frameAwardedThreeTimeouts = from.frameAwardedThreeTimeouts;
    to.concededBy = from.concededBy;
    to.matchConcededBy = from.matchConcededBy;
    copyArray(to.rerackRequests, from.rerackRequests);
    copyArray(to.abortRequests, from.abortRequests);
    copyArray(to.postponeRequests, from.postponeRequests);
    to.prevBallOn = from.prevBallOn;
    to.prevBallOnFull = from.prevBallOnFull;
    to.prevFreeBall = from.prevFreeBall;
}

// The live status as a record: what the page and the replay path start from.
GameStatus snapshot(const LiveStatus& s, std::chrono::system_clock::time_point now) {
    GameStatus r;
    r.matchDuration = millisSince(s.matchStart, now);
    r.frameDuration = millisSince(s.frameStart, now);
    r.breakDuration = millisSince(s.breakStart, now);
    r.players = {nickOf(s.players[0]), nickOf(s.players[1])};
    copySharedFields(r, s);
    r.statusMarkers = s.statusMarkers;
    if (s.timeoutProlongDeciding) r.statusMarkers.push_back(kProlongMarker);
    r.touchingBalls = s.touchingBalls;
    r.thirdList = s.thirdList;
    return r;
}

void writeBack(LiveStatus& s, const GameStatus& r, std::chrono::system_clock::time_point now) {
    s.matchStart = now - std::chrono::milliseconds(r.matchDuration);
    s.frameStart = now - std::chrono::milliseconds(r.frameDuration);
    s.breakStart = now - std::chrono::milliseconds(r.breakDuration);
    copySharedFields(s, r);
    s.statusMarkers = r.statusMarkers;
    auto marker = std::find(s.statusMarkers.begin(), s.statusMarkers.end(), kProlongMarker);
    s.timeoutProlongDeciding = marker != s.statusMarkers.end();
    if (s.timeoutProlongDeciding) s.statusMarkers.erase(marker);
    s.touchingBalls = r.touchingBalls;
    s.thirdList = r.thirdList;
    if (s.frameScore[0] == 0 && s.frameScore[1] == 0) {
        s.breakScore = 0;
        s.negativePoints[0] = s.negativePoints[1] = 999999;
    }
}

void placeBalls(Ball* balls, const std::array<BallState, kBallCount>& states) {
    for (int i = 0; i < kBallCount; ++i) {
        const BallState& from = states[i];
        Ball& b = balls[i];
        b.onTable = from.onTable;
        b.pocket = from.pocket;
        b.pocketTime = from.pocketTime;
        b.x = from.x;
        b.y = from.y;
        b.z = from.z;
        b.orientation = Quaternion{from.orientation[0], from.orientation[1], from.orientation[2], from.orientation[3]};
        // At rest: nothing of the shot before carries over.
        b.resetForStroke();
        b.fallingInPocket = false;
        b.accelX = b.accelZ = 0;
    }
}

// The replay's 49 values over the snapshot (their order is the replay text's).
void takeReplayValues(GameStatus& r, const std::vector<int>& v) {
    auto at = [&v](size_t i) { return i < v.size() ? v[i] : 0; };
    r.playerOn = at(0);
    r.maxShotTimeNow = at(1);
    r.gameState = at(2);
    r.frameWonBy = at(3);
    r.matchWonBy = at(4);
    r.framesWon = {at(5), at(6)};
    r.frameScore = {at(7), at(8)};
    r.negativePoints = {at(9), at(10)};
    r.breakScore = at(11);
    for (size_t i = 0; i < 10; ++i) r.ballsPotted[i] = at(12 + i);
    r.scoreForPocketedBalls = at(26);
    r.penalty = at(27);
    r.touchingBalls.clear();
    const int count = std::clamp(at(28), 0, 6);  // the record has room for six
    for (int i = 0; i < count; ++i) r.touchingBalls.push_back(at(29 + i));
    r.ballOn = at(35);
    r.nominatedBall = at(36);
    r.ballInHand = at(37) != 0;
    r.respottedBlack = at(38) != 0;
    r.foul = at(39) != 0;
    r.freeBall = at(40) != 0;
    r.foulAndAMiss = at(41) != 0;
    r.timeout = at(42) != 0;
    r.warningTwoMisses = at(43) != 0;
    r.frameAwardedThreeMisses = at(44) != 0;
    r.frameAwardedThreeTimeouts = at(45) != 0;
    r.concededBy = at(46);
    r.matchConcededBy = at(47);
}

// Mends the shot clock that ran on after a frame and the departed player's name left in the bar.
// shownNames: the names the status just sent to the bar gave it, when it sent any.
void showFrameOver(GameHandler& gh, const std::array<std::string, 2>* shownNames) {
    runInPages({HtmlWindow::BottomBox}, kStopBothClocks);
    LiveStatus& live = *gh.liveStatus;
    Player* seats[2] = {gh.table.getPlayer(0), gh.table.getPlayer(1)};
    const bool barNamesSeats =
        !shownNames || ((*shownNames)[0] == nickOf(seats[0]) && (*shownNames)[1] == nickOf(seats[1]));
    if (live.players[0] == seats[0] && live.players[1] == seats[1] && barNamesSeats) return;
    live.players[0] = seats[0];
    live.players[1] = seats[1];
    runInPages({HtmlWindow::BottomBox}, "inbzUpdatePlayerNames({player1: '" + escapeJsString(nickOf(seats[0])) +
                                            "',player2: '" + escapeJsString(nickOf(seats[1])) + "',});");
}

}  // namespace

std::string gameStatusStatement(const GameStatus& r, bool atEndOfShot) {
    std::ostringstream o;
    o << "inbzUpdateGameStatus({" << "atEndOfShot: " << jsFlag(atEndOfShot) << "," << "matchDuration: "
      << r.matchDuration << "," << "frameDuration: " << r.frameDuration << "," << "breakDuration: "
      << r.breakDuration << "," << "players:['" << escapeJsString(r.players[0]) << "'," << "'"
      << escapeJsString(r.players[1]) << "'],";
    o << "striker: " << r.striker << "," << "startInfo: " << r.startInfo << "," << "playerOn: " << r.playerOn << ","
      << "playerOnFirst: " << r.playerOnFirst << "," << "gameType: " << r.gameType << "," << "bestOf: " << r.bestOf
      << "," << "maxShotTime: " << r.maxShotTime << "," << "maxShotTimeNow: " << r.maxShotTimeNow << ","
      << "maxPointsBehind: " << r.maxPointsBehind << "," << "gameState: " << r.gameState << ","
      << "frameWonBy: " << r.frameWonBy << "," << "matchWonBy: " << r.matchWonBy << ",";
    appendList(o, "framesWon", r.framesWon);
    appendList(o, "frameScore", r.frameScore);
    appendList(o, "negativePoints", r.negativePoints);
    appendList(o, "frameOverScore", r.frameOverScore);
    o << "breakScore: " << r.breakScore << ",";
    appendList(o, "ballsPotted", r.ballsPotted);
    appendList(o, "bestBreak", r.bestBreak);
    appendList(o, "bestBreakScore", r.bestBreakScore);
    o << "scoreForPocketedBalls: " << r.scoreForPocketedBalls << "," << "penalty: " << r.penalty << ","
      << "ballOn: " << r.ballOn << "," << "nominatedBall: " << r.nominatedBall << ","
      << "ballInHand: " << jsFlag(r.ballInHand) << "," << "respottedBlack: " << jsFlag(r.respottedBlack) << ","
      << "ballOnFull: " << jsFlag(r.ballOnFull) << "," << "foul: " << jsFlag(r.foul) << ","
      << "freeBall: " << jsFlag(r.freeBall) << "," << "foulAndAMiss: " << jsFlag(r.foulAndAMiss) << ","
      << "timeout: " << jsFlag(r.timeout) << "," << "missCount: " << r.missCount << ","
      << "timeoutCount: " << r.timeoutCount << "," << "warningTwoMisses: " << jsFlag(r.warningTwoMisses) << ","
      << "frameAwardedThreeMisses: " << jsFlag(r.frameAwardedThreeMisses) << ","
      << "frameAwardedThreeTimeouts: " << jsFlag(r.frameAwardedThreeTimeouts) << ","
      << "concededBy: " << r.concededBy << "," << "matchConcededBy: " << r.matchConcededBy << ",";
    appendList(o, "rerackRequests", r.rerackRequests);
    appendList(o, "abortRequests", r.abortRequests);
    appendList(o, "postponeRequests", r.postponeRequests);
    o << "prevBallOn: " << r.prevBallOn << "," << "prevBallOnFull: " << r.prevBallOnFull << ","
      << "prevFreeBall: " << jsFlag(r.prevFreeBall) << "," << "});";
    return o.str();
}

void GameHandler::applyGameStatus(const GameStatus& status, const std::array<BallState, kBallCount>* balls,
                                  const std::array<BallState, kBallCount>* savedBalls, int sequence,
                                  bool atEndOfShot, const std::vector<int>* replayStatus, double replayT) {
    BZ_LOG(LOG_INFO, kLog, ">>> enter");
    LiveStatus& live = *liveStatus;
    const auto wallNow = systemNow();
    GameStatus local = snapshot(live, wallNow);
    const int oldGameState = local.gameState;
    const int oldBreakScore = local.breakScore;
    const std::array<int32_t, 2> oldNegative = local.negativePoints;
    const bool oldProlong = live.timeoutProlongDeciding;
    const uint32_t localFrameDuration = local.frameDuration;

    bool stale = false;
    const GameStatus* shown = &status;  // what the break display reads
    int breakMillis = static_cast<int>(status.breakDuration);
    if (replayStatus) {
        takeReplayValues(local, *replayStatus);
        BZ_LOG(LOG_DEBUG, kLog, "rgs=" << static_cast<const void*>(replayStatus) << ", rgs->frameScore=["
                                       << local.frameScore[0] << "," << local.frameScore[1] << "]");
        const int breakStartAt = replayStatus->size() > 48 ? (*replayStatus)[48] : 0;
        GameStatus page = local;
        page.matchDuration = 0;
        page.frameDuration = static_cast<uint32_t>(replayT);
        page.breakDuration = static_cast<uint32_t>(replayT - breakStartAt);
        page.striker = page.startInfo = page.playerOnFirst = 0;
        page.frameOverScore = page.bestBreak = page.bestBreakScore = {0, 0};
        page.rerackRequests = page.abortRequests = page.postponeRequests = {0, 0};
        page.ballOnFull = false;
        page.missCount = page.timeoutCount = 0;
        page.prevBallOn = page.prevBallOnFull = 0;
        page.prevFreeBall = false;
        const std::string statement = gameStatusStatement(page, atEndOfShot);
        runInPages({HtmlWindow::BottomBox}, statement);
        BZ_LOG(LOG_INFO, kLog, "js command sent to CEF: " << statement);
        writeBack(live, local, wallNow);
        shown = &local;
        breakMillis = static_cast<int>(replayT - breakStartAt);
    } else if (static_cast<int32_t>(static_cast<uint32_t>(sequence) - static_cast<uint32_t>(lastStatusSequence)) <= 0) {
        stale = true;
        BZ_LOG(LOG_INFO, kLog, "stale status " << sequence << " (last " << lastStatusSequence << ") not applied");
    } else {
        const std::string statement = gameStatusStatement(status, atEndOfShot);
        runInPages({HtmlWindow::BottomBox}, statement);
        BZ_LOG(LOG_INFO, kLog, "js command sent to CEF: " << statement);
        writeBack(live, status, wallNow);
        if (balls) placeBalls(table.balls, *balls);
        if (savedBalls) placeBalls(table.savedBalls, *savedBalls);
        BZ_LOG(LOG_INFO, kLog, "gameStatus.timeoutProlongDeciding=" << (live.timeoutProlongDeciding ? 1 : 0));
        lastStatusSequence = sequence;
    }

    // Follow-up, every path.
    checkBetaLobby();
    if (lineUpShotFlag && live.matchConcededBy >= 0) lineUpShotFlag = false;
    const uint32_t frameMillis = replayStatus ? localFrameDuration : status.frameDuration;
    if ((oldGameState == 1 && live.gameState != 1) || frameMillis <= 5000) {
        runInPages({HtmlWindow::BottomBox}, "inbzShotStarted();");
        resetAimingState(false);
    } else if (live.gameState == 1 && live.timeout) {
        resetAimingState(false);
    }
    const AppState state = appState.load();
    if (live.gameState == 1 && !live.respottedBlack && state != STATE_COIN_TOSS) {
        const int p = live.playerOn;
        auto stopTimer = [](int seat) { return "inbzStopShotTimer({player: " + std::to_string(seat) + ",});"; };
        if (live.timeoutProlongDeciding) {
            const std::string statement = stopTimer(p) + stopTimer(1 - p);
            runInPages({HtmlWindow::BottomBox}, statement);
            BZ_LOG(LOG_INFO, kLog, "Stopped shot timer in BottomBox: " << statement);
        } else {
            const std::string statement =
                stopTimer(1 - p) +
                "inbzStartShotTimer({player: " + std::to_string(p) + ",timerSeconds: " +
                std::to_string(live.maxShotTimeNow) + ",});";
            runInPages({HtmlWindow::BottomBox}, statement);
            BZ_LOG(LOG_INFO, kLog, "Started shot timer in BottomBox: " << statement);
        }
    }

    // Mends a viewer's clock that ran on past the frame's end, and the departed player the frame's
    // last status named again in her bar: her table list and seats tell the end before that status
    // comes, so it finds no frame to end. No frame, no clock, and the bar names the seats.
    if (live.gameState != 1 && state != STATE_COIN_TOSS) {
        // Fault mended: a replay's conceded frame kept the clock of the player on turn on its bar. A
        // replay's seats are its players: only the clocks stop.
        if (replayStatus)
            runInPages({HtmlWindow::BottomBox}, kStopBothClocks);
        else
            showFrameOver(*this, stale ? nullptr : &status.players);
    }

    // Break display in the TopBox.
    const GameStatus& d = *shown;
    const bool inGame = state == STATE_GAME;
    const int onSeat = std::clamp(d.playerOn, 0, 1);
    setShowBreak(inGame && gameSettings.ballsPotted == 1 && d.gameState == 1 && d.breakScore >= 1 &&
                 d.frameScore[onSeat] >= d.breakScore);
    setShowBallOn(inGame && gameSettings.ballOn == 1 && d.gameState == 1);
    int ballShown = d.ballOn;
    bool freeShown = d.freeBall;
    if (lineUpNumber == 10) {
        ballShown = d.ballOn == 0 ? 7 : d.ballOn;
        freeShown = false;
    } else if (lineUpNumber == 12) {
        freeShown = true;
    }
    std::ostringstream top;
    top << "inbzSetBreakScore({" << "breakScore: " << d.breakScore << "," << "ballsPotted: [";
    for (int v : d.ballsPotted) top << v << ",";
    top << "]," << "lineUpNumber: " << lineUpNumber << "});" << "inbzSetBreakTime({" << "breakTime: " << breakMillis
        << "});" << "inbzSetBallOn({" << "ballOn:" << ballShown << "," << "freeBall:" << jsFlag(freeShown) << ","
        << "snookerPlus:" << 0 << "});";
    runInPages({HtmlWindow::TopBox}, top.str());

    if (atEndOfShot && !stale && !inTutorial) runEndOfShotCalls(oldBreakScore, oldNegative, shown->players);

    if (oldProlong) {
        const std::string statement = "inbzTimeoutProlongDecidingStop();";
        runInPages({HtmlWindow::BottomBox}, statement);
        BZ_LOG(LOG_INFO, kLog, "Stopped timeout prolong deciding in BB: " << statement);
    }
    if (live.timeoutProlongDeciding && !replayMode && isOpponentsTurn()) {
        const int p = live.playerOn;
        bool showAbort = false;
        if (!tableNameFlagT) {
            const int o = std::clamp(1 - p, 0, 1);
            const int k = live.concededBy;
            const bool lastColour = live.ballOn == 7 || (live.ballOn == 9 && live.gameType == 6);
            if (k >= 0)
                showAbort = k != o;
            else
                showAbort = !(live.negativePoints[o] < live.maxPointsBehind ||
                              (lastColour && live.negativePoints[o] < 0));
        }
        const std::string statement = std::string("inbzTimeoutProlongDecidingStart({") + "    opponentName:'" +
                                      escapeJsString(nickOf(table.getPlayer(p))) + "'," +
                                      "    showAbort:" + jsFlag(showAbort) + "," +
                                      "    timeoutValue:" + std::to_string(live.maxShotTimeNow) + "," + "});";
        runInPages({HtmlWindow::BottomBox}, statement);
        BZ_LOG(LOG_INFO, kLog, "Started timeout prolong deciding in BB: " << statement);
    }
    if (live.gameState != 1) changeState(STATE_TABLE);
    BZ_LOG(LOG_INFO, kLog, "<<< exit");
}
