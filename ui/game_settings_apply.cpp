#include "ui/game_settings_apply.h"

#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/page_statements.h"
#include "core/app_status.h"
#include "core/log.h"
#include "core/platform.h"
#include "core/sound_bank.h"
#include "render/scene.h"
#include "ui/settings_window.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

const GameSettingsKey kGameSettingsKeys[41] = {
    {"cueBallDesign", &GameSettings::cueBallDesign},
    {"ghostCueBall", &GameSettings::ghostCueBall},
    {"extendedCueBallLine", &GameSettings::extendedCueBallLine},
    {"whiteLines", &GameSettings::whiteLines},
    {"thickLines", &GameSettings::thickLines},
    {"qBallSize", &GameSettings::qBallSize},
    {"errorMargins", &GameSettings::errorMargins},
    {"aimingMode", &GameSettings::aimingMode},
    {"reverseAiming", &GameSettings::reverseAiming},
    {"mouseSensitivity", &GameSettings::mouseSensitivity},
    {"displayMode", &GameSettings::displayMode},
    {"arena", &GameSettings::arena},
    {"vsync", &GameSettings::vsync},
    {"fps", nullptr},
    {"antiAliasing", &GameSettings::antiAliasing},
    {"lightSources", &GameSettings::lightSources},
    {"scalingMode", &GameSettings::scalingMode},
    {"resolutionLimit", &GameSettings::resolutionLimit},
    {"aaResolutionLimit", &GameSettings::aaResolutionLimit},
    {"aaGraphicsDetails", &GameSettings::aaGraphicsDetails},
    {"displayFps", &GameSettings::displayFps},
    {"allSounds", &GameSettings::allSounds},
    {"ballSounds", &GameSettings::ballSounds},
    {"ballVolume", &GameSettings::ballVolume},
    {"refereeSounds", &GameSettings::refereeSounds},
    {"refereeVolume", &GameSettings::refereeVolume},
    {"crowdSounds", &GameSettings::crowdSounds},
    {"crowdVolume", &GameSettings::crowdVolume},
    {"kredBoxSounds", &GameSettings::kredBoxSounds},
    {"pmSounds", &GameSettings::pmSounds},
    {"friendSounds", &GameSettings::friendSounds},
    {"bigBreakBroadcasts", &GameSettings::bigBreakBroadcasts},
    {"tournamentBroadcasts", &GameSettings::tournamentBroadcasts},
    {"specloginBroadcasts", &GameSettings::specloginBroadcasts},
    {"tableChatUserInOut", &GameSettings::tableChatUserInOut},
    {"showLiveAimingIcons", &GameSettings::showLiveAimingIcons},
    {"ballsPotted", &GameSettings::ballsPotted},
    {"ballOn", &GameSettings::ballOn},
    {"friendChat", &GameSettings::friendChat},
    {"lobbyWidth", &GameSettings::lobbyWidth},
    {"qballTipSizeScaled", &GameSettings::qballTipSizeScaled},
};

GameSettings clampedGameSettings(GameSettings s) {
    for (int GameSettings::*volume : {&GameSettings::ballVolume, &GameSettings::refereeVolume, &GameSettings::crowdVolume}) {
        s.*volume = std::clamp(s.*volume, 0, 100);
    }
    s.fps = std::isfinite(s.fps) ? std::clamp(s.fps, 0.0f, 1000.0f) : 0.0f;
    s.antiAliasing = std::clamp(s.antiAliasing, 0, 16);
    s.resolutionLimit = std::max(s.resolutionLimit, 0);
    s.aaResolutionLimit = std::max(s.aaResolutionLimit, 0);
    return s;
}

std::string openGameSettingsStatement(const GameSettings& settings) {
    std::ostringstream text;
    text << "inbzOpenGameSettings({";
    for (const GameSettingsKey& key : kGameSettingsKeys) {
        text << key.key << ": ";
        if (key.field != nullptr) {
            text << settings.*key.field;
        } else {
            text << double(settings.fps);
        }
        text << ",";
    }
    text << "});";
    return text.str();
}

int spinWidgetSizeFor(int qBallSize) { return qBallSize == 0 ? 128 : qBallSize == 2 ? 256 : 192; }

namespace {

bool displayGroupDiffers(const GameSettings& a, const GameSettings& b) {
    // The float compares unequal when either is not a number, as a change should.
    return a.arena != b.arena || a.vsync != b.vsync || !(a.fps == b.fps) || a.antiAliasing != b.antiAliasing ||
           a.lightSources != b.lightSources || a.scalingMode != b.scalingMode ||
           a.resolutionLimit != b.resolutionLimit || a.aaResolutionLimit != b.aaResolutionLimit ||
           a.aaGraphicsDetails != b.aaGraphicsDetails;
}

void applySoundSettings(const GameSettings& s) {
    SoundBank& bank = getSoundBank();
    bank.all.muted = s.allSounds == 0;
    bank.ball.muted = s.ballSounds == 0;
    bank.ball.volume = float(s.ballVolume) / 100.0f;
    bank.referee.muted = s.refereeSounds == 0;
    bank.referee.volume = float(s.refereeVolume) / 100.0f;
    bank.crowd.muted = s.crowdSounds == 0;
    bank.crowd.volume = float(s.crowdVolume) / 100.0f;
    bank.friendMuted = s.friendSounds == 0;
}

}  // namespace

void GameHandler::saveGameSettings(const GameSettings& requested) {
    BZ_LOG(LOG_INFO, "saveGameSettings", "");
    const GameSettings s = clampedGameSettings(requested);  // a copy: the argument may be our own record
    saveGameSettingsPrefs(s);
    const bool resize = displayGroupDiffers(s, gameSettings);
    gameSettings = s;
    if (resize) settingsWindow().announceResize();

    Scene& scene = getScene();
    scene.reloadLightingShaders(s.lightSources == 1);
    scene.setCueBallDesign(s.cueBallDesign != 0 ? 1 : 0);
    spinWidgetSize = spinWidgetSizeFor(s.qBallSize);

    runInPages({HtmlWindow::BottomBox},
               std::string("if (typeof inbzSetShowLiveAimingIcons !== 'undefined') { inbzSetShowLiveAimingIcons({ enabled:") +
                   (s.showLiveAimingIcons == 1 ? "true" : "false") + " }); }");
    const bool inFrame = appState == STATE_GAME && liveStatus != nullptr && liveStatus->gameState == 1;
    const int breakScore = inFrame ? liveStatus->breakScore : 0;
    const int playerOn = inFrame ? std::clamp(liveStatus->playerOn, 0, 1) : 0;
    setShowBreak(inFrame && s.ballsPotted == 1 && breakScore >= 1 && breakScore <= liveStatus->frameScore[playerOn]);
    setShowBallOn(inFrame && s.ballOn == 1);

    const bool wantFullScreen = s.displayMode == 1;
    if (wantFullScreen != fullScreen) {
        fullScreen = wantFullScreen;
        platform().setFullscreen(wantFullScreen ? FullscreenMode::Desktop : FullscreenMode::Windowed);
    }
    const int interval = s.vsync == 1 ? 1 : 0;
    settingsWindow().setSwapInterval(interval);
    BZ_LOG(LOG_INFO, "saveGameSettings", "vsync setting: SDL_GL_SetSwapInterval(" << interval << ")");

    const double target = s.fps >= 1.0f ? double(s.fps) : 60.0;
    if (target != maxFps) {
        maxFps = target;
        fpsChanged = true;
    }
    applySoundSettings(s);
    runInPages({HtmlWindow::Lobby}, "if (typeof inbzSetLobbyWidth !== 'undefined') {    inbzSetLobbyWidth({        lobbyWidth:" +
                                        std::to_string(s.lobbyWidth) + "    });}");
}
