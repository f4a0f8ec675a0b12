// The per-frame time-step loop of a shot: sub-steps cut at the earliest contact, run until the
// simulation has caught up with the frame clock. Needs no window; the game controller calls it
// once per frame and turns the events into ball sounds.
#pragma once

#include <cstdint>
#include <vector>

#include "physics/table.h"

enum class MotionEventKind {
    Cushion,              // a cushion or jaw contact
    Pocket,               // a ball reached a pocket and starts to fall
    BallContact,          // two balls met
    DropIntoEmptyPocket,  // a falling ball came to rest in an empty pocket
    DropOntoBalls,        // ... onto balls already in the pocket
};

struct MotionEvent {
    MotionEventKind kind = MotionEventKind::Cushion;
    int ball = -1;        // the ball that reached a pocket, or the second ball of a contact
    int pocket = -1;      // Pocket only
    int speedClass = 0;   // Pocket only: 0 slow .. 3 fast (at least 0.15, 0.3, 0.75 x [11])
    double volume = 1;    // 0..1
    double x = 0, z = 0;  // where the sound is placed, at height 0
};

class ShotStepper {
public:
    // A frame never runs more sub-steps than this, so the main thread keeps going whatever the
    // balls do; the simulation then falls behind the clock instead.
    static constexpr int kMaxSubStepsPerFrame = 5000;
    // Sub-steps of length 0 in a row after which one of kMinimumForcedStep is taken instead.
    static constexpr int kMaxZeroSteps = 16;
    static constexpr double kMinimumForcedStep = 1e-6;

    explicit ShotStepper(Table& table) : table_(table) {}

    // Call after the stroke has been applied: the shot clock starts at 0.
    void start();
    void stop() { running_ = false; }
    // The clock pair the speed factor scales starts again here: after a change of speed the shot
    // goes on from where it is at the new rate instead of catching up the time already run.
    void rebase() {
        wallAtStroke_ = wallClock_;
        simulationAtStroke_ = simulationTime_;
    }
    bool running() const { return running_; }

    // Adds the frame's elapsed time to the shot's wall clock and runs sub-steps (at least one)
    // while the wall clock times speedFactor (the replay speed, else 1) is ahead of the
    // simulation. Returns the number of sub-steps run; nothing while no shot runs.
    int stepFrame(double elapsedSeconds, double speedFactor = 1.0, std::vector<MotionEvent>* events = nullptr);
    // One sub-step, at most [26] long; returns its length.
    double subStep(std::vector<MotionEvent>* events = nullptr);

    double simulationTime() const { return simulationTime_; }
    long subStepsRun() const { return subStepsRun_; }
    // The shot ends when no ball moves; the pocket animations may still be running then.
    bool ballsMoving() const;
    bool ballsFalling() const;

private:
    struct Candidate;
    struct LiveBalls;
    // The parts of a sub-step, in order: the cushion and pocket search (which also takes the
    // snapshot of the balls on the table), the ball pair search, the step's length, the contacts
    // found at that length, and the balls' motion over it. Defined and used in shot_stepper.cpp only,
    // where they are inlined into subStep.
    inline void findCushionsAndPockets(LiveBalls& live, double& earliest, Candidate& cushion, Candidate& pocket);
    inline void findBallContact(const LiveBalls& live, double& earliest, Candidate& click);
    inline double stepLength(double earliest);
    inline void applyContacts(double dt, const Candidate& cushion, const Candidate& pocket, const Candidate& click,
                              std::vector<MotionEvent>* events);
    inline void advanceBalls(double dt, std::vector<MotionEvent>* events);

    Table& table_;
    bool running_ = false;
    double simulationTime_ = 0;
    double wallClock_ = 0;
    double wallAtStroke_ = 0;
    double simulationAtStroke_ = 0;
    bool firstContactSounded_ = false;
    bool capLogged_ = false;
    int zeroSteps_ = 0;
    bool zeroStepLogged_ = false;
    long subStepsRun_ = 0;
    // Where each ball lay still when its cushion and pocket search last ran: a ball still at the
    // same place finds nothing again and keeps the pocket pull it had.
    struct RestPlace {
        bool valid = false;
        uint64_t x = 0, z = 0;
    };
    RestPlace restPlaces_[kBallCount];
};
