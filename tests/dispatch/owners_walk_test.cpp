// A player walked along the roads between owners of the controller's state (a table, a frame, a
// replay, a login): after each road the fields of what ended must be those of a fresh controller.
#include "client/gamehandler/state_change.h"
#include "dispatch/handlers.h"
#include "dispatch/process_message.h"
#include "dispatch_support.h"

#include <filesystem>
#include <functional>
#include <sstream>

namespace {

using Probe = std::pair<const char*, std::function<std::string(const GameHandler&)>>;

template <class T>
std::string text(const T& value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

#define PROBE(expr) Probe{#expr, [](const GameHandler& g) { return text(g.expr); }}

const std::vector<Probe> kFrameProbes = {PROBE(breakPlayer), PROBE(lastFrameWonBy), PROBE(lastBreakScore)};

const std::vector<Probe> kTableProbes = {
    PROBE(breakPlayer), PROBE(lastFrameWonBy), PROBE(lastBreakScore), PROBE(table.getId()), PROBE(table.getName()), PROBE(table.getPlayer(0)), PROBE(table.getPlayer(1)),
    PROBE(table.people.size()), PROBE(isAnyBallMoving()), PROBE(shotStepper.running()),
    PROBE(liveStatus->gameState), PROBE(liveStatus->frameScore[0]), PROBE(liveStatus->breakScore),
    PROBE(liveStatus->playerOn), PROBE(liveStatus->ballOn), PROBE(liveStatus->players[0]),
    PROBE(liveStatus->players[1]), PROBE(shotAnimating), PROBE(statusPending), PROBE(deferredChatMessages.size()),
    PROBE(tableNameFlagT), PROBE(lineUpNumber), PROBE(lineUpShotFlag), PROBE(inTutorial), PROBE(tutorialTopic),
    PROBE(tutorialMarks.size()), PROBE(isHost), PROBE(remoteAimActive), PROBE(remoteAimShown),
    PROBE(remoteAimReceived), PROBE(remoteAimAnimating), PROBE(shotSentWaiting), PROBE(cueStrokeOn),
    PROBE(pocketTidyTime)};

const std::vector<Probe> kReplayProbes = {
    PROBE(replayMode), PROBE(replayText.size()), PROBE(replayShots.size()), PROBE(replayShotIndex),
    PROBE(replayKind), PROBE(replayMatchId), PROBE(replayT), PROBE(replayPlaying), PROBE(replayPaused),
    PROBE(replayInfo[0]), PROBE(replayPlayerNames[0]), PROBE(replaySaveDialogOpen)};

const std::string kStatus = "0 60 1 -1 -1 0 0 1 5 0 0 1 1 2 3 4 5 6 7 8 9 10 0 0 0 0 0 0 -1 1 -1 0 0 0 0 0 0 0 0 0 -1 -1 }";

std::string replayText(int shots) {
    std::string t = "v 1 t 2 s p Ann Bob i 2023-01-05 20:00 x 7 1 3 60 0 1 5 b 0 0 -1000 0 1 0 0 0 { " + kStatus + " ";
    for (int i = 1, at = 0; i <= shots; ++i) {
        t += "T " + std::to_string(at += 1000) + " as 0 90 100 0 0 0 ";
        t += "T " + std::to_string(at += 1000) + " s 0 90 100 0 0 0 ";
        t += "b 3 0 " + std::to_string(i) + " 5 { " + kStatus + " ";
    }
    return t;
}

class OwnersWalkTest : public bztest::DispatchTest {
protected:
    void SetUp() override {
        DispatchTest::SetUp();
        installMessageDispatch();
        gh.prefPath = dir.string() + "/";
    }
    void TearDown() override {
        setMessageProcessor(nullptr);
        std::filesystem::remove_all(dir);
        DispatchTest::TearDown();
    }

    // The names of the probed fields that differ from those of a controller just started.
    std::vector<std::string> leftBehind(const std::vector<Probe>& probes) const {
        GameHandler fresh;
        fresh.initBallPositions();
        std::vector<std::string> names;
        for (const auto& [name, read] : probes)
            if (read(gh) != read(fresh)) names.push_back(std::string(name) + "=" + read(gh));
        return names;
    }

    void tableMessage(MessageId id, int tableId, const std::string& user) {
        Message m(id, ++iid);
        m.tableId = tableId;
        m.userName = user;
        gh.processMessage(m);
    }
    void seats(const std::string& p1, const std::string& p2) {
        Message m(MessageId::PLAY_TABLE_INFO, ++iid);
        m.player1 = p1;
        m.player2 = p2;
        gh.processMessage(m);
    }
    void events(std::vector<TableEvent> list) {
        Message m(MessageId::TABLE_EVENT, ++iid);
        m.events = std::move(list);
        gh.processMessage(m);
    }
    static TableEvent status(int gameState, int breakScore, int frameWonBy = -1) {
        TableEvent e(TableEventType::GAME_STATUS);
        GameStatus& s = e.status();
        s.gameState = gameState;
        s.players = {"Alice", "Bob"};
        s.frameWonBy = frameWonBy;
        s.breakScore = breakScore;
        s.frameScore = {breakScore, 0};
        s.frameDuration = 60000;
        static const Table rack;
        for (int i = 0; i < kBallCount; ++i) {
            const Ball& b = rack.balls[i];
            e.balls()[i] = {b.onTable, -1, 0, b.x, b.y, b.z, {1, 0, 0, 0}};
        }
        return e;
    }
    static TableEvent shot() {
        TableEvent e(TableEventType::SHOT);
        e.aim = {90, 300, 0, 0, 0};
        return e;
    }
    static TableEvent start(int striker) {
        TableEvent e(TableEventType::START_INFO);
        e.startInfo = StartInfo::STARTED_AFTER_COIN_TOSS;
        e.value = striker;
        return e;
    }
    // Frames until the balls stop and the parked status is applied.
    void rollToRest() {
        for (int frame = 0; frame < 3000 && (gh.isAnyBallMoving() || gh.statusPending); ++frame) {
            gh.now += 0.02;
            gh.averageFrameMicros = 20000;
            gh.updateShot();
        }
    }

    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("bz_owners_walk_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                 "_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    uint32_t iid = 100;
};

TEST_F(OwnersWalkTest, NothingOfWhatEndedIsLeftBehind) {
    std::filesystem::create_directories(dir);
    struct Road {
        const char* name;
        std::function<void()> walk;
        std::vector<Probe> probes;
    };
    const std::vector<Road> roads = {
        {"a table mid-stroke, then the lobby",
         [&] {
             tableMessage(MessageId::ENTER_TABLE_INFO, 5, "Alice");
             seats("Alice", "Bob");
             events({status(1, 0), start(0)});
             events({shot(), status(1, 45)});  // a break of 45 called at rest
             rollToRest();
             ASSERT_EQ(gh.lastBreakScore, 45);
             events({shot()});
             gh.processMessage(chat(ChatClass::CHAT, 5, "gg", "Bob", 1));
             events({status(1, 45)});
             ASSERT_TRUE(gh.isAnyBallMoving());
             tableMessage(MessageId::EXIT_TABLE_INFO, 5, "Alice");
         },
         kTableProbes},
        {"a replay, then the lobby",
         [&] {
             Message part = Message::initInfo(++iid, InfoCode::REPLAY_INFO, 2, 3, replayText(2), "");
             part.intList = {9, 1, 1, 1, 1, 1};
             gh.processMessage(part);
             ASSERT_TRUE(gh.replayMode);
             gh.buttonPress("replay-play-pause", 0, "");
             ASSERT_TRUE(gh.replayPaused);
             gh.processMessage(Message::initInfo(++iid, InfoCode::EXIT_REPLAY_INFO, 0, 0, "", ""));
         },
         [] {
             std::vector<Probe> both = kTableProbes;
             both.insert(both.end(), kReplayProbes.begin(), kReplayProbes.end());
             return both;
         }()},
        {"practice, then a match at that table",
         [&] {
             tableMessage(MessageId::ENTER_TABLE_INFO, 8, "Alice");
             seats("Alice", "Alice");
             events({status(1, 0), start(0)});
             events({shot(), status(0, 12, 0)});
             rollToRest();
             ASSERT_EQ(gh.lastFrameWonBy, 0);
             seats("Alice", "Bob");
             events({status(1, 0), start(1)});
         },
         kFrameProbes},
        {"a frame, a dropped connection, a new login",
         [&] {
             gh.liveStatus->playerOn = 0;
             gh.liveStatus->ballOn = 1;
             gh.shoot(false);
             ASSERT_TRUE(gh.shotSentWaiting);
             events({shot()});
             changeState(STATE_LOGIN);
             gh.startSession("Local", "Alice");
         },
         [] {
             std::vector<Probe> both = kTableProbes;
             both.insert(both.end(), kReplayProbes.begin(), kReplayProbes.end());
             return both;
         }()},
    };
    for (const Road& road : roads) {
        road.walk();
        const std::vector<std::string> left = leftBehind(road.probes);
        EXPECT_TRUE(left.empty()) << road.name << " left behind: " << ::testing::PrintToString(left);
    }
}

// The next table after one left mid-stroke plays its first stroke like every other client there.
TEST_F(OwnersWalkTest, TheNextTablesFirstStrokeIsPlayed) {
    tableMessage(MessageId::ENTER_TABLE_INFO, 5, "Alice");
    seats("Alice", "Bob");
    events({status(1, 0), start(0), shot()});
    ASSERT_TRUE(gh.isAnyBallMoving());
    tableMessage(MessageId::EXIT_TABLE_INFO, 5, "Alice");
    tableMessage(MessageId::ENTER_TABLE_INFO, 6, "Alice");
    seats("Bob", "Carol");
    events({status(1, 0)});
    EXPECT_FALSE(gh.statusPending);  // applied at once, not parked behind the old balls
    events({shot()});
    EXPECT_TRUE(gh.isAnyBallMoving());
    EXPECT_EQ(log.count("Stroke dropped"), 0);
}

}  // namespace
