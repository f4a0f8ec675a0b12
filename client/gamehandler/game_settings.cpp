#include "client/gamehandler/game_settings.h"

#include <iterator>

#include "core/prefs.h"
#include "core/text.h"

namespace {

struct IntSettingKey {
    const char* key;
    int GameSettings::* field;
    int missingValue;  // what a missing or empty entry gives; differs from the built-in defaults
};

// The keyed int settings in the order the loader reads them ("fps" comes after "vsync").
constexpr IntSettingKey kIntKeys[] = {
    {"cueBallDesign", &GameSettings::cueBallDesign, 0},
    {"ghostCueBall", &GameSettings::ghostCueBall, 0},
    {"extendedCueBallLine", &GameSettings::extendedCueBallLine, 0},
    {"whiteLines", &GameSettings::whiteLines, 0},
    {"thickLines", &GameSettings::thickLines, 1},
    {"qBallSize", &GameSettings::qBallSize, 0},
    {"errorMargins", &GameSettings::errorMargins, 0},
    {"aimingMode", &GameSettings::aimingMode, 0},
    {"reverseAiming", &GameSettings::reverseAiming, 0},
    {"mouseSensitivity", &GameSettings::mouseSensitivity, 0},
    {"displayMode", &GameSettings::displayMode, 0},
    {"arena", &GameSettings::arena, 0},
    {"vsync", &GameSettings::vsync, 0},
    {"allSounds", &GameSettings::allSounds, 0},
    {"ballSounds", &GameSettings::ballSounds, 0},
    {"ballVolume", &GameSettings::ballVolume, 0},
    {"refereeSounds", &GameSettings::refereeSounds, 0},
    {"refereeVolume", &GameSettings::refereeVolume, 0},
    {"crowdSounds", &GameSettings::crowdSounds, 1},
    {"crowdVolume", &GameSettings::crowdVolume, 100},
    {"kredBoxSounds", &GameSettings::kredBoxSounds, 1},
    {"pmSounds", &GameSettings::pmSounds, 1},
    {"friendSounds", &GameSettings::friendSounds, 1},
    {"bigBreakBroadcasts", &GameSettings::bigBreakBroadcasts, 0},
    {"tournamentBroadcasts", &GameSettings::tournamentBroadcasts, 1},
    {"specloginBroadcasts", &GameSettings::specloginBroadcasts, 1},
    {"tableChatUserInOut", &GameSettings::tableChatUserInOut, 0},
    {"showLiveAimingIcons", &GameSettings::showLiveAimingIcons, 1},
    {"ballsPotted", &GameSettings::ballsPotted, 0},
    {"ballOn", &GameSettings::ballOn, 0},
    {"friendChat", &GameSettings::friendChat, 1},
    {"lobbyWidth", &GameSettings::lobbyWidth, 1},
    {"qballTipSizeScaled", &GameSettings::qballTipSizeScaled, 0},
    {"antiAliasing", &GameSettings::antiAliasing, 4},
    {"lightSources", &GameSettings::lightSources, 0},
    {"scalingMode2", &GameSettings::scalingMode, 0},
    {"resolutionLimit", &GameSettings::resolutionLimit, 1920},
    {"displayFps", &GameSettings::displayFps, 0},
};

static_assert(std::size(kIntKeys) == 38);

constexpr const char* kFpsKey = "fps";

}  // namespace

bool loadGameSettings(const std::string& prefFolder, GameSettings& settings, bool& fileMissing) {
    KeyValueMap map;
    const PrefsRead read = readPrefsFile(prefFolder, map, {"loadGameSettingsPrefs"});
    fileMissing = read == PrefsRead::NotOpened;
    if (read != PrefsRead::Entries) return false;

    // A file without a positive frame rate was never written by a settings save; keep the defaults.
    const float fps = toFloat(getKeyValue(map, kFpsKey));
    if (!(fps > 0.0f)) return false;

    for (const IntSettingKey& entry : kIntKeys) {
        const std::string value = getKeyValue(map, entry.key);
        settings.*entry.field = value.empty() ? entry.missingValue : toInt(value);
    }
    settings.fps = fps;
    settings.aaResolutionLimit = 0;
    settings.aaGraphicsDetails = 0;
    settings.unkeyedSetting = 1;
    return true;
}

bool saveGameSettings(const std::string& prefFolder, const GameSettings& settings) {
    return updatePrefsFile(prefFolder, {"saveGameSettingsPrefs"}, [&](KeyValueMap& map) {
        setKeyValue(map, kFpsKey, floatToString(settings.fps));
        for (const IntSettingKey& entry : kIntKeys) setKeyValue(map, entry.key, intToString(settings.*entry.field));
        return true;
    });
}
