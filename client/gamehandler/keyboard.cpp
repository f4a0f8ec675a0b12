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

// The modifier state of one key press and what it makes of the keys.
struct Press {
    bool shift, ctrl, alt, plain, inGame, replayKeys;
};

void saveSettings(GameHandler& gh) { gh.saveGameSettingsPrefs(gh.gameSettings); }

// The digits 1 to 7: replay speed, a nominated ball, or a beta-lobby chat command.
bool digitKeyDown(GameHandler& gh, int digit, const Press& p) {
    if (p.replayKeys) {
        gh.buttonPress("select-replay-speed", digit, "");
        return false;
    }
    if (p.ctrl && !p.shift && !p.alt && !gh.replayMode && gh.isMyTurn() &&
        (gh.liveStatus->ballOn == 0 || gh.liveStatus->freeBall)) {
        sendNominatedBall(gh, digit);
        return true;
    }
    if (p.alt && p.plain && gh.betaLobbyPlayer) {
        gh.sendChatText("/" + std::to_string(digit), false, false);
        return true;
    }
    return false;
}

void saveReplayKey(GameHandler& gh, const Press& p) {
    if (p.ctrl && !p.shift && p.inGame && noPanelOpen(gh)) {
        const Player* a = gh.table.getPlayer(0);
        const Player* b = gh.table.getPlayer(1);
        if (a != nullptr && b != nullptr && a != b && !GameHandler::hasPlayerFlag64(a) &&
            !GameHandler::hasPlayerFlag64(b))
            gh.buttonPress("replay-open-save", 1, "");
    } else if (p.ctrl && p.shift && (gh.ownUserType & 0x90) != 0 && p.inGame && gh.replayMode && noPanelOpen(gh)) {
        gh.buttonPress("replay-open-edit", 0, "");
    }
}

void soundKey(GameHandler& gh, const Press& p) {
    if (p.ctrl && !p.shift) {
        toggle(gh.gameSettings.allSounds);
        saveSettings(gh);
        getSoundBank().all.muted = gh.gameSettings.allSounds == 0;
        gh.showNotice(gh.gameSettings.allSounds != 0 ? "Sound ON" : "Sound OFF", 3000);
    } else if (p.ctrl && p.shift) {
        gh.keepCursorVisible = !gh.keepCursorVisible;
    }
}

void notificationKey(GameHandler& gh, const Press& p) {
    if (p.ctrl && !p.shift) {
        gh.showNotice(gh.notificationSounds ? "Notification sound effects: OFF" : "Notification sound effects: ON",
                      3000);
        gh.notificationSounds = !gh.notificationSounds;
    } else if (p.ctrl && p.shift && (gh.ownUserType & 0x10) != 0) {
        runJavaScript(HtmlWindow::TopBox, "inbzToggleNotice();");
    }
}

void peopleOrPauseKey(GameHandler& gh, const Press& p) {
    if (p.replayKeys) {
        gh.buttonPress("replay-play-pause", 0, "");
    } else if (p.ctrl && !p.shift && isTableState(appState.load()) && !gh.gameSettingsPanel.visible &&
               !gh.matchSettingsPanel.visible && !gh.bioTutPanel.visible) {
        gh.openPeople("");
    }
}

void cueBallSizeKey(GameHandler& gh, const Press& p) {
    if (p.ctrl && !p.shift) {
        gh.gameSettings.qBallSize = nextOfThree(gh.gameSettings.qBallSize);
        saveSettings(gh);
        gh.spinWidgetSize = 128 + 64 * gh.gameSettings.qBallSize;
    } else if (p.ctrl && p.shift) {
        toggle(gh.gameSettings.qballTipSizeScaled);
        saveSettings(gh);
        gh.showNotice(gh.gameSettings.qballTipSizeScaled != 0 ? "Cue tip size: SCALED with Qball size"
                                                              : "Cue tip size: FIXED",
                      3000);
    }
}

void undoKey(GameHandler& gh, const Press& p) {
    if (p.ctrl && !p.shift && gh.betaLobbyPlayer) {
        gh.buttonPress("undo-shot", 0, "");
    } else if (p.ctrl && p.shift && gh.betaLobbyPlayer) {
        runJavaScript(HtmlWindow::BottomBox, "inbzBallLockToggle();");
    }
}

void shootKey(GameHandler& gh, const Press& p) {
    // As the mouse: only the player on turn, in a frame in play, and one shot until its echo.
    if (!gh.povMode && p.inGame && gh.isMyTurnLive() && !gh.shotSentWaiting) {
        // A cue that would pass through a ball or the rail cannot strike the cue ball.
        if (gh.cueClears(gh.aim)) {
            gh.shoot(false);
        } else {
            BZ_LOG(LOG_INFO, "keyDown", "F9 refused: the cue's line is not clear");
        }
    } else {
        BZ_LOG(LOG_INFO, "keyDown", "F9 refused: not the own turn or a shot is already sent");
    }
}

// The keys with a Ctrl switch that only flips a display setting.
void displaySwitchKey(GameHandler& gh, int key, const Press& p) {
    if (!p.ctrl || p.shift) return;
    GameSettings& s = gh.gameSettings;
    switch (key) {
    case 'w':
        s.thickLines = 1 - (s.thickLines != 0 ? 1 : 0);
        break;
    case 'e':
        toggle(s.errorMargins);
        break;
    case 'g':
        toggle(s.ghostCueBall);
        break;
    case 'l':
        s.extendedCueBallLine = nextOfThree(s.extendedCueBallLine);
        break;
    case 'o':
        toggle(s.ballOn);
        saveSettings(gh);
        gh.setShowBallOn(p.inGame && s.ballOn == 1 && gh.liveStatus->gameState == 1);
        return;
    default:
        return;
    }
    saveSettings(gh);
}

// The keys left once the digits, the held keys and the camera keys have had theirs.
void commandKeyDown(GameHandler& gh, int key, const Press& p) {
    switch (key) {
    case 's':
        saveReplayKey(gh, p);
        break;
    case 'w':
    case 'e':
    case 'g':
    case 'l':
    case 'o':
        displaySwitchKey(gh, key, p);
        break;
    case 'm':
        soundKey(gh, p);
        break;
    case 'n':
        notificationKey(gh, p);
        break;
    case 'h':
        if (p.ctrl && p.shift && (gh.ownUserType & 0x10) != 0)
            runJavaScript(HtmlWindow::Lobby, "inbzToggleTopWrap();");
        break;
    case 'p':
        peopleOrPauseKey(gh, p);
        break;
    case 'q':
        cueBallSizeKey(gh, p);
        break;
    case 'z':
        undoKey(gh, p);
        break;
    case KEY_F9:
        shootKey(gh, p);
        break;
    case KEY_RIGHT:
        if (p.replayKeys) gh.buttonPress("replay-next", 0, "");
        break;
    case KEY_LEFT:
        if (p.replayKeys) gh.buttonPress("replay-prev", 0, "");
        break;
    default:
        break;
    }
}

}  // namespace

bool GameHandler::keyDown(int key, int x, int y) {
    // Mends the password typed at the login form written to the log key by key.
    const bool keySecret = loginFormTakesKeys(appState.load());
    BZ_LOG(LOG_INFO, "keyDown",
           "Key event: key=" << (keySecret ? std::string("*****") : std::to_string(key)) << ", x=" << x << ", y=" << y);
    const uint16_t mods = platform().modifierState();
    Press p{};
    p.shift = (mods & MOD_SHIFT) != 0;
    p.ctrl = (mods & MOD_CTRL) != 0;
    p.alt = (mods & MOD_ALT) != 0;
    p.plain = !p.shift && !p.ctrl;
    p.inGame = appState.load() == STATE_GAME;
    p.replayKeys = p.plain && replayMode && p.inGame && noPanelOpen(*this);

    if (key == KEY_BACKSPACE && p.alt && p.plain && betaLobbyPlayer) {
        sendChatText("/del", false, false);
        return true;
    }
    if (key >= '1' && key <= '7') return digitKeyDown(*this, key - '0', p);
    static constexpr int kHeld[4] = {'w', 'a', 's', 'd'};
    for (int i = 0; i < 4; ++i)
        if (key == kHeld[i]) keysHeld[i] = true;
    if (cameraKeyDown(key)) return false;  // camera_keys.cpp
    commandKeyDown(*this, key, p);
    return false;
}
