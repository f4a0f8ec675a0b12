// The game view's keys: held movement keys, nominations, replay keys, shooting and the display and
// sound switches (most with Ctrl). Camera keys belong to the camera code.
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/requests.h"
#include "core/app_status.h"
#include "core/log.h"
#include "core/page_script.h"
#include "core/platform.h"
#include "core/sound_bank.h"

#include <SDL2/SDL_keycode.h>

#include <string>

namespace {

constexpr int KEY_BACKSPACE = SDLK_BACKSPACE;
constexpr int KEY_RIGHT = SDLK_RIGHT;
constexpr int KEY_LEFT = SDLK_LEFT;
constexpr int KEY_F9 = SDLK_F9;

bool noPanelOpen(const GameHandler& gh) {
    return !gh.gameSettingsPanel.visible && !gh.matchSettingsPanel.visible && !gh.invitesPanel.visible &&
           !gh.peoplePanel.visible && !gh.replaysPanel.visible && !gh.tasksPanel.visible && !gh.alertsPanel.visible &&
           !gh.bioTutPanel.visible && !gh.replaySaveDialogOpen;
}

// A three-way setting steps to the next value; a stored value out of range starts again at 0.
int nextOfThree(int value) { return value >= 0 && value < 2 ? value + 1 : 0; }

void toggle(int& setting) { setting = setting != 0 ? 0 : 1; }

}  // namespace

bool GameHandler::keyDown(int key, int x, int y) {
    BZ_LOG(LOG_INFO, "keyDown", "Key event: key=" << key << ", x=" << x << ", y=" << y);
    const uint16_t mods = platform().modifierState();
    const bool shift = (mods & MOD_SHIFT) != 0, ctrl = (mods & MOD_CTRL) != 0, alt = (mods & MOD_ALT) != 0;
    const bool plain = !shift && !ctrl;
    const bool inGame = appState.load() == STATE_GAME;
    const bool replayKeys = plain && replayMode && inGame && noPanelOpen(*this);
    const auto save = [this] { saveGameSettingsPrefs(gameSettings); };

    if (key == KEY_BACKSPACE && alt && plain && betaLobbyPlayer) {
        sendChatText("/del", false, false);
        return true;
    }
    if (key >= '1' && key <= '7') {
        const int digit = key - '0';
        if (replayKeys) {
            buttonPress("select-replay-speed", digit, "");
            return false;
        }
        if (ctrl && !shift && !alt && !replayMode && isMyTurn() &&
            (liveStatus->ballOn == 0 || liveStatus->freeBall)) {
            sendNominatedBall(*this, digit);
            return true;
        }
        if (alt && plain && betaLobbyPlayer) {
            sendChatText("/" + std::to_string(digit), false, false);
            return true;
        }
        return false;
    }
    static constexpr int kHeld[4] = {'w', 'a', 's', 'd'};
    for (int i = 0; i < 4; ++i)
        if (key == kHeld[i]) keysHeld[i] = true;
    if (cameraKeyDown(key)) return false;  // camera_keys.cpp

    switch (key) {
    case 's':
        if (ctrl && !shift && inGame && noPanelOpen(*this)) {
            const Player* a = table.getPlayer(0);
            const Player* b = table.getPlayer(1);
            if (a != nullptr && b != nullptr && a != b && !hasPlayerFlag64(a) && !hasPlayerFlag64(b))
                buttonPress("replay-open-save", 1, "");
        } else if (ctrl && shift && (ownUserType & 0x90) != 0 && inGame && replayMode && noPanelOpen(*this)) {
            buttonPress("replay-open-edit", 0, "");
        }
        break;
    case 'w':
        if (ctrl && !shift) {
            gameSettings.thickLines = 1 - (gameSettings.thickLines != 0 ? 1 : 0);
            save();
        }
        break;
    case 'e':
        if (ctrl && !shift) toggle(gameSettings.errorMargins), save();
        break;
    case 'g':
        if (ctrl && !shift) toggle(gameSettings.ghostCueBall), save();
        break;
    case 'l':
        if (ctrl && !shift) gameSettings.extendedCueBallLine = nextOfThree(gameSettings.extendedCueBallLine), save();
        break;
    case 'm':
        if (ctrl && !shift) {
            toggle(gameSettings.allSounds);
            save();
            getSoundBank().all.muted = gameSettings.allSounds == 0;
            showNotice(gameSettings.allSounds != 0 ? "Sound ON" : "Sound OFF", 3000);
        } else if (ctrl && shift) {
            keepCursorVisible = !keepCursorVisible;
        }
        break;
    case 'n':
        if (ctrl && !shift) {
            showNotice(notificationSounds ? "Notification sound effects: OFF" : "Notification sound effects: ON", 3000);
            notificationSounds = !notificationSounds;
        } else if (ctrl && shift && (ownUserType & 0x10) != 0) {
            runJavaScript(HtmlWindow::TopBox, "inbzToggleNotice();");
        }
        break;
    case 'h':
        if (ctrl && shift && (ownUserType & 0x10) != 0) runJavaScript(HtmlWindow::Lobby, "inbzToggleTopWrap();");
        break;
    case 'o':
        if (ctrl && !shift) {
            toggle(gameSettings.ballOn);
            save();
            setShowBallOn(inGame && gameSettings.ballOn == 1 && liveStatus->gameState == 1);
        }
        break;
    case 'p':
        if (replayKeys) {
            buttonPress("replay-play-pause", 0, "");
        } else if (ctrl && !shift && isTableState(appState.load()) && !gameSettingsPanel.visible &&
                   !matchSettingsPanel.visible && !bioTutPanel.visible) {
            openPeople("");
        }
        break;
    case 'q':
        if (ctrl && !shift) {
            gameSettings.qBallSize = nextOfThree(gameSettings.qBallSize);
            save();
            spinWidgetSize = 128 + 64 * gameSettings.qBallSize;
        } else if (ctrl && shift) {
            toggle(gameSettings.qballTipSizeScaled);
            save();
            showNotice(gameSettings.qballTipSizeScaled != 0 ? "Cue tip size: SCALED with Qball size"
                                                            : "Cue tip size: FIXED",
                       3000);
        }
        break;
    case 'z':
        if (ctrl && !shift && betaLobbyPlayer) {
            buttonPress("undo-shot", 0, "");
        } else if (ctrl && shift && betaLobbyPlayer) {
            runJavaScript(HtmlWindow::BottomBox, "inbzBallLockToggle();");
        }
        break;
    case KEY_F9:
        // As the mouse: only the player on turn, in a frame in play, and one shot until its echo.
        if (!povMode && inGame && isMyTurnLive() && !shotSentWaiting) {
            // A cue that would pass through a ball or the rail cannot strike the cue ball.
            if (cueClears(aim)) {
                shoot(false);
            } else {
                BZ_LOG(LOG_INFO, "keyDown", "F9 refused: the cue's line is not clear");
            }
        } else {
            BZ_LOG(LOG_INFO, "keyDown", "F9 refused: not the own turn or a shot is already sent");
        }
        break;
    case KEY_RIGHT:
        if (replayKeys) buttonPress("replay-next", 0, "");
        break;
    case KEY_LEFT:
        if (replayKeys) buttonPress("replay-prev", 0, "");
        break;
    default:
        break;
    }
    return false;
}
