// The seams every subsystem plays sounds, opens links and reads the clocks through.
#include "core/clock.h"
#include "core/opener.h"
#include "core/platform.h"
#include "core/sound_bank.h"
#include "support/captured_log.h"
#include "support/fake_clock.h"
#include "support/platform_recorder.h"
#include "support/sound_recorder.h"
#include "support/spawn_recorder.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <limits>

namespace {

using bztest::RecordingSoundBank;
using Played = RecordingSoundBank::Played;

TEST(SoundBankTest, AClipPlaysOnlyAsTheGroupItBelongsTo) {
    bztest::CapturedLog log;
    RecordingSoundBank bank;  // singles 0..23, referee 24..383
    struct Case {
        const char* what;
        SoundKind kind;
        int clip;
        bool plays;
    } cases[] = {
        {"chat clip as a ball sound", SoundKind::Ball, 16, true},
        {"last single clip", SoundKind::Friend, 23, true},
        {"referee clip as a ball sound", SoundKind::Ball, 24, false},
        {"single clip as a referee call", SoundKind::Referee, 16, false},
        {"first referee clip", SoundKind::Referee, 24, true},
        {"last referee clip", SoundKind::Referee, 383, true},
        {"one past the referee clips", SoundKind::Referee, 384, false},
        {"not loaded", SoundKind::Plain, -1, false},
        {"huge server number", SoundKind::Crowd, 1 << 30, false},
    };
    for (const Case& c : cases) {
        bank.played.clear();
        switch (c.kind) {
            case SoundKind::Ball: bank.playBallSound(c.clip, 1.0f); break;
            case SoundKind::Crowd: bank.playCrowdSound(c.clip, 1.0f); break;
            case SoundKind::Referee: bank.playRefereeSound(c.clip, 1.0f); break;
            case SoundKind::Friend: bank.playFriendSound(c.clip, 1.0f); break;
            case SoundKind::Plain: bank.play(c.clip, 1.0f); break;
        }
        EXPECT_EQ(bank.played.size(), c.plays ? 1u : 0u) << c.what;
    }
    EXPECT_EQ(log.count("ERROR: No "), 5);
}

TEST(SoundBankTest, RefereeClipOffsetsOutsideTheAnnouncementsGiveNoClip) {
    RecordingSoundBank bank;
    EXPECT_EQ(bank.refereeClip(0), 24);
    EXPECT_EQ(bank.refereeClip(359), 383);
    EXPECT_EQ(bank.refereeClip(360), -1);
    EXPECT_EQ(bank.refereeClip(-1), -1);
    bank.firstRefereeClip = -1;  // the referee file failed to load
    EXPECT_EQ(bank.refereeClip(0), -1);
    EXPECT_FALSE(bank.isRefereeClip(24));
}

TEST(SoundBankTest, MutesAndVolumesApplyByCategory) {
    RecordingSoundBank bank;
    bank.ball.volume = 0.5f;
    bank.crowd.volume = 2.0f;  // out of range: clamped
    bank.referee.muted = true;
    bank.playBallSound(1, 1.0f);
    bank.playCrowdSound(9, 1.0f);
    bank.playRefereeSound(24, 1.0f);
    bank.playFriendSound(23, 0.7f);
    bank.play(19, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(bank.played, (std::vector<Played>{{SoundKind::Ball, 1, 0.5f},
                                                {SoundKind::Crowd, 9, 1.0f},
                                                {SoundKind::Friend, 23, 0.7f},
                                                {SoundKind::Plain, 19, 0.0f}}));

    bank.played.clear();
    bank.all.muted = true;
    bank.playFriendSound(23, 1.0f);
    bank.play(19, 1.0f);
    bank.friendMuted = true;
    bank.all.muted = false;
    bank.playFriendSound(23, 1.0f);
    EXPECT_TRUE(bank.played.empty());
}

TEST(SoundBankTest, TheSilentBankHasNoClipsUntilOneIsInstalled) {
    SoundBank& silent = getSoundBank();
    EXPECT_EQ(silent.loadedClipCount, 0);
    {
        RecordingSoundBank bank;
        EXPECT_EQ(&getSoundBank(), &bank);
    }
    EXPECT_EQ(&getSoundBank(), &silent);
}

TEST(OpenerTest, OnlyPlainWebAddressesAreOpened) {
    struct Case {
        const char* url;
        bool opens;
    } cases[] = {
        {"https://www.example.org/rules?a=1&b=2", true},
        {"https://example.org/a%20b?q=%22x%22", true},
        // Blanks, quotes and the shell's characters, each alone.
        {"https://example.org/a b", false},
        {"https://example.org/\"", false},
        {"https://example.org/'", false},
        {"https://example.org/`id`", false},
        {"https://example.org/$(touch x)", false},
        {"https://example.org/<b>", false},
        {"https://example.org/>x", false},
        {"https://example.org/\\", false},
        {"https://example.org/\t", false},
        {"HTTPS://example.org", false},
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"-https://example.org", false},
        {"https://example.org/\n--help", false},
        {"https://example.org/\x7f", false},
        {"https://example.org/caf\xc3\xa9", true},
        // Line and paragraph separators, C1 controls, spaces, bidi and invisible marks, broken UTF-8.
        {"https://example.org/\xe2\x80\xa8--help", false},
        {"https://example.org/\xe2\x80\xa9", false},
        {"https://example.org/\xc2\x85", false},
        {"https://example.org/\xc2\xa0", false},
        {"https://example.org/\xe2\x80\xae", false},
        {"https://example.org/\xe2\x80\x8b", false},
        {"https://example.org/\xef\xbb\xbf", false},
        {"https://example.org/\xe3\x80\x80", false},
        {"https://example.org/\xc0\xaf", false},
        {"https://example.org/\xe2\x80", false},
        {"https://example.org/\xed\xa0\x80", false},
        {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isOpenableUrl(c.url), c.opens) << c.url;
}

TEST(OpenerTest, StartsXdgOpenWithTheAddressAsOneArgumentAndLogsRefusals) {
    bztest::CapturedLog log;
    bztest::SpawnRecorder spawner;
    EXPECT_TRUE(openExternal("https://example.org/a?b=c&d"));
    EXPECT_FALSE(openExternal("ftp://example.org"));
    EXPECT_FALSE(openExternal("https://example.org/a b"));
    ASSERT_EQ(bztest::SpawnRecorder::spawned().size(), 1u);
    EXPECT_EQ(bztest::SpawnRecorder::spawned()[0], (std::vector<std::string>{"xdg-open", "https://example.org/a?b=c&d"}));
    EXPECT_EQ(log.count("openExternal: 'https://example.org/a?b=c&d'"), 1);
    EXPECT_EQ(log.count("ERROR: Refused to open 'ftp://example.org'"), 1);
    EXPECT_EQ(log.count("ERROR: Refused to open 'https://example.org/a b'"), 1);
}

TEST(OpenerTest, AProgramThatCannotBeStartedIsOneErrorLine) {
    bztest::CapturedLog log;
    ProgramSpawner previous = setProgramSpawner([](const std::vector<std::string>&, std::string& error) {
        error = "No such file or directory";
        return -1;
    });
    EXPECT_FALSE(openExternal("https://example.org"));
    setProgramSpawner(previous);
    EXPECT_EQ(log.count("ERROR: starting 'xdg-open' for 'https://example.org' failed: No such file or directory"), 1);
}

TEST(OpenerTest, TheOpenersStatusIsWaitedForAndLogged) {
    bztest::CapturedLog log;
    {
        bztest::SpawnRecorder spawner;
        EXPECT_TRUE(openExternal("https://example.org/ok"));
        ASSERT_TRUE(waitForOpeners(10000)) << "the opener's status was never taken";
        bztest::SpawnRecorder::exitStatus() = 256;  // xdg-open's exit code 1: no browser
        EXPECT_TRUE(openExternal("https://example.org/none"));
        ASSERT_TRUE(waitForOpeners(10000)) << "the opener's status was never taken";
    }
    EXPECT_EQ(log.count("openExternal: system call 'xdg-open \"https://example.org/ok\"' returned 0"), 1);
    EXPECT_EQ(log.count("ERROR: system call 'xdg-open \"https://example.org/none\"' returned 256"), 1);
}

TEST(OpenerTest, ARealOpenerIsReapedWithoutAnotherClick) {
    // A stand-in for the opener that ends at once with a failure: nothing is left a zombie.
    ProgramSpawner previous = setProgramSpawner([](const std::vector<std::string>&, std::string& error) {
        pid_t pid = ::fork();
        if (pid == 0) ::_exit(3);
        if (pid < 0) error = "fork failed";
        return static_cast<int>(pid);
    });
    bztest::CapturedLog log;
    EXPECT_TRUE(openExternal("https://example.org/gone"));
    ASSERT_TRUE(waitForOpeners(10000)) << "the opener was never waited for";
    setProgramSpawner(previous);
    EXPECT_EQ(log.count("ERROR: system call 'xdg-open \"https://example.org/gone\"' returned"), 1);
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);  // no child left to reap
}

TEST(ClockTest, BothClocksFollowTheirReplacementAndComeBack) {
    const double before = secondsSinceStart().seconds;
    {
        bztest::FakeClock clock;
        clock.setSeconds(12.5);
        EXPECT_DOUBLE_EQ(secondsSinceStart().seconds, 12.5);
        EXPECT_EQ(secondsSinceStart().nanos, 12'500'000'000);
        const auto at = std::chrono::system_clock::time_point{} + std::chrono::hours(1);
        clock.setWall(at);
        EXPECT_EQ(systemNow(), at);
    }
    EXPECT_GE(secondsSinceStart().seconds, before);
    EXPECT_GT(systemNow().time_since_epoch().count(), 0);
}

TEST(PlatformTest, TheDefaultDoesNothingAndAnInstalledOneTakesEveryCall) {
    Platform& none = platform();
    EXPECT_EQ(none.modifierState(), 0);
    {
        bztest::RecordingPlatform recorder;
        recorder.modifiers = MOD_SHIFT & 0x1;
        EXPECT_EQ(&platform(), &recorder);
        EXPECT_NE(platform().modifierState() & MOD_SHIFT, 0);
        EXPECT_EQ(platform().modifierState() & MOD_CTRL, 0);
        platform().setWindowTitle("Baizeron - Alice");
        platform().setRelativeMouseMode(true);
        platform().warpMouse(10, 20);
        platform().setFullscreen(FullscreenMode::Desktop);
        EXPECT_EQ(recorder.calls,
                  (std::vector<std::string>{"title:Baizeron - Alice", "relative:1", "warp:10,20", "fullscreen:1"}));
    }
    EXPECT_EQ(&platform(), &none);
}

}  // namespace
