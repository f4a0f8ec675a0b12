#include "tools/testserver/tutorial_topics.h"

#include "physics/ball.h"
#include "tools/testserver/local_frame.h"

#include <cmath>

namespace {

// Near enough to the centre spot to count as the middle of the table, in mm.
constexpr double kMiddleRadius = 450;

}  // namespace

void layOutExercise(int topic, LocalFrame& frame) {
    for (int ball = 1; ball < kBallCount; ++ball) frame.removeBall(ball);
    // Straight at the near middle pocket: from the centre in the first, closer in the second.
    const double cueZ = topic == 2 ? -250 : 0, redZ = topic == 2 ? -650 : -500;
    frame.placeBall(BALL_WHITE, 0, cueZ);
    frame.placeBall(BALL_FIRST_RED, 0, redZ);
}

bool exercisePassed(int topic, const TableEvent& after) {
    const GameStatus& s = after.status();
    const BallState& cue = after.balls()[BALL_WHITE];
    const bool potted = !s.foul && !after.balls()[BALL_FIRST_RED].onTable && cue.onTable;
    if (topic == 2) return potted && std::hypot(cue.x, cue.z) < kMiddleRadius;
    return potted;
}
