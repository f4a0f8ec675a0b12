// The keys of the game view that steer the camera: the end of an aim or of the first-person view
// (Escape), the first-person switch (Space), the preset cycle (F2), the overview view (F4), full
// screen (F11), the free 3D view (Ctrl+F), the first-person offsets (a, d), the bottom-box layout
// (Ctrl+D) and the break display (Ctrl+B).
#include "client/gamehandler/game_handler.h"

#include "client/gamehandler/requests.h"
#include "core/app_status.h"
#include "core/platform.h"

#include <SDL2/SDL_keycode.h>

namespace {

constexpr int KEY_ESCAPE = SDLK_ESCAPE;
constexpr int KEY_SPACE = SDLK_SPACE;
constexpr int KEY_F2 = SDLK_F2;
constexpr int KEY_F4 = SDLK_F4;
constexpr int KEY_F11 = SDLK_F11;
// Within this many seconds of the last F2 the presets step on; after it F2 starts again at 0.
constexpr double kPresetStepSeconds = 10.0;
constexpr double kPovSideOffset = 26.25;

// None of the mouse tools other than aiming is in use.
bool onlyAiming(const GameHandler& gh) {
    return gh.spinDrag == 0 && gh.powerDrag == 0 && gh.elevationDrag == 0 && !gh.ballDragActive &&
           !gh.widgetDrag;
}

void escape(GameHandler& gh) {
    const bool aimOrPov = gh.aimDragMode != 0 || gh.pointAiming != 0 || gh.povMode;
    if (!aimOrPov || !onlyAiming(gh)) {
        if (gh.in3DView) gh.leave3DView();
        return;
    }
    if (gh.povMode) gh.switchPOVMode();
    if (!gh.replayMode && gh.isMyTurn()) {
        gh.aimDragMode = 0;
        gh.pointAiming = 0;
        gh.aimShown = false;
        sendLiveAimEnd(gh);
    }
    gh.releasePointer();
}

void space(GameHandler& gh, bool ctrl, bool alt) {
    if (gh.isArezorOn(6) || gh.replaySaveDialogOpen) return;
    const bool aimActive = gh.aimDragMode != 0 || gh.pointAiming != 0 || (gh.remoteAimReceived && gh.remoteAimShown);
    // With the chat input empty or the bottom box collapsed the space bar is not needed for typing.
    const bool chatFree = gh.chatTextEmpty || gh.bottomBoxCollapsed;
    if (!gh.povMode) {
        if (aimActive && ((ctrl && !alt) || chatFree)) gh.switchPOVMode();
        return;
    }
    if (!aimActive && !chatFree) return;
    const bool ownTurn = !gh.replayMode && gh.isMyTurn();
    if (ownTurn && gh.aimDragMode != 0) {
        gh.aimDragMode = 0;
        gh.pointAiming = 1;
        gh.aimShown = true;
        gh.savedDragX = gh.dragX;
        gh.savedDragZ = gh.dragZ;
    }
    gh.switchPOVMode();
    gh.releasePointer();
    if (ownTurn) shareLiveAimSet(gh, false);
}

void cyclePreset(GameHandler& gh, bool shift) {
    if (gh.in3DView) {
        gh.leave3DView();
        gh.cameraPreset = GameHandler::PRESET_NONE;
    }
    const bool player = !gh.replayMode && gh.isMyTurn();
    const bool roleFlag = player ? gh.playerViewMode : gh.spectatorViewMode;
    int preset = GameHandler::PRESET_OVERHEAD;
    if (!roleFlag) {
        const int g = gh.cameraPreset;
        const bool recent = gh.now - gh.lastPresetKeyTime <= kPresetStepSeconds;
        if ((!recent && g == 0) || (recent && g >= 0)) preset = shift ? (g + 4) % 5 : (g + 1) % 5;
    }
    gh.cameraPreset = preset;
    gh.setCameraPreset(static_cast<unsigned>(preset));
    gh.lastPresetKeyTime = gh.now;
    // F2 always clears the overview view of the user's role.
    if (!gh.replayMode && (gh.isMyTurn() || gh.isOpponentsTurn()))
        gh.setViewMode("p", "22");
    else
        gh.setViewMode("s", "2");
}

void freeView(GameHandler& gh, bool shift) {
    if (shift) gh.freeCamera = gh.freeCameraHome;
    if (!shift && gh.in3DView) {
        gh.leave3DView();
        gh.setCameraPreset(static_cast<unsigned>(gh.cameraPreset));
        return;
    }
    if (gh.inOverview) {
        gh.leaveOverviewCamera();
        gh.setCameraPreset(static_cast<unsigned>(gh.cameraPreset));
    }
    gh.enter3DView();
    if (gh.tutorialTopic == 14) gh.tutorialActionDone = true;
}

void toggleFullScreen(GameHandler& gh, bool shift) {
    if (gh.fullScreen)
        platform().setFullscreen(FullscreenMode::Windowed);
    else
        platform().setFullscreen(shift ? FullscreenMode::Exclusive : FullscreenMode::Desktop);
    gh.fullScreen = !gh.fullScreen;
    gh.gameSettings.displayMode = gh.fullScreen ? 1 : 0;
}

void toggleBreakDisplay(GameHandler& gh) {
    gh.gameSettings.ballsPotted = gh.gameSettings.ballsPotted != 0 ? 0 : 1;
    gh.saveGameSettingsPrefs(gh.gameSettings);
    const LiveStatus& s = *gh.liveStatus;
    const int onSeat = s.playerOn == 1 ? 1 : 0;
    const bool reached = s.breakScore >= 1 && s.frameScore[onSeat] >= s.breakScore;
    gh.setShowBreak(appState.load() == STATE_GAME && gh.gameSettings.ballsPotted == 1 && s.gameState == 1 && reached);
}

}  // namespace

bool GameHandler::cameraKeyDown(int key) {
    const uint16_t mods = platform().modifierState();
    const bool shift = (mods & MOD_SHIFT) != 0, ctrl = (mods & MOD_CTRL) != 0, alt = (mods & MOD_ALT) != 0;
    const bool inPlay = liveStatus->gameState == 1;
    switch (key) {
    case KEY_ESCAPE: escape(*this); return true;
    case KEY_SPACE: space(*this, ctrl, alt); return true;
    case KEY_F2:
        if (inPlay && !povMode) cyclePreset(*this, shift);
        return true;
    case KEY_F4:
        if (!inPlay) return true;
        if (!replayMode && (isMyTurn() || isOpponentsTurn()))
            setViewMode("p", "2t");
        else
            setViewMode("s", "t");
        return true;
    case KEY_F11: toggleFullScreen(*this, shift); return true;
    case 'f':
        if (ctrl && inPlay && !povMode && !isArezorOn(6)) freeView(*this, shift);
        return ctrl;
    case 'a':
    case 'd':
        if (ctrl && key == 'd') {
            bottomBoxLayoutRequest = shift ? 2 : 1;
            return true;
        }
        if (!shift && !ctrl && povMode && !replayMode && isMyTurn()) {
            povSideStep = key == 'a' ? -kPovSideOffset : kPovSideOffset;
            povSideStepTime = now;
        }
        return false;
    case 'b':
        if (ctrl && !shift) toggleBreakDisplay(*this);
        return ctrl;
    default: return false;
    }
}
