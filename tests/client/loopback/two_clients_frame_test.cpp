// Two clients at one table of the loopback server, which relays every table event to both: Alice aims
// and shoots with the mouse, both clients follow the echoes, roll the stroke to the same bits, park the
// server's result status, apply it at rest and say the same to their pages and through the referee.
// Each client is a process of its own (the game controller is one per process); they report to the
// test through files.
#include "support/captured_log.h"
#include "support/sound_recorder.h"
#include "support/table_view.h"

#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/page_script.h"
#include "dispatch/process_message.h"
#include "net/connection_handler.h"
#include "net/lobby_servers.h"
#include "tools/testserver/local_frame.h"
#include "tools/testserver/test_server.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

namespace {

constexpr double kRedX = -600;

std::array<BallState, kBallCount> startBalls() {
    std::array<BallState, kBallCount> balls{};
    for (BallState& b : balls) b.pocket = -1;
    balls[BALL_WHITE] = {true, -1, 0, 0, 0, 0, {1, 0, 0, 0}};
    balls[10] = {true, -1, 0, kRedX, 0, 0, {1, 0, 0, 0}};
    return balls;
}

TableEvent statusEvent(const std::array<BallState, kBallCount>& balls) {
    TableEvent e(TableEventType::GAME_STATUS);
    GameStatus& s = e.status();
    s.players = {"Alice", "Bob"};
    s.gameState = 1;
    s.frameWonBy = s.matchWonBy = -1;
    s.frameDuration = s.matchDuration = 60000;
    s.maxShotTimeNow = s.maxShotTime = 60;
    s.ballOn = 1;
    e.balls() = balls;
    e.savedBalls() = balls;
    return e;
}

// The server's side of a stroke: the same physics from the same table, then the outcome as scripted
// (a foul of four: the red was not hit cleanly enough for the script to care).
std::vector<TableEvent> strokeOutcome(const TableEvent& shot) {
    static Table table;
    for (Ball& b : table.balls) b.onTable = false;
    const auto start = startBalls();
    for (int i = 0; i < kBallCount; ++i) {
        table.balls[i].onTable = start[i].onTable;
        table.balls[i].x = start[i].x;
        table.balls[i].z = start[i].z;
    }
    rollStroke(table, shot.aim);
    std::array<BallState, kBallCount> rest = start;
    for (int i = 0; i < kBallCount; ++i) {
        const Ball& b = table.balls[i];
        rest[i].onTable = b.onTable;
        rest[i].x = b.x;
        rest[i].z = b.z;
    }
    TableEvent result = statusEvent(rest);
    GameStatus& s = result.status();
    s.playerOn = 1;
    s.foul = true;
    s.penalty = 4;
    s.frameScore = {0, 4};
    return {result};
}

void pause(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

std::string hexBits(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    std::ostringstream o;
    o << std::hex << bits;
    return o.str();
}

// One client's whole life, in a child process; returns the exit code (0: it got to the end).
int runClient(const std::string& user, bool shooter, int portPipe, int readyPipe, const std::string& folder) {
    uint16_t port = 0;
    if (read(portPipe, &port, sizeof port) != sizeof port) return 10;
    bztest::RecordingSoundBank sounds;
    RecordingPageScriptSink pages;
    setPageScriptSink(&pages);
    NetTimings& timings = netTimings();
    timings.receiveTimeoutMs = 50;
    timings.senderWaitMs = 100;
    timings.receiverIdleMs = 20;
    installMessageDispatch();
    appState = STATE_LOGIN;
    GameHandler& gh = getGameHandler();
    gh.prefPath = folder + "/";
    resetLobbyServers("127.0.0.1", port);
    lobbyServers[0].online = true;
    ConnectionHandler handler;
    connectionHandler = &handler;
    handler.startThreads();
    handler.connectToServer(lobbyServers[0].name, user, "secret", false);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    auto frame = [&gh] {
        gh.processMessageQueue();
        gh.now += 1.0 / 60;
        gh.averageFrameMicros = 16667;
        gh.updateShot();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    auto runUntil = [&](const std::function<bool()>& condition) {
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            frame();
        }
        return true;
    };
    if (!runUntil([] { return appState.load() == STATE_LOBBY; })) return 11;
    if (write(readyPipe, "L", 1) != 1) return 12;
    if (!runUntil([] { return appState.load() == STATE_GAME; })) return 13;

    bool remoteAimSeen = false;
    if (shooter) {
        bztest::lookStraightDown(gh);
        pause(0.2);
        bztest::mouseButton(gh, true, 500, 299);
        bztest::mouseButton(gh, false, 500, 299);
        for (int i = 0; i < 6; ++i) {
            pause(0.1);
            bztest::mouseMotion(gh, 500, 299, 0, 150);
        }
        pause(0.2);
        bztest::mouseButton(gh, true, 100, 100);
        bztest::mouseButton(gh, false, 100, 100);
        pause(0.2);
        bztest::mouseButton(gh, true, 824, 599 - 176);
        bztest::mouseButton(gh, false, 824, 599 - 176);
        if (!gh.shotSentWaiting) return 14;
    }
    // Run frames until the stroke has rolled to rest and its status is applied.
    std::string restBits;
    bool stroked = false;
    const bool done = runUntil([&] {
        remoteAimSeen = remoteAimSeen || gh.remoteAimActive;
        stroked = stroked || gh.isAnyBallMoving();
        if (stroked && restBits.empty() && !gh.isAnyBallMoving()) {
            for (const Ball& b : gh.table.balls) restBits += hexBits(b.x) + "," + hexBits(b.z) + ";";
        }
        return stroked && !gh.isAnyBallMoving() && !gh.statusPending && !restBits.empty() &&
               !pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus({atEndOfShot: 1").empty();
    });
    if (!done) return 15;

    std::ofstream out(folder + "/result.txt");
    out << "remoteAimSeen " << remoteAimSeen << "\n";
    out << "rest " << restBits << "\n";
    const std::regex durations("matchDuration: \\d+,frameDuration: \\d+,breakDuration: \\d+,");
    for (const std::string& s : pages.statementsStartingWith(HtmlWindow::BottomBox, "inbzUpdateGameStatus({"))
        out << "status " << std::regex_replace(s, durations, "") << "\n";
    for (const auto& p : sounds.played)
        if (p.kind == SoundKind::Referee) out << "referee " << p.clip << "\n";
    out << "white " << gh.table.balls[BALL_WHITE].x << " " << gh.table.balls[BALL_WHITE].z << "\n";
    out.close();
    handler.stopThreads();
    connectionHandler = nullptr;
    return 0;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TwoClientsFrameTest, BothClientsPlayTheSameShot) {
    bztest::CapturedLog log;
    const std::string folders[2] = {log.folder() + "/alice", log.folder() + "/bob"};
    const char* users[2] = {"Alice", "Bob"};
    int portPipes[2][2], readyPipe[2];
    ASSERT_EQ(pipe(readyPipe), 0);
    pid_t children[2];
    // The clients are forked before the server has a thread.
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(pipe(portPipes[i]), 0);
        std::filesystem::create_directories(folders[i]);
        children[i] = fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) _exit(runClient(users[i], i == 0, portPipes[i][0], readyPipe[1], folders[i]));
    }
    TestServerConfig config;
    config.accounts = {{"Alice", "secret"}, {"Bob", "secret"}};
    config.tableRelay = true;
    config.shotResult = strokeOutcome;
    TestServer server(config);
    ASSERT_TRUE(server.start());
    const uint16_t port = server.port();
    for (auto& p : portPipes) ASSERT_EQ(write(p[1], &port, sizeof port), static_cast<ssize_t>(sizeof port));
    char ready[2];
    for (char& c : ready) ASSERT_EQ(read(readyPipe[0], &c, 1), 1);

    // The table: both seated, a frame in play without a coin toss, then both enter.
    Message play(MessageId::PLAY_TABLE_INFO);
    play.player1 = "Alice";
    play.player2 = "Bob";
    server.sendToAll(play);
    Message status(MessageId::TABLE_EVENT);
    status.events.push_back(statusEvent(startBalls()));
    server.sendToAll(status);
    for (const char* user : users) {
        Message enter(MessageId::ENTER_TABLE_INFO);
        enter.userName = user;
        server.sendToAll(enter);
    }

    int codes[2];
    for (int i = 0; i < 2; ++i) {
        int wstatus = 0;
        ASSERT_EQ(waitpid(children[i], &wstatus, 0), children[i]);
        codes[i] = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 100;
    }
    server.stop();
    ASSERT_EQ(codes[0], 0) << "Alice";
    ASSERT_EQ(codes[1], 0) << "Bob";

    const std::string alice = readFile(folders[0] + "/result.txt");
    const std::string bob = readFile(folders[1] + "/result.txt");
    EXPECT_NE(bob.find("remoteAimSeen 1"), std::string::npos) << bob;
    EXPECT_NE(alice.find("atEndOfShot: 1"), std::string::npos) << alice;
    EXPECT_NE(alice.find("referee "), std::string::npos) << alice;
    // The same bits at rest, the same statements, the same calls.
    auto withoutFirstLine = [](const std::string& s) { return s.substr(s.find('\n') + 1); };
    EXPECT_EQ(withoutFirstLine(alice), withoutFirstLine(bob));
    EXPECT_EQ(alice.find("rest ") != std::string::npos, true);
}

}  // namespace
