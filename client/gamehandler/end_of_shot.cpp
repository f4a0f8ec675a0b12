// The end of a shot as the players hear and read it: the referee calls the running break, fouls,
// penalties and the next frame, the crowd reacts, and a one-line summary is shown.
#include "client/gamehandler/game_handler.h"

#include "core/log.h"
#include "core/sound_bank.h"

#include <string>

namespace {

constexpr const char* kLog = "applyGameStatus";
constexpr int kSeatClip0 = 109;
constexpr int kWinnerClip = 134;
constexpr int kNumberClip0 = 138;
// The number clips run from 0 up to the highest break there is.
constexpr int kHighestNumber = 155;

bool validSeat(int seat) { return seat == 0 || seat == 1; }

class Referee {
public:
    Referee() : sounds_(getSoundBank()) {}
    void clip(int k) {
        sounds_.playRefereeSound(sounds_.refereeClip(k), 1.0f);
    }
    void seat(int s) {
        if (validSeat(s)) clip(kSeatClip0 + s);
    }
    void number(int n) {
        if (n >= 0 && n <= kHighestNumber) clip(kNumberClip0 + n);
    }
    void crowd(int slot) { sounds_.playCrowdSound(sounds_.crowdClips[slot - 9], 1.0f); }

private:
    SoundBank& sounds_;
};

void addPart(std::string& text, const std::string& part) {
    if (!text.empty()) text += ", ";
    text += part;
}

}  // namespace

void GameHandler::runEndOfShotCalls(int oldBreakScore, const std::array<int32_t, 2>& oldNegativePoints,
                                    const std::array<std::string, 2>& statusPlayers) {
    LiveStatus& live = *liveStatus;
    if (live.frameWonBy >= 0 && lastFrameWonBy >= 0) return;  // that frame was announced already
    const int S = live.breakScore, W = live.frameWonBy, M = live.matchWonBy, P = live.playerOn;
    Referee referee;
    BZ_LOG(LOG_INFO, kLog, "1. lastBreakScore=" << lastBreakScore << ", gameStatus_breakScore=" << S);
    if (S > 0) {
        if (lastBreakScore == 0) breakPlayer = W >= 0 ? W : P;
        lastBreakScore = S;
        if (W >= 0) referee.seat(breakPlayer);
        referee.number(S);
        if (W >= 0 && W == breakPlayer) referee.clip(kWinnerClip);
    }
    BZ_LOG(LOG_INFO, kLog, "2. lastBreakScore=" << lastBreakScore << ", gameStatus_breakScore=" << S);

    auto either = [this](int first) { return first + static_cast<int>(pickVariant(2)); };
    int crowd = 0;
    if (M >= 0 && tableNameFlagT && tableNameFlagF) {
        crowd = 14;
    } else if (S >= maxBreak() && lineUpNumber != 10) {
        crowd = 14;
    } else if (oldBreakScore <= 99 && S > 99) {
        crowd = either(11);
    } else if (S == 0) {
        if (lastBreakScore > 99)
            crowd = either(11);
        else if (W >= 0 || lastBreakScore > 49)
            crowd = either(9);
    } else {
        const bool wentNegative = (oldNegativePoints[0] >= 0 && live.negativePoints[0] < 0) ||
                                  (oldNegativePoints[1] >= 0 && live.negativePoints[1] < 0);
        const bool breakerAhead = validSeat(breakPlayer) &&
                                  live.frameScore[breakPlayer] > live.frameScore[1 - breakPlayer];
        if (W >= 0 && lastBreakScore > 99)
            crowd = either(11);
        else if (wentNegative && breakerAhead && lineUpNumber != 10)
            crowd = 13;
        else if (W >= 0)
            crowd = either(9);
    }
    if (crowd) referee.crowd(crowd);

    std::string text;
    int duration = 4000;
    if (live.foul || live.foulAndAMiss) {
        if (live.foul) text = "Foul";
        if (live.foulAndAMiss) {
            text += " and a miss";
            referee.clip(126);
        } else {
            referee.clip(124);
        }
        if (live.foul && live.timeout) text += " (time-out)";
    }
    if (S == 0 && lastBreakScore >= 1) {
        referee.seat(breakPlayer);
        referee.number(lastBreakScore);
        if (W == breakPlayer) referee.clip(kWinnerClip);
    }
    // A seat may be empty by the time the status arrives (a practice frame over, a player gone):
    // the name the status gives for that seat then says who it was.
    // Fault mended: a winner who left before the status came was announced as "Player N".
    auto seatName = [this, &statusPlayers](int seat, const std::string& unnamed) {
        const Player* p = validSeat(seat) ? table.getPlayer(seat) : nullptr;
        if (p) return p->nick;
        if (validSeat(seat) && !statusPlayers[seat].empty()) return statusPlayers[seat];
        return unnamed;
    };
    if (live.penalty > 0) {
        addPart(text, seatName(P, "Penalty") + ": " + std::to_string(live.penalty));
        referee.seat(P);
        referee.number(live.penalty);
        if (W == P) referee.clip(kWinnerClip);
    }
    if (live.freeBall) {
        addPart(text, "Free ball");
        referee.clip(125);
    }
    if (!live.touchingBalls.empty()) {
        addPart(text, "Touching Ball");
        referee.clip(129);
    }
    auto winnerName = [&seatName](int seat) { return seatName(seat, "Player " + std::to_string(seat + 1)); };
    if (!replayMode) {
        if (M >= 0) {
            addPart(text, "Frame and match won by " + winnerName(M));
            duration = 8000;
        } else if (W >= 0) {
            addPart(text, "Frame won by " + winnerName(W));
            duration = 7000;
        }
        if (W >= 0) {
            text += ", score: " + std::to_string(live.frameOverScore[0]) + "-" + std::to_string(live.frameOverScore[1]) +
                    ", best breaks: " + std::to_string(live.bestBreakScore[0]) + "-" +
                    std::to_string(live.bestBreakScore[1]);
        }
    }
    if (live.warningTwoMisses) addPart(text, "Warning: two misses! Third miss=loss of frame!");

    if (W >= 0 && M < 0) {
        const int n = live.framesWon[0] + live.framesWon[1] + 1;
        if (n > 1 && n == live.bestOf) {
            referee.clip(107);
        } else {
            // Three voices of the frame numbers 1..35, each a group of its own.
            const int voice = static_cast<int>(pickVariant(3));
            constexpr int kVoiceBase[3] = {0, 35, 71};
            if (n >= 1 && n <= 35) referee.clip(kVoiceBase[voice] + n);
        }
        if (!lineUpPanel.visible) referee.clip(P == 0 ? 111 : 112);
    }

    lastFrameWonBy = W;
    if (S == 0 || W >= 0) lastBreakScore = 0;
    if (W >= 0) {
        live.frameWonBy = -1;
        resetAimingState(false);
    }
    if (M >= 0) live.matchWonBy = -1;
    showNotice(text, duration);
}
