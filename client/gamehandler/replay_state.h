// The game controller's replay: what the server's replay information and the replay text gave, the
// player's clock and controls, and the save dialog (part of GameHandler, which inherits it). Written
// by replay_playback.cpp, replay_events.cpp, replay_buttons.cpp, update.cpp and the replay INFO
// codes (dispatch/info_replays.cpp). Its one operation that needs only this data, pauseReplay,
// is defined in replay_playback.cpp; the rest of the player is GameHandler's.
#pragma once

#include "client/gamehandler/replay_text.h"

#include <array>
#include <string>
#include <vector>

// What one loaded replay owns: the server's replay information, what its text gave, the playback and
// the save dialog. Set back to these values, all at once, when the replay is left for the lobby or
// the practice laid out from it, and when a login starts (ReplayState::resetReplayData).
struct ReplayOwned {
    std::string replayText;
    int replayShotIndex = 0;
    bool replayMode = false;
    int replayLoopCountdown = 10;

    // What the server's replay information gave (REPLAY_INFO, first part).
    int replayKind = 0;  // 1 shot, 2 frame, 3 match
    std::string replayMarkedShots;
    int replayMatchId = 0, replayFrameNumber = 1, replayStartShot = 1, replayFrameCount = 0;
    bool replayLinesEnabled[2] = {false, false};
    // A first part has arrived since the last replay started: later parts may be appended.
    bool replayTextOpen = false;
    // What reading the replay text gave.
    int replayTableVersion = 0, replayTableType = 1;
    std::string replayPlayerNames[2];
    std::string replayDate;
    std::array<int, 7> replayInfo{};
    std::vector<ReplayShot> replayShots;
    std::vector<ReplayBreak> replayBreaks;
    int replayTotalFrameTime = 0;
    bool lineUpTen = true, lineUpTwelve = false;
    // Playback: the event next due, the replay clock and its state.
    int replayEventIndex = 0;
    int replayT = 0;  // ms
    bool replayPaused = false;
    bool replayPlaying = false;
    double replayClockStart = 0;  // game clock seconds
    int replayTAtStart = 0;

    // The replay's save dialog (the replay itself is kept with the replay player's fields).
    bool replaySaveDialogOpen = false;
    int replaySavePlayer = 0;
    // Why the replay was paused (the practice freeze, the save dialog).
    int replayPausedByPractice = 0;
    bool replayPausedBySave = false;
};

// Besides the loaded replay: the user's replay settings and controls, which outlive a replay.
struct ReplayState : ReplayOwned {
    static constexpr std::array<double, 7> replaySpeedFactors = {0.0599988000239995, 0.2, 0.5, 1.0, 1.5, 2.0, 5.0};
    double replayTimeFactor = 1.0;
    bool replayAimLinesShow = false;
    bool replayAimingProcessShow = false;
    bool replayLoopCurrentShot = false;
    bool replaySkipAimingProcess = true;
    // The server found a practice table for the loaded replay; its start lays out the position
    // (it crosses from the replay to the practice table, so the replay's reset leaves it).
    bool replayTableSettingsPending = false;
    // A replay command waiting for the user to confirm the replay warning.
    std::string pendingReplayCommand;

    // ===== The operation that needs only the replay's own data (replay_playback.cpp). =====
    void pauseReplay();
    // Every ReplayOwned field at its initial value (owners.cpp).
    void resetReplayData();
};
