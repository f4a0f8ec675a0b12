#include "tools/testserver/frame_rules.h"

#include "physics/ball.h"

#include <algorithm>

namespace {

bool isRed(int ball) { return ball >= BALL_FIRST_RED && ball <= BALL_LAST_RED; }
bool isColour(int ball) { return ball >= BALL_YELLOW && ball <= BALL_BLACK; }

// The colour a shot at "a colour" is played at: the named one, else the first colour hit.
int chosenColour(const StrokeFacts& facts) {
    if (isColour(facts.nominated)) return facts.nominated;
    return isColour(facts.firstHit) ? facts.firstHit : 0;
}

bool isTarget(const FrameScore& frame, const StrokeFacts& facts, int ball) {
    if (frame.ballOn == 1) return isRed(ball);
    if (frame.ballOn == 0) return ball != 0 && ball == chosenColour(facts);
    return ball == frame.ballOn;
}

int valueOn(const FrameScore& frame, const StrokeFacts& facts) {
    if (frame.ballOn == 1) return 1;
    if (frame.ballOn == 0) return ballValue(chosenColour(facts));
    return frame.ballOn;
}

// The ball on when the turn passes (or the break goes on without a colour after a red).
int ballOnForNextVisit(const FrameScore& frame, const StrokeFacts& facts) {
    if (facts.redsLeft > 0) return 1;
    return frame.ballOn >= BALL_YELLOW ? frame.ballOn : BALL_YELLOW;
}

void passTurn(FrameScore& frame) {
    frame.playerOn = 1 - frame.playerOn;
    frame.breakScore = 0;
    frame.ballsPotted = {};
}

}  // namespace

int ballValue(int ball) {
    if (isRed(ball)) return 1;
    return isColour(ball) ? ball : 0;
}

StrokeVerdict judgeStroke(FrameScore& frame, const StrokeFacts& facts) {
    StrokeVerdict verdict;
    const int striker = frame.playerOn;
    const bool onBlack = frame.ballOn == BALL_BLACK;
    verdict.foul = facts.firstHit < 0 || !isTarget(frame, facts, facts.firstHit);
    for (int ball : facts.potted) verdict.foul = verdict.foul || !isTarget(frame, facts, ball);

    if (verdict.foul) {
        // The foul is worth the highest ball involved, at least four.
        int worst = std::max(4, valueOn(frame, facts));
        if (facts.firstHit >= 0) worst = std::max(worst, ballValue(facts.firstHit));
        for (int ball : facts.potted) {
            worst = std::max(worst, ballValue(ball));
            if (isColour(ball)) verdict.respot.push_back(ball);
            if (ball == BALL_WHITE) verdict.ballInHand = true;
        }
        verdict.penalty = worst;
        frame.score[1 - striker] += worst;
        frame.ballOn = ballOnForNextVisit(frame, facts);
        passTurn(frame);
        if (onBlack) {
            verdict.respot.clear();  // the frame is over: nothing comes back
            verdict.ballInHand = false;
            frame.frameWonBy = frame.score[striker] > frame.score[1 - striker] ? striker : 1 - striker;
        }
        return verdict;
    }

    for (int ball : facts.potted) {
        verdict.points += ballValue(ball);
        ++frame.ballsPotted[ballValue(ball)];
    }
    if (verdict.points == 0) {
        frame.ballOn = ballOnForNextVisit(frame, facts);
        passTurn(frame);
        return verdict;
    }
    frame.score[striker] += verdict.points;
    frame.breakScore += verdict.points;
    if (frame.ballOn == 1) {
        frame.ballOn = 0;
    } else if (frame.ballOn == 0) {
        verdict.respot = facts.potted;  // a colour after a red comes back
        frame.ballOn = ballOnForNextVisit(frame, facts);
    } else if (onBlack) {
        frame.frameWonBy = frame.score[1 - striker] > frame.score[striker] ? 1 - striker : striker;
    } else {
        ++frame.ballOn;
    }
    return verdict;
}

StrokeVerdict judgeTimeout(FrameScore& frame, int redsLeft) {
    StrokeVerdict verdict;
    verdict.foul = true;
    verdict.penalty = 4;
    frame.score[1 - frame.playerOn] += verdict.penalty;
    StrokeFacts facts;
    facts.redsLeft = redsLeft;
    frame.ballOn = ballOnForNextVisit(frame, facts);
    passTurn(frame);
    return verdict;
}
