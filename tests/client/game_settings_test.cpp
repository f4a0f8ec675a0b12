#include "client/gamehandler/game_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include "core/log.h"
#include "support/captured_log.h"
#include "core/prefs.h"

namespace fs = std::filesystem;

namespace {

bool sameSettings(const GameSettings& a, const GameSettings& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Writes consecutive int slots from `first` on (the record is 42 int-sized slots).
void setSlots(GameSettings& s, size_t first, std::initializer_list<int> values) {
    std::memcpy(reinterpret_cast<unsigned char*>(&s) + first * sizeof(int), values.begin(), values.size() * sizeof(int));
}

bool slotsEqual(const GameSettings& s, size_t first, std::initializer_list<int> values) {
    return std::memcmp(reinterpret_cast<const unsigned char*>(&s) + first * sizeof(int), values.begin(),
                       values.size() * sizeof(int)) == 0;
}

// Every slot changed away from its default, the three unstored ones included.
GameSettings changedSettings() {
    GameSettings s;
    for (int i = 0; i < 42; ++i) setSlots(s, size_t(i), {1000 + i});
    s.fps = 59.94f;
    return s;
}

class GameSettingsTest : public ::testing::Test {
protected:
    KeyValueMap stored() const {
        KeyValueMap map;
        readPrefsFile(folder, map, {"test", false});
        return map;
    }
    std::string logText() const { return log.text(); }

    bztest::CapturedLog log{"bzsettings"};
    const fs::path& dir = log.dir();
    const std::string folder = log.folder();
};

}  // namespace

TEST(GameSettingsRecord, SlotsInOrderWithBuiltInDefaults) {
    EXPECT_EQ(offsetof(GameSettings, fps), 13 * sizeof(int));
    EXPECT_EQ(offsetof(GameSettings, scalingMode), 16 * sizeof(int));
    EXPECT_EQ(offsetof(GameSettings, unkeyedSetting), 20 * sizeof(int));
    EXPECT_EQ(offsetof(GameSettings, displayFps), 21 * sizeof(int));
    EXPECT_EQ(offsetof(GameSettings, qballTipSizeScaled), 41 * sizeof(int));

    const GameSettings s;
    EXPECT_TRUE(slotsEqual(s, 0, {1, 1, 1, 0, 1, 1, 1, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(s.fps, 30.0f);
    EXPECT_TRUE(slotsEqual(s, 14, {4, 0, 0, 1920, 0, 0, 0, 0, 1, 1, 100, 1, 100, 1,
                                   100, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}));
}

TEST_F(GameSettingsTest, MissingOrUnusableFileKeepsTheSettings) {
    GameSettings s = changedSettings();
    const GameSettings original = s;
    bool missing = false;
    EXPECT_FALSE(loadGameSettings(folder, s, missing));
    EXPECT_TRUE(missing);
    EXPECT_TRUE(sameSettings(s, original));

    std::ofstream(dir / "prefs.dat", std::ios::binary) << "";  // opens, yields nothing
    EXPECT_FALSE(loadGameSettings(folder, s, missing));
    EXPECT_FALSE(missing);
    EXPECT_TRUE(sameSettings(s, original));

    // Without a positive "fps" the other entries are not trusted.
    for (const char* fps : {"", "0", "-30", "abc"}) {
        SCOPED_TRACE(fps);
        ASSERT_TRUE(saveParamPrefs(folder, "fps", fps));
        ASSERT_TRUE(saveParamPrefs(folder, "arena", "7"));
        EXPECT_FALSE(loadGameSettings(folder, s, missing));
        EXPECT_TRUE(sameSettings(s, original));
    }

    EXPECT_FALSE(loadGameSettings("", s, missing));
    EXPECT_FALSE(missing);
    EXPECT_NE(logText().find("loadGameSettingsPrefs: ERROR: No prefs folder available."), std::string::npos);
}

TEST_F(GameSettingsTest, OnlyFpsStoredGivesTheLoaderDefaults) {
    ASSERT_TRUE(saveParamPrefs(folder, "fps", "45.5"));
    ASSERT_TRUE(saveParamPrefs(folder, "arena", ""));        // empty counts as missing
    ASSERT_TRUE(saveParamPrefs(folder, "lightSources", "x"));  // not a number reads as 0
    GameSettings s = changedSettings();
    bool missing = true;
    ASSERT_TRUE(loadGameSettings(folder, s, missing));
    EXPECT_FALSE(missing);

    EXPECT_TRUE(slotsEqual(s, 0, {0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(s.fps, 45.5f);
    // antiAliasing .. unkeyedSetting, then displayFps .. qballTipSizeScaled
    EXPECT_TRUE(slotsEqual(s, 14, {4, 0, 0, 1920, 0, 0, 1}));
    EXPECT_TRUE(slotsEqual(s, 21, {0, 0, 0, 0, 0, 0, 1, 100, 1, 1, 1, 0, 1, 1, 0, 1, 0, 0, 1, 1, 0}));
}

TEST_F(GameSettingsTest, RoundTripKeepsOtherEntries) {
    ASSERT_TRUE(saveCredentials(folder, "me", "pw"));
    const GameSettings saved = changedSettings();
    ASSERT_TRUE(saveGameSettings(folder, saved));
    ASSERT_TRUE(saveParamPrefs(folder, "userList", "me"));

    const KeyValueMap map = stored();
    EXPECT_EQ(map.size(), 39u + 3u);
    EXPECT_EQ(map.at("fps"), "59.94");
    EXPECT_EQ(map.at("scalingMode2"), "1016");
    EXPECT_EQ(map.count("scalingMode"), 0u);
    EXPECT_EQ(map.count("aaResolutionLimit"), 0u);
    EXPECT_EQ(map.at("username"), "me");

    GameSettings loaded;
    bool missing = true;
    ASSERT_TRUE(loadGameSettings(folder, loaded, missing));
    GameSettings expected = saved;
    expected.aaResolutionLimit = 0;
    expected.aaGraphicsDetails = 0;
    expected.unkeyedSetting = 1;
    EXPECT_TRUE(sameSettings(loaded, expected));

    const std::string log = logText();
    EXPECT_NE(log.find("saveGameSettingsPrefs: Opening file for writing: " + folder + "prefs.dat"), std::string::npos);
    EXPECT_NE(log.find("loadGameSettingsPrefs: Opening file for reading: " + folder + "prefs.dat"), std::string::npos);
}

TEST_F(GameSettingsTest, FpsIsStoredWithSixSignificantDigits) {
    GameSettings s;
    s.fps = 123.456789f;
    ASSERT_TRUE(saveGameSettings(folder, s));
    EXPECT_EQ(stored().at("fps"), "123.457");
    GameSettings loaded;
    bool missing = false;
    ASSERT_TRUE(loadGameSettings(folder, loaded, missing));
    EXPECT_EQ(loaded.fps, 123.457f);
}
