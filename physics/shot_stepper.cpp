#include "physics/shot_stepper.h"
#include "physics/det_math.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "core/log.h"

namespace {

void emit(std::vector<MotionEvent>* events, const MotionEvent& e) {
    if (events) events->push_back(e);
}

// A contact's speed as a volume from 0 to 1, full at `loud`.
double volume(double speed, double loud) { return std::clamp(speed, 0.0, loud) / loud; }

}  // namespace

// The earliest contact of one kind found in a sub-step.
struct ShotStepper::Candidate {
    bool set = false;
    double time = 0, speed = 0, x = 0, z = 0;
    int ball = -1, pocket = -1;
};

// The balls on the table, with copies of their places and velocities for the pair search (no
// search changes them).
struct ShotStepper::LiveBalls {
    int live[kBallCount], movingAt[kBallCount];
    double px[kBallCount], pz[kBallCount], pvx[kBallCount], pvz[kBallCount];
    bool moves[kBallCount];
    int count = 0, movingCount = 0;
};

void ShotStepper::start() {
    running_ = true;
    simulationTime_ = 0;
    simulationAtStroke_ = 0;
    wallAtStroke_ = wallClock_;
    firstContactSounded_ = false;
    capLogged_ = false;
    zeroSteps_ = 0;
    zeroStepLogged_ = false;
    subStepsRun_ = 0;
    for (RestPlace& r : restPlaces_) r.valid = false;
}

bool ShotStepper::ballsMoving() const {
    return std::any_of(std::begin(table_.balls), std::end(table_.balls), [](const Ball& b) { return b.isMoving(); });
}

bool ShotStepper::ballsFalling() const {
    return std::any_of(std::begin(table_.balls), std::end(table_.balls),
                       [](const Ball& b) { return b.fallingInPocket; });
}

int ShotStepper::stepFrame(double elapsedSeconds, double speedFactor, std::vector<MotionEvent>* events) {
    if (!running_) return 0;
    wallClock_ += elapsedSeconds;
    int steps = 0;
    do {
        if (steps >= kMaxSubStepsPerFrame) {
            if (!capLogged_) {
                BZ_LOG(LOG_ERROR, "stepFrame", "Sub-step limit of " << kMaxSubStepsPerFrame
                                                   << " per frame reached at shot time " << simulationTime_);
                capLogged_ = true;
            }
            // Drop the time owed so the following frames do not start behind.
            if (speedFactor > 0) wallAtStroke_ = wallClock_ - (simulationTime_ - simulationAtStroke_) / speedFactor;
            break;
        }
        subStep(events);
        ++steps;
    } while (running_ && (wallClock_ - wallAtStroke_) * speedFactor > simulationTime_ - simulationAtStroke_);
    return steps;
}

double ShotStepper::subStep(std::vector<MotionEvent>* events) {
    double earliest = (*table_.params)[26];
    Candidate cushion, pocket, click;
    LiveBalls live;
    findCushionsAndPockets(live, earliest, cushion, pocket);
    findBallContact(live, earliest, click);
    const double dt = stepLength(earliest);
    applyContacts(dt, cushion, pocket, click, events);
    advanceBalls(dt, events);
    ++subStepsRun_;
    return dt;
}

// The parts of a sub-step are inlined into it: as calls, the snapshot of the balls escapes the pair
// search's frame and a break-off runs about a tenth slower.
[[gnu::always_inline]] void ShotStepper::findCushionsAndPockets(LiveBalls& live, double& earliest, Candidate& cushion,
                                                                Candidate& pocket) {
    Ball* balls = table_.balls;
    for (int i = 0; i < kBallCount; ++i) {
        Ball& b = balls[i];
        if (b.id < 0 || !b.onTable) continue;
        const int a = live.count++;
        live.live[a] = i;
        live.px[a] = b.x;
        live.pz[a] = b.z;
        live.pvx[a] = b.vx;
        live.pvz[a] = b.vz;
        const bool still = b.vx == 0 && b.vz == 0;
        live.moves[a] = !still;
        if (!still) live.movingAt[live.movingCount++] = a;

        RestPlace& rest = restPlaces_[i];
        if (still) {
            const uint64_t x = std::bit_cast<uint64_t>(b.x), z = std::bit_cast<uint64_t>(b.z);
            if (rest.valid && rest.x == x && rest.z == z) continue;
            rest = {true, x, z};
        } else {
            rest.valid = false;
        }
        int pocketFlag = 0, id = 0, code = 0;
        if (b.collideWithCushionsAndPockets(earliest, &id, &code, pocketFlag))
            cushion = {true, earliest, b.contactNormalSpeed, b.contactX, b.contactZ, i, -1};
        if (pocketFlag > 0)
            pocket = {true, earliest, detmath::hypot(b.vx, b.vz), b.x, b.z, i, pocketFlag - kContactPocket};
    }
}

[[gnu::always_inline]] void ShotStepper::findBallContact(const LiveBalls& live, double& earliest, Candidate& click) {
    const TableParams& p = *table_.params;
    Ball* balls = table_.balls;
    const double* px = live.px;
    const double* pz = live.pz;
    const double* pvx = live.pvx;
    const double* pvz = live.pvz;
    // Two balls at rest have no relative motion and never meet, so only pairs with a sliding ball
    // are asked, in the same order as all pairs would be. A pair farther apart along x or z than the
    // diameter plus the closing speed along it times the step cannot touch in the step; the margins
    // (0.1 % and a micrometre) are far above the rounding of the contact time, so the pair's answer
    // would have been no anyway.
    const double diameter = std::abs(p[47]) + 1e-3;  // the contact test squares it
    double reach = earliest * 1.001;
    auto pair = [&](int a, int c) __attribute__((always_inline)) {
        if (earliest >= 0 && (std::abs(px[a] - px[c]) > diameter + std::abs(pvx[a] - pvx[c]) * reach ||
                              std::abs(pz[a] - pz[c]) > diameter + std::abs(pvz[a] - pvz[c]) * reach))
            return;
        int idA = 0, idB = 0;
        Ball& other = balls[live.live[c]];
        if (balls[live.live[a]].timeToBallContact(other, earliest, &idA, &idB, simulationTime_)) {
            click = {true, earliest, other.contactNormalSpeed, other.contactX, other.contactZ, live.live[c], -1};
            reach = earliest * 1.001;
        }
    };
    // The partners of a: every later ball if a moves, else the later moving ones.
    for (int a = 0, m = 0; a < live.count; ++a) {
        while (m < live.movingCount && live.movingAt[m] <= a) ++m;
        if (live.moves[a]) {
            for (int c = a + 1; c < live.count; ++c) pair(a, c);
        } else {
            for (int k = m; k < live.movingCount; ++k) pair(a, live.movingAt[k]);
        }
    }
}

[[gnu::always_inline]] double ShotStepper::stepLength(double earliest) {
    double dt = earliest;
    if (dt > 0) {
        zeroSteps_ = 0;
    } else if (!(dt == 0) || ++zeroSteps_ > kMaxZeroSteps) {
        // A contact at the very start of a step is normal now and then; a run of them, or a NaN
        // from a broken constant, would stop the shot clock for good, so the shot is pushed on.
        if (!zeroStepLogged_) {
            BZ_LOG(LOG_ERROR, "subStep", "No progress at shot time " << simulationTime_ << " (step " << dt
                                                                     << "), forcing a minimum step");
            zeroStepLogged_ = true;
        }
        dt = kMinimumForcedStep;
        zeroSteps_ = 0;
    }
    return dt;
}

[[gnu::always_inline]] void ShotStepper::applyContacts(double dt, const Candidate& cushion, const Candidate& pocket,
                                                       const Candidate& click, std::vector<MotionEvent>* events) {
    const TableParams& p = *table_.params;
    const double loud = 0.6 * p[11];
    if (cushion.set && cushion.time == dt)
        emit(events, {MotionEventKind::Cushion, cushion.ball, -1, 0, volume(cushion.speed, loud), cushion.x, cushion.z});
    if (pocket.set && pocket.time == dt) {
        Ball& b = table_.balls[pocket.ball];
        b.onTable = false;
        b.fallingInPocket = true;
        b.pocket = pocket.pocket;
        b.pocketTime = simulationTime_;
        b.y = p[48];
        b.vx = b.vz = 0;
        const double s = pocket.speed;
        int speedClass = s >= 0.75 * p[11] ? 3 : s >= 0.3 * p[11] ? 2 : s >= 0.15 * p[11] ? 1 : 0;
        emit(events, {MotionEventKind::Pocket, pocket.ball, pocket.pocket, speedClass, volume(s, loud), pocket.x,
                      pocket.z});
    }
    if (click.set && click.time == dt) {
        double speed = click.speed;
        if (!firstContactSounded_) {
            speed = std::max(speed, 0.02 * loud);
            firstContactSounded_ = true;
        }
        emit(events, {MotionEventKind::BallContact, click.ball, -1, 0, volume(speed, loud), click.x, click.z});
    }
}

[[gnu::always_inline]] void ShotStepper::advanceBalls(double dt, std::vector<MotionEvent>* events) {
    bool droppedIntoEmpty = false, droppedOntoBalls = false;
    for (int i = 0; i < kBallCount; ++i) {
        Ball& b = table_.balls[i];
        // A ball at rest and not falling stays as it is.
        if (b.id < 0 || (!b.isMoving() && !b.fallingInPocket)) continue;
        bool airborne = i == table_.airborneBall && simulationTime_ < table_.airborneUntil;
        b.advance(airborne, &droppedIntoEmpty, &droppedOntoBalls, dt, simulationTime_);
    }
    simulationTime_ += dt;
    if (droppedIntoEmpty) emit(events, {MotionEventKind::DropIntoEmptyPocket, -1, -1, 0, 1, 0, 0});
    if (droppedOntoBalls) emit(events, {MotionEventKind::DropOntoBalls, -1, -1, 0, 1, 0, 0});
}
