// Playing in the local lobby as clients meet it over loopback: a tutorial topic runs its exercise
// from the moment it is chosen and the topics come back with their marks, and the table it leaves is
// racked; the cue store's cues are the designs the clients draw; a replay keeps the turn and score a
// time-out or a retake gave, its last step included, and ends on the frames tally of the frame's end
// with no clock left; the shot clock runs from the break, and one who enters during a turn sees the
// time left on it.
#include "client/gamehandler/replay_text.h"
#include "dispatch/lobby_clients.h"
#include "physics/ball.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <thread>

namespace {

using bztest::Client;

Message tableRequest(MessageId id, int tableId) {
    Message m(id, 3);
    m.tableId = tableId;
    return m;
}

Message events(std::vector<TableEvent> list) {
    Message m(MessageId::TABLE_EVENT, 4);
    m.events = std::move(list);
    return m;
}

TableEvent startEvent(StartInfo kind, int value) {
    TableEvent e(TableEventType::START_INFO);
    e.startInfo = kind;
    e.value = value;
    return e;
}

// The events of that kind that came, each with the number of its message.
std::vector<std::pair<uint32_t, TableEvent>> eventsOf(const Client& c, TableEventType type,
                                                      StartInfo start = StartInfo::START_REQUESTED) {
    std::vector<std::pair<uint32_t, TableEvent>> found;
    for (const Message& m : c.withId(MessageId::TABLE_EVENT))
        for (const TableEvent& e : m.events)
            if (e.type == type && (type != TableEventType::START_INFO || e.startInfo == start))
                found.emplace_back(m.iid, e);
    return found;
}

// The number of the first message holding an event of that kind (0: none came).
uint32_t firstWith(const Client& c, TableEventType type, StartInfo start = StartInfo::START_REQUESTED) {
    const auto found = eventsOf(c, type, start);
    return found.empty() ? 0 : found.front().first;
}

size_t statusCount(const Client& c) { return eventsOf(c, TableEventType::GAME_STATUS).size(); }

// The last game status that came, and the number of its message.
// A copy: the messages are often a temporary list.
std::optional<TableEvent> lastStatus(const std::vector<Message>& messages, uint32_t* iid = nullptr) {
    std::optional<TableEvent> found;
    for (const Message& m : messages)
        for (const TableEvent& e : m.events)
            if (e.type == TableEventType::GAME_STATUS) {
                found = e;
                if (iid) *iid = m.iid;
            }
    return found;
}

class LocalLobbyPlayTest : public bztest::LobbyClients {
protected:
    // ann and bob sit at table 1 (ann, the first to log in, in seat 0).
    void seat(Client& ann, Client& bob) {
        for (Client* c : {&ann, &bob}) {
            c->send(tableRequest(MessageId::ENTER_TABLE_REQ, 1));
            c->send(tableRequest(MessageId::PLAY_TABLE_REQ, 1));
        }
        ASSERT_TRUE(until([&] { return ann.withId(MessageId::PLAY_TABLE_INFO).size() == 2; }));
    }

    // Both ask to start, the winner of the coin toss breaks, and the status after the start of play
    // has come: the client starts the breaker's clock on it.
    void startFrame(Client& ann, Client& bob) {
        auto tosses = [&] { return eventsOf(ann, TableEventType::START_INFO, StartInfo::COIN_TOSS); };
        const size_t before = tosses().size();
        for (Client* c : {&ann, &bob}) c->send(events({startEvent(StartInfo::START_REQUESTED, 0)}));
        ASSERT_TRUE(until([&] { return tosses().size() > before; }));
        const int winner = tosses().back().second.value;
        const size_t starts = eventsOf(bob, TableEventType::START_INFO, StartInfo::STARTED_AFTER_COIN_TOSS).size();
        (winner == 0 ? ann : bob).send(events({startEvent(StartInfo::STARTED_AFTER_COIN_TOSS, 0)}));
        ASSERT_TRUE(until([&] {
            uint32_t status = 0;
            lastStatus(bob.withId(MessageId::TABLE_EVENT), &status);
            const auto begun = eventsOf(bob, TableEventType::START_INFO, StartInfo::STARTED_AFTER_COIN_TOSS);
            return begun.size() > starts && status > begun.back().first;
        })) << "no status came after the start of play";
    }
};

TEST_F(LocalLobbyPlayTest, AChosenTopicRunsItsExerciseAndBackAtTheTopicsTheirListComesAgain) {
    Client& ann = logIn("ann");
    ann.ask(InfoCode::INFO_CODE_ENTER_TUTCH_REQ, 1, "");
    ASSERT_TRUE(until([&] { return !ann.info(InfoCode::ENTER_TUTCH_INFO).empty(); }));
    ann.ask(InfoCode::INFO_CODE_SELECT_TUTCH_TOPIC, 2, "");
    ASSERT_TRUE(until([&] { return !ann.info(InfoCode::TUTCH_TOPIC_INFO).empty(); }));
    // The exercise is laid out and in play by the time the client says the topic runs.
    const uint32_t begun = firstWith(ann, TableEventType::START_INFO, StartInfo::STARTED_AFTER_COIN_TOSS);
    ASSERT_NE(begun, 0u) << "choosing the topic did not start its exercise";
    EXPECT_LT(begun, ann.info(InfoCode::TUTCH_TOPIC_INFO)[0].iid);
    const auto tableEvents = ann.withId(MessageId::TABLE_EVENT);
    const std::optional<TableEvent> rack = lastStatus(tableEvents);
    ASSERT_TRUE(rack.has_value());
    EXPECT_EQ(rack->status().gameState, 1);
    EXPECT_TRUE(rack->balls()[BALL_FIRST_RED].onTable);

    const size_t statuses = ann.info(InfoCode::TUTCH_STATUS_INFO).size();
    ann.ask(InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC, 0, "");
    ASSERT_TRUE(until([&] { return ann.info(InfoCode::TUTCH_STATUS_INFO).size() > statuses; }))
        << "back at the topics, no list of them came";
    ASSERT_EQ(ann.info(InfoCode::TUTCH_TOPIC_CANCELLED).size(), 1u);
    EXPECT_GT(ann.info(InfoCode::TUTCH_STATUS_INFO).back().iid, ann.info(InfoCode::TUTCH_TOPIC_CANCELLED)[0].iid);
    EXPECT_EQ(ann.info(InfoCode::TUTCH_STATUS_INFO).back().textA, "00");
}

TEST_F(LocalLobbyPlayTest, EachCueIsNamedForTheDesignTheClientsDrawAndABoughtCueIsDrawnForEveryone) {
    Client& ann = logIn("ann");
    Client& bob = logIn("bob");
    const std::string list = ann.info(InfoCode::INFO_CODE_CUE_LIST_INFO).at(0).textA;
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    // The butt of each design as the table draws it.
    const std::vector<std::pair<int, const char*>> designs = {{1, "black"}, {2, "red-brown"}, {3, "black"},
                                                              {4, "walnut"}, {5, "black"}, {6, "red"},
                                                              {7, "blue"},   {8, "white"}};
    for (const auto& [index, colour] : designs) {
        const std::string at = "{\"index\":" + std::to_string(index) + ",";
        const size_t from = list.find(at);
        ASSERT_NE(from, std::string::npos) << index;
        const std::string entry = lower(list.substr(from, list.find('}', from) - from));
        EXPECT_NE(entry.find(colour), std::string::npos) << entry;
    }
    ann.say("/buy 4");  // 300 of the 500 Kred a newcomer has
    ann.say("/cue 4");
    ASSERT_TRUE(until([&] {
        const auto cues = bob.info(InfoCode::INFO_CODE_CURRENT_CUE_INFO);
        return std::any_of(cues.begin(), cues.end(), [](const Message& m) { return m.textA == "ann" && m.valueA == 4; });
    })) << "bob was not told ann's new cue";
    ASSERT_TRUE(until([&] { return ann.info(InfoCode::INFO_CODE_CUE_KRED_INFO).back().valueA == 4; }))
        << "the store does not show ann's new cue as hers";
}

TEST_F(LocalLobbyPlayTest, TheShotClockRunsFromTheBreakAndTheReplayKeepsTheTurnAndScoreOfARetakeAndATimeOut) {
    lobby.setRedsInRack(3);
    Client& ann = logIn("ann");
    Client& bob = logIn("bob");
    ASSERT_NO_FATAL_FAILURE(seat(ann, bob));
    ASSERT_NO_FATAL_FAILURE(startFrame(ann, bob));

    // ann breaks into the baulk cushion: a foul, 4 to bob; bob has her play again; her clock runs out.
    TableEvent shot(TableEventType::SHOT);
    shot.aim = AimParameters{180, 40, 0, 0, 0};
    ann.send(events({shot}));
    struct Step {
        const char* what;
        Client* by;
        TableEvent event;
        int playerOn;
        std::array<int32_t, 2> score;
    };
    TableEvent expired(TableEventType::LIVE_AIM_START);
    expired.ball = -1;
    const std::vector<Step> steps = {{"the foul", nullptr, {}, 1, {0, 4}},
                                     {"they play again", &bob, TableEvent(TableEventType::FOUL_RETAKE), 0, {0, 4}},
                                     {"the time-out", &ann, expired, 1, {0, 8}}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.by) step.by->send(events({step.event}));
        ASSERT_TRUE(until([&] {
            const std::optional<TableEvent> s = lastStatus(bob.withId(MessageId::TABLE_EVENT));
            return s && s->status().playerOn == step.playerOn && s->status().frameScore == step.score;
        }));
    }
    bob.send(events({TableEvent(TableEventType::FRAME_CONCEDED)}));
    ASSERT_TRUE(until([&] {
        const std::optional<TableEvent> s = lastStatus(bob.withId(MessageId::TABLE_EVENT));
        return s && s->status().gameState == 0;
    }));

    ann.say("/replay frame 1 1");
    ASSERT_TRUE(until([&] { return !ann.info(InfoCode::REPLAY_INFO).empty(); }));
    ReplayParse replay;
    parseReplayText(ann.info(InfoCode::REPLAY_INFO)[0].textA, 400, replay);
    // The rack, the stroke, one record for each change the stroke did not make, the end and the
    // record that shows it.
    ASSERT_EQ(replay.shots.size(), 6u);
    for (size_t i = 1; i <= steps.size(); ++i) {
        SCOPED_TRACE(steps[i - 1].what);
        const ReplayStatus& s = replay.shots[i].status;
        EXPECT_EQ(s[0], steps[i - 1].playerOn);
        EXPECT_EQ(s[7], steps[i - 1].score[0]);
        EXPECT_EQ(s[8], steps[i - 1].score[1]);
        // The balls stay where the stroke left them.
        EXPECT_EQ(replay.shots[i].balls[BALL_WHITE].x, replay.shots[1].balls[BALL_WHITE].x);
    }
}

TEST_F(LocalLobbyPlayTest, AReplayWatchedToItsEndShowsTheTurnAndScoreOfTheFramesLastStep) {
    lobby.setRedsInRack(3);
    Client& ann = logIn("ann");
    Client& bob = logIn("bob");
    ASSERT_NO_FATAL_FAILURE(seat(ann, bob));
    // Each step by the player on turn; a stroke goes softly into the baulk cushion, a foul from the D.
    enum Step { kStroke, kPlayAgain, kTimeOut };
    const std::vector<std::pair<const char*, std::vector<Step>>> frames = {
        {"foul, they play again, time-out, stroke, time-out", {kStroke, kPlayAgain, kTimeOut, kStroke, kTimeOut}},
        {"foul, they play again", {kStroke, kPlayAgain}},
        {"time-outs only", {kTimeOut, kTimeOut}},
        {"a stroke", {kStroke}},
    };
    for (size_t f = 0; f < frames.size(); ++f) {
        SCOPED_TRACE(frames[f].first);
        ASSERT_NO_FATAL_FAILURE(startFrame(ann, bob));
        for (Step step : frames[f].second) {
            TableEvent e(step == kStroke ? TableEventType::SHOT
                         : step == kPlayAgain ? TableEventType::FOUL_RETAKE
                                              : TableEventType::LIVE_AIM_START);
            e.aim = AimParameters{180, 40, 0, 0, 0};
            e.ball = -1;  // a time-out: the player's own clock ran out
            const size_t statuses = statusCount(ann);
            (lastStatus(ann.withId(MessageId::TABLE_EVENT))->status().playerOn == 0 ? ann : bob).send(events({e}));
            ASSERT_TRUE(until([&] { return statusCount(ann) > statuses; })) << "step " << step;
        }
        const GameStatus last = lastStatus(ann.withId(MessageId::TABLE_EVENT))->status();
        ann.send(events({TableEvent(TableEventType::FRAME_CONCEDED)}));
        ASSERT_TRUE(until([&] { return lastStatus(ann.withId(MessageId::TABLE_EVENT))->status().gameState == 0; }));
        const GameStatus over = lastStatus(ann.withId(MessageId::TABLE_EVENT))->status();
        const size_t replays = ann.info(InfoCode::REPLAY_INFO).size();
        ann.say("/replay frame " + std::to_string(f + 1) + " 1");
        ASSERT_TRUE(until([&] { return ann.info(InfoCode::REPLAY_INFO).size() > replays; }));

        bztest::Viewer viewer(STATE_GAME);
        GameHandler& gh = *viewer.gh;
        gh.replayKind = 2;
        gh.replayText = ann.info(InfoCode::REPLAY_INFO).back().textA;
        gh.now = 100;
        gh.startReplay();
        for (int frame = 0; frame < 60 * 600 && gh.replayPlaying; ++frame) {
            gh.now += 1.0 / 60;
            gh.averageFrameMicros = 16667;
            gh.updateShot();
            gh.update();
        }
        ASSERT_FALSE(gh.replayPlaying) << "the replay did not end";
        EXPECT_EQ(gh.liveStatus->playerOn, last.playerOn);
        EXPECT_EQ(gh.liveStatus->frameScore[0], last.frameScore[0]);
        EXPECT_EQ(gh.liveStatus->frameScore[1], last.frameScore[1]);
        // The bar ends on the frames tally the live bar had at the frame's end, with no clock left.
        std::string bar;
        for (const std::string& s : viewer.ran(HtmlWindow::BottomBox, "")) bar += s;
        const std::string framesWon =
            "framesWon:[" + std::to_string(over.framesWon[0]) + "," + std::to_string(over.framesWon[1]) + "],";
        const size_t tally = bar.rfind("framesWon:[");
        ASSERT_NE(tally, std::string::npos);
        EXPECT_EQ(bar.substr(tally, framesWon.size()), framesWon);
        EXPECT_EQ(gh.liveStatus->gameState, 0);
        for (int seat : {0, 1}) {
            const size_t started = bar.rfind("inbzStartShotTimer({player: " + std::to_string(seat) + ",");
            const size_t stopped = bar.rfind("inbzStopShotTimer({player: " + std::to_string(seat) + ",");
            EXPECT_TRUE(started == std::string::npos || (stopped != std::string::npos && stopped > started))
                << "seat " << seat << "'s clock left running";
        }
    }
}

TEST_F(LocalLobbyPlayTest, OneWhoEntersDuringATurnSeesTheTimeLeftOnTheShotClock) {
    Client& ann = logIn("ann");
    Client& bob = logIn("bob");
    Client& carol = logIn("carol");
    ASSERT_NO_FATAL_FAILURE(seat(ann, bob));
    using Clock = std::chrono::steady_clock;
    const Clock::time_point asked = Clock::now();
    ASSERT_NO_FATAL_FAILURE(startFrame(ann, bob));
    const Clock::time_point started = Clock::now();
    // The breaker's clock runs a while before carol comes to look on.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    const Clock::time_point entering = Clock::now();
    carol.send(tableRequest(MessageId::ENTER_TABLE_REQ, 1));
    ASSERT_TRUE(until([&] { return lastStatus(carol.withId(MessageId::TABLE_EVENT)).has_value(); }));
    const Clock::time_point entered = Clock::now();
    const GameStatus s = lastStatus(carol.withId(MessageId::TABLE_EVENT))->status();
    ASSERT_EQ(s.gameState, 1);
    auto seconds = [](Clock::duration d) {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(d).count());
    };
    EXPECT_LE(s.maxShotTimeNow, s.maxShotTime - seconds(entering - started));
    EXPECT_GE(s.maxShotTimeNow, s.maxShotTime - seconds(entered - asked));
}

TEST_F(LocalLobbyPlayTest, ATableATutorialLeftIsRackedForTheNextWhoSits) {
    Client& ann = logIn("ann");
    Client& bob = logIn("bob");
    ann.ask(InfoCode::INFO_CODE_ENTER_TUTCH_REQ, 1, "");
    ann.ask(InfoCode::INFO_CODE_SELECT_TUTCH_TOPIC, 1, "");
    ASSERT_TRUE(until([&] { return !ann.info(InfoCode::TUTCH_TOPIC_INFO).empty(); }));
    const int tutorial = static_cast<int>(ann.withId(MessageId::ENTER_TABLE_INFO).at(0).tableId);
    // A table nobody has played at, as bob sees it when he enters.
    bob.send(tableRequest(MessageId::ENTER_TABLE_REQ, tutorial % 4 + 1));
    ASSERT_TRUE(until([&] { return statusCount(bob) == 1; }));
    const TableEvent fresh = *lastStatus(bob.withId(MessageId::TABLE_EVENT));

    ann.ask(InfoCode::INFO_CODE_EXIT_TUTCH_REQ, 0, "");
    ASSERT_TRUE(until([&] { return !ann.info(InfoCode::EXIT_TUTCH_INFO).empty(); }));
    bob.send(tableRequest(MessageId::ENTER_TABLE_REQ, tutorial));
    bob.send(tableRequest(MessageId::PLAY_TABLE_REQ, tutorial));
    ASSERT_TRUE(until([&] { return statusCount(bob) == 3; }));  // on entering, and on sitting down
    const TableEvent seen = *lastStatus(bob.withId(MessageId::TABLE_EVENT));
    for (int i = 0; i < kBallCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(seen.balls()[i].onTable, fresh.balls()[i].onTable);
        // The reds are racked afresh, each a little apart from the others; the colours on their spots.
        if (i >= BALL_FIRST_RED) continue;
        EXPECT_EQ(seen.balls()[i].x, fresh.balls()[i].x);
        EXPECT_EQ(seen.balls()[i].z, fresh.balls()[i].z);
    }
}

}  // namespace
