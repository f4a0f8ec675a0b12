#include "client/gamehandler/requests.h"

#include "client/gamehandler/game_handler.h"
#include "core/clock.h"
#include "request_capture.h"
#include "core/page_script.h"
#include "wire_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

using Sent = std::vector<ByteVector>;

constexpr uint32_t FIRST_IID = 5001;
const AimParameters AIM{12.5, 160.7, -20.0, 30.0, 5.0};

ByteVector info(uint32_t iid, InfoCode code, int32_t a, int32_t b, const std::string& textA,
                const std::string& textB, const std::vector<int32_t>& ints = {}) {
    Bytes w;
    w.header(MessageId::INFO, iid).u32(static_cast<uint32_t>(code)).u32(a).u32(b).str(textA).str(textB);
    w.u32(static_cast<uint32_t>(ints.size()));
    for (int32_t value : ints) w.u32(static_cast<uint32_t>(value));
    return w.u32(0).message();
}

ByteVector tableReq(uint32_t iid, MessageId id, uint32_t tableId) { return Bytes().header(id, iid).u32(tableId).message(); }

// One TABLE_EVENT with one event (oid 0, stamp 0 where the type has one) and the closing END.
ByteVector event(uint32_t iid, TableEventType type, const std::function<void(Bytes&)>& payload) {
    Bytes w;
    w.header(MessageId::TABLE_EVENT, iid).u16(static_cast<uint16_t>(type)).u32(0);
    payload(w);
    return w.u16(0).u32(0).message();
}

Bytes& aim(Bytes& w, const AimParameters& a) {
    return w.f64(a.aimAngle).f64(a.power).f64(a.topSpin).f64(a.sideSpin).f64(a.elevation);
}

ByteVector seatEvent(uint32_t iid, TableEventType type, int32_t value) {
    return event(iid, type, [&](Bytes& w) { w.f64(0).u32(value); });
}

ByteVector startInfo(uint32_t iid, int32_t value, StartInfo kind) {
    return event(iid, TableEventType::START_INFO, [&](Bytes& w) { w.u32(value).u16(static_cast<uint16_t>(kind)); });
}

struct Case {
    const char* name;
    std::function<void(GameHandler&)> send;
    // The expected messages, the first carrying iid.
    std::function<Sent(uint32_t iid)> expected;
    // A line the sender logs ("" for none).
    std::string logLine;
};

class RequestsTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousSink = setPageScriptSink(&pages);
        ASSERT_TRUE(capture.start());
        gh->table.setId(7);
        gh->table.setName("T7");
        gh->aim = AIM;
        gh->now = 100.0;
    }

    void TearDown() override {
        capture.stop();
        setPageScriptSink(previousSink);
    }

    void seat(int index) {
        gh->table.setPlayer(index, &me);
        gh->table.setPlayer(1 - index, &bob);
    }

    // The requests sent since the last call; an extra one would show up on the next call.
    Sent sent(size_t count) { return capture.receive(count); }

    // Sends a marker request and checks that it is the next thing on the wire, with the iid given.
    void expectNothingSentBefore(uint32_t markerIid) {
        sendFoulPlayOn();
        const Sent next = sent(1);
        ASSERT_EQ(next.size(), 1u);
        EXPECT_EQ(next[0], event(markerIid, TableEventType::FOUL_PLAY_ON, [](Bytes& w) { w.f64(0); }));
    }

    // Runs the cases in order: each message carries the next sequence number from the first.
    void runCases(const std::vector<Case>& cases) {
        uint32_t iid = FIRST_IID;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            c.send(*gh);
            const Sent want = c.expected(iid);
            EXPECT_EQ(sent(want.size()), want);
            iid += static_cast<uint32_t>(want.size());
            if (!c.logLine.empty()) {
                EXPECT_NE(log.text().find(c.logLine), std::string::npos) << c.logLine;
            }
        }
        expectNothingSentBefore(iid);
    }

    size_t logCount(const std::string& needle) const {
        const std::vector<std::string> lines = log.lines();
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& line) { return line.find(needle) != std::string::npos; });
    }

    LogCapture log;
    RecordingPageScriptSink pages;
    PageScriptSink* previousSink = nullptr;
    RequestCapture capture;
    std::unique_ptr<GameHandler> gh = std::make_unique<GameHandler>();
    Player me{"me"};
    Player bob{"bob"};
};


TEST_F(RequestsTest, GeneralAndInfoRequestsAreByteExactWithConsecutiveSequenceNumbers) {
    const std::vector<Case> cases = {
        {"enter", [](GameHandler& g) { sendEnterTableReq(g, 12); },
         [](uint32_t i) { return Sent{tableReq(i, MessageId::ENTER_TABLE_REQ, 12)}; },
         ": sendEnterTableReq: tableId=12\n"},
        {"play", [](GameHandler& g) { sendPlayTableReq(g, 12); },
         [](uint32_t i) { return Sent{tableReq(i, MessageId::PLAY_TABLE_REQ, 12)}; },
         ": sendPlayTableReq: tableId=12\n"},
        {"stop play", [](GameHandler& g) { sendStopPlayTableReq(g); },
         [](uint32_t i) { return Sent{tableReq(i, MessageId::STOP_PLAY_TABLE_REQ, 7)}; },
         ": sendStopPlayTableReq: \n"},
        {"exit", [](GameHandler& g) { sendExitTableReq(g); },
         [](uint32_t i) { return Sent{tableReq(i, MessageId::EXIT_TABLE_REQ, 7)}; }, ": sendExitTableReq: \n"},
        {"table settings", [](GameHandler& g) { sendTableSettingsReq(g, MatchSettings{2, 1, 3, 12, 1, 60}); },
         [](uint32_t i) {
             return Sent{Bytes()
                                    .header(MessageId::TABLE_SETTINGS_REQ, i)
                                    .u32(7).str("T7").u16(2).u16(1).u16(3).u16(12).u16(60).u16(0).u32(1)
                                    .message()};
         },
         ""},
        {"bio data", [](GameHandler&) { sendBioDataReq("alice"); },
         [](uint32_t i) { return Sent{info(i, InfoCode::BIO_DATA_REQ, 0, 0, "alice", "")}; }, ""},
        {"user flags", [](GameHandler&) { sendUserFlagInfo(0x80000008u, 8); },
         [](uint32_t i) {
             return Sent{info(i, InfoCode::USER_FLAGS, static_cast<int32_t>(0x80000008u), 8, "", "")};
         },
         ": sendUserFlagInfo: Sending INFO_CODE_USER_FLAGS: value=2147483656, mask=8\n"},
        {"login user list", [](GameHandler& g) { sendLoginUserList(g, "a,b", "c"); },
         [](uint32_t i) { return Sent{info(i, InfoCode::LOGIN_USER_LIST, 0, 0, "a,b", "c")}; },
         ": sendLoginUserList: Sent userList: a,b, failedUserList: c\n"},
        {"version", [](GameHandler& g) { sendVersion(g, "0.1.777"); },
         [](uint32_t i) { return Sent{info(i, InfoCode::VERSION, 0, 0, "0.1.777", "")}; },
         ": sendVersion: Sent version: 0.1.777\n"},
        {"account",
         [](GameHandler& g) { sendMyAccount(g, AccountRecord{"NL", "hi \"there\"", "1\"", "5", "20", "2", "60"}); },
         [](uint32_t i) {
             return Sent{info(i, InfoCode::ACCOUNT_INFO, 0, 0, "NL", "hi \"there\""),
                                info(i + 1, InfoCode::USER_PREFERENCES, 0, 0,
                                     "arena=\"2\";bestOf=\"5\";maxPointsBehind=\"20\";maxShotTime=\"60\";tableType=\"1\\\"\";",
                                     "")};
         },
         ""},
        {"account, empty preferences", [](GameHandler& g) { sendMyAccount(g, AccountRecord{}); },
         [](uint32_t i) {
             return Sent{info(i, InfoCode::ACCOUNT_INFO, 0, 0, "", ""),
                                info(i + 1, InfoCode::USER_PREFERENCES, 0, 0,
                                     "arena=\"\";bestOf=\"\";maxPointsBehind=\"\";maxShotTime=\"\";tableType=\"\";", "")};
         },
         ""},
        {"replay position", [](GameHandler& g) { sendReplayPosition(g, 1, -2, 3, 4); },
         [](uint32_t i) { return Sent{info(i, InfoCode::REPLAY_POSITION, 1, -2, "", "", {3, 4})}; }, ""},
        {"replay save", [](GameHandler& g) { sendReplaySaveReq(g, "a note"); },
         [](uint32_t i) { return Sent{info(i, InfoCode::REPLAY_SAVE_REQ, 0, 0, "a note", "")}; }, ""},
        {"logout", [](GameHandler& g) { sendLogout(g); },
         [](uint32_t i) { return Sent{Bytes().header(MessageId::LOGOUT_REQ, i).message()}; },
         ": sendLogout: Sending LOGOUT_REQ message to server\n"},
    };
    runCases(cases);
}

TEST_F(RequestsTest, TableSettingsKeepLow16BitsAndWidenTheArenaAsSigned) {
    gh->tablePrivacy = 1;
    sendTableSettingsReq(*gh, MatchSettings{0x10002, 1, 3, 12, 0x8001, 60});
    EXPECT_EQ(sent(1), Sent{Bytes()
                                       .header(MessageId::TABLE_SETTINGS_REQ, FIRST_IID)
                                       .u32(7).str("T7").u16(2).u16(1).u16(3).u16(12).u16(60).u16(1)
                                       .u32(0xFFFF8001u)
                                       .message()});
}

TEST_F(RequestsTest, LogoutArmsTheDeadlineOnTheGameClockAndResetsTheLoginPage) {
    gh->now = 42.5;
    sendLogout(*gh);
    EXPECT_TRUE(capture.handler->logoutPending);
    EXPECT_DOUBLE_EQ(capture.handler->logoutDeadline, 44.5);
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Login), std::vector<std::string>{"logout();"});
}

TEST_F(RequestsTest, ReplaySettingsAreSentInKeyOrderAndShownInTheReplaysPage) {
    struct Switches {
        bool lines, process;
        const char* text;
        const char* statement;
    };
    const Switches cases[] = {
        {true, true, "replayAimProc=\"1\";replayAiming=\"1\";",
         "inbzSetReplaySettings({ aimLinesShow:true,aimingProcessShow:true,})"},
        {true, false, "replayAimProc=\"0\";replayAiming=\"1\";",
         "inbzSetReplaySettings({ aimLinesShow:true,aimingProcessShow:false,})"},
        {false, true, "replayAimProc=\"1\";replayAiming=\"0\";",
         "inbzSetReplaySettings({ aimLinesShow:false,aimingProcessShow:true,})"},
    };
    uint32_t iid = FIRST_IID;
    for (const Switches& c : cases) {
        pages.clear();
        gh->replayAimLinesShow = c.lines;
        gh->replayAimingProcessShow = c.process;
        sendReplaySettings(*gh);
        EXPECT_EQ(sent(1), Sent{info(iid++, InfoCode::USER_PREFERENCES, 0, 0, c.text, "")});
        EXPECT_EQ(pages.statementsFor(HtmlWindow::Replays), std::vector<std::string>{c.statement});
    }
}

TEST_F(RequestsTest, TableEventsAreByteExactWithZeroOidAndStamp) {
    seat(1);
    gh->aimBallIndex = 3;
    const std::vector<Case> cases = {
        {"ball placed", [](GameHandler& g) { sendBallPlaced(g, 4, -123.25, 456.5); },
         [](uint32_t i) {
             return Sent{event(i, TableEventType::BALL_PLACED, [](Bytes& w) {
                 w.f64(0).u32(4).f64(-123.25).f64(456.5);
                 for (int k = 2; k < 7; ++k) w.f64(0);
                 for (int k = 0; k < 4; ++k) w.f32(0);
             })};
         },
         ""},
        {"ball removed", [](GameHandler& g) { sendBallRemoved(g, 17); },
         [](uint32_t i) { return Sent{event(i, TableEventType::BALL_REMOVED, [](Bytes& w) { w.f64(0).u32(17); })}; },
         ""},
        {"nominated", [](GameHandler& g) { sendNominatedBall(g, 1); },
         [](uint32_t i) { return Sent{event(i, TableEventType::NOMINATED_BALL, [](Bytes& w) { w.f64(0).u32(1); })}; },
         ""},
        {"live aim start", [](GameHandler& g) { sendLiveAimStart(g); },
         [](uint32_t i) {
             return Sent{event(i, TableEventType::LIVE_AIM_START, [](Bytes& w) { aim(w.f64(0).u32(3), AIM); })};
         },
         ""},
        {"live aim set", [](GameHandler& g) { sendLiveAimSet(g); },
         [](uint32_t i) { return Sent{event(i, TableEventType::LIVE_AIM_SET, [](Bytes& w) { aim(w.f64(0), AIM); })}; },
         ""},
        {"live aim end", [](GameHandler& g) { sendLiveAimEnd(g); },
         [](uint32_t i) { return Sent{event(i, TableEventType::LIVE_AIM_END, [](Bytes& w) { w.f64(0); })}; }, ""},
        {"shot", [](GameHandler& g) { sendShot(g, 9, 1.5, 160.7, 10, -10, 2); },
         [](uint32_t i) {
             return Sent{event(i, TableEventType::SHOT,
                                      [](Bytes& w) { aim(w.f64(0), AimParameters{1.5, 160.7, 10, -10, 2}).u32(9); })};
         },
         ""},
        {"foul play on", [](GameHandler&) { sendFoulPlayOn(); },
         [](uint32_t i) { return Sent{event(i, TableEventType::FOUL_PLAY_ON, [](Bytes& w) { w.f64(0); })}; }, ""},
        {"foul retake", [](GameHandler&) { sendFoulRetake(); },
         [](uint32_t i) { return Sent{event(i, TableEventType::FOUL_RETAKE, [](Bytes& w) { w.f64(0); })}; }, ""},
        {"start", [](GameHandler& g) { sendStartReq(g); },
         [](uint32_t i) { return Sent{startInfo(i, 1, StartInfo::START_REQUESTED)}; }, ": sendStartReq: \n"},
        {"unstart", [](GameHandler& g) { sendUnstartReq(g); },
         [](uint32_t i) { return Sent{startInfo(i, 1, StartInfo::START_CANCELLED)}; }, ": sendUnstartReq: \n"},
        {"I will start", [](GameHandler& g) { sendStartedAfterCoinToss(g, true); },
         [](uint32_t i) { return Sent{startInfo(i, 1, StartInfo::STARTED_AFTER_COIN_TOSS)}; },
         ": sendStartedAfterCoinToss: iWillStart=1\n"},
        {"you start", [](GameHandler& g) { sendStartedAfterCoinToss(g, false); },
         [](uint32_t i) { return Sent{startInfo(i, 0, StartInfo::STARTED_AFTER_COIN_TOSS)}; },
         ": sendStartedAfterCoinToss: iWillStart=0\n"},
        {"concede", [](GameHandler& g) { sendFrameConceded(g); },
         [](uint32_t i) { return Sent{seatEvent(i, TableEventType::FRAME_CONCEDED, 1)}; }, ""},
        {"rerack", [](GameHandler& g) { sendRerackReq(g); },
         [](uint32_t i) { return Sent{seatEvent(i, TableEventType::RERACK_REQUESTED, 1)}; }, ""},
        {"rerack accepted", [](GameHandler& g) { sendRerackAcc(g); },
         [](uint32_t i) { return Sent{seatEvent(i, TableEventType::RERACK_ACCEPTED, 1)}; }, ""},
        {"rerack declined", [](GameHandler& g) { sendRerackDecl(g); },
         [](uint32_t i) { return Sent{seatEvent(i, TableEventType::RERACK_DECLINED, 1)}; }, ""},
        {"abort", [](GameHandler& g) { sendAbortReq(g); },
         [](uint32_t i) { return Sent{seatEvent(i, TableEventType::ABORT_REQUESTED, 1)}; }, ""},
        {"abort accepted", [](GameHandler& g) { sendAbortAcc(g); },
         [](uint32_t i) { return Sent{seatEvent(i, TableEventType::ABORT_ACCEPTED, 1)}; }, ""},
        {"abort declined", [](GameHandler& g) { sendAbortDecl(g); },
         [](uint32_t i) { return Sent{seatEvent(i, TableEventType::ABORT_DECLINED, 1)}; }, ""},
    };
    runCases(cases);
}

TEST_F(RequestsTest, SeatZeroIsFoundFirstForConcedeAndAbort) {
    gh->table.setPlayer(0, &me);
    gh->table.setPlayer(1, &me);
    sendFrameConceded(*gh);
    sendAbortReq(*gh);
    sendStartedAfterCoinToss(*gh, false);
    EXPECT_EQ(sent(3), (Sent{seatEvent(FIRST_IID, TableEventType::FRAME_CONCEDED, 0),
                                    seatEvent(FIRST_IID + 1, TableEventType::ABORT_REQUESTED, 0),
                                    startInfo(FIRST_IID + 2, 1, StartInfo::STARTED_AFTER_COIN_TOSS)}));
}

// The shot's send time is the echo's round trip; a concession or an abort ends the line-up's shot.
TEST_F(RequestsTest, TheSendersKeepTheShotTimeAndEndTheLineUpShot) {
    gh->table.setPlayer(0, &me);
    gh->now = 12.5;
    sendShot(*gh, 0, 1, 100, 0, 0, 0);
    EXPECT_EQ(gh->shotSentAt, 12.5);
    for (void (*sender)(GameHandler&) : {sendFrameConceded, sendAbortReq}) {
        gh->lineUpShotFlag = true;
        sender(*gh);
        EXPECT_FALSE(gh->lineUpShotFlag);
    }
    gh->table.setPlayer(0, nullptr);
    gh->lineUpShotFlag = true;
    sendAbortReq(*gh);  // refused: nothing sent, nothing ended
    EXPECT_TRUE(gh->lineUpShotFlag);
}

TEST_F(RequestsTest, AViewerIsRefusedWithOneErrorLineAndTheSequenceNumberIsSpent) {
    // A nick that only shares a prefix with the own one is someone else.
    Player longer{"meme"};
    gh->table.setPlayer(0, &longer);
    gh->table.setPlayer(1, &bob);
    struct Refusal {
        std::function<void(GameHandler&)> send;
        std::string line;
    };
    const std::vector<Refusal> refusals = {
        {sendStartReq, "sendStartReq: ERROR: Invalid start request, not sending it"},
        {sendUnstartReq, "sendUnstartReq: ERROR: Invalid start cancellation, not sending it"},
        {[](GameHandler& g) { sendStartedAfterCoinToss(g, true); },
         "sendStartedAfterCoinToss: ERROR: Invalid start after coin toss, not sending it"},
        {sendFrameConceded, "sendFrameConceded: ERROR: Invalid frame concession, not sending it"},
        {sendRerackReq, "sendRerackReq: ERROR: Invalid rerack request, not sending it"},
        {sendRerackAcc, "sendRerackAcc: ERROR: Invalid rerack acceptance, not sending it"},
        {sendRerackDecl, "sendRerackDecl: ERROR: Invalid rerack decline, not sending it"},
        {sendAbortReq, "sendAbortReq: ERROR: Invalid abort request, not sending it"},
        {sendAbortAcc, "sendAbortAcc: ERROR: Invalid abort acceptance, not sending it"},
        {sendAbortDecl, "sendAbortDecl: ERROR: Invalid abort decline, not sending it"},
    };
    uint32_t iid = FIRST_IID;
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.line);
        r.send(*gh);
        EXPECT_EQ(logCount(r.line), 1u);
        expectNothingSentBefore(iid + 1);
        iid += 2;
    }
    EXPECT_EQ(logCount("ERROR"), refusals.size());
    // The entry line comes before the refusal.
    const std::string text = log.text();
    EXPECT_LT(text.find(": sendStartReq: \n"), text.find("sendStartReq: ERROR"));
}

TEST_F(RequestsTest, LiveAimMovesAreLimitedToOneEveryQuarterSecond) {
    const auto move = [&](uint32_t i) {
        return event(i, TableEventType::LIVE_AIM_MOVE, [](Bytes& w) { aim(w.f64(0), AIM); });
    };
    // Right after a start the move is dropped without taking a sequence number.
    sendLiveAimStart(*gh);
    const double startedAt = gh->lastLiveAimSent;
    EXPECT_LE(startedAt, secondsSinceStart().seconds);
    sendLiveAimMove(*gh);
    EXPECT_EQ(sent(1).size(), 1u);
    expectNothingSentBefore(FIRST_IID + 1);

    // Well inside the quarter second: a pause of the test thread must not carry it past the end.
    gh->lastLiveAimSent = secondsSinceStart().seconds - 0.15;
    sendLiveAimMove(*gh);
    expectNothingSentBefore(FIRST_IID + 2);

    gh->lastLiveAimSent = secondsSinceStart().seconds - 0.26;
    const double before = secondsSinceStart().seconds;
    sendLiveAimMove(*gh);
    EXPECT_GE(gh->lastLiveAimSent, before);
    sendLiveAimMove(*gh);  // the move just sent starts the next quarter second
    EXPECT_EQ(sent(1), Sent{move(FIRST_IID + 3)});
    expectNothingSentBefore(FIRST_IID + 4);

    // Setting the aim neither waits for nor restarts the limit.
    gh->lastLiveAimSent = secondsSinceStart().seconds - 0.3;
    sendLiveAimSet(*gh);
    sendLiveAimMove(*gh);
    EXPECT_EQ(sent(2).size(), 2u);
    expectNothingSentBefore(FIRST_IID + 7);
}

// The power bar let go inside the quarter second: the frame after it sends the aim as it stands.
TEST_F(RequestsTest, AMoveHeldBackByTheLimitGoesOutOnceItsQuarterSecondIsOver) {
    gh->pointAiming = 1;
    sendLiveAimStart(*gh);
    gh->aim.power = 124;
    sendLiveAimMove(*gh);
    gh->update();
    ASSERT_EQ(sent(1).size(), 1u);  // the start alone
    gh->lastLiveAimSent = secondsSinceStart().seconds - 0.26;
    gh->update();
    AimParameters last = AIM;
    last.power = 124;
    EXPECT_EQ(sent(1), Sent{event(FIRST_IID + 1, TableEventType::LIVE_AIM_MOVE, [&](Bytes& w) { aim(w.f64(0), last); })});
    gh->lastLiveAimSent -= 1;
    gh->update();
    expectNothingSentBefore(FIRST_IID + 2);
}

TEST_F(RequestsTest, UnsharedLiveAimGoesOutOnlyWhereForced) {
    gh->ownUserType = 0x40;
    gh->lastLiveAimSent = -10.0;
    shareLiveAimStart(*gh, false);
    shareLiveAimMove(*gh);
    shareLiveAimSet(*gh, false);
    sendLiveAimEnd(*gh);
    expectNothingSentBefore(FIRST_IID);

    gh->aimBallIndex = -2;
    shareLiveAimStart(*gh, false);
    gh->aimBallIndex = 0;
    shareLiveAimStart(*gh, true);
    shareLiveAimSet(*gh, true);
    const auto start = [](uint32_t i, int32_t ball) {
        return event(i, TableEventType::LIVE_AIM_START, [&](Bytes& w) { aim(w.f64(0).u32(ball), AIM); });
    };
    EXPECT_EQ(sent(3), (Sent{start(FIRST_IID + 1, -2), start(FIRST_IID + 2, 0),
                                    event(FIRST_IID + 3, TableEventType::LIVE_AIM_SET,
                                          [](Bytes& w) { aim(w.f64(0), AIM); })}));

    // Such a user's shot is preceded by the aim it was taken with.
    sendShot(*gh, 2, 1.0, 50.0, 0, 0, 0);
    EXPECT_EQ(sent(3), (Sent{start(FIRST_IID + 4, 0),
                                    event(FIRST_IID + 5, TableEventType::LIVE_AIM_SET,
                                          [](Bytes& w) { aim(w.f64(0), AIM); }),
                                    event(FIRST_IID + 6, TableEventType::SHOT, [](Bytes& w) {
                                        aim(w.f64(0), AimParameters{1.0, 50.0, 0, 0, 0}).u32(2);
                                    })}));
}

TEST_F(RequestsTest, SharedLiveAimGoesOutWithoutForce) {
    gh->lastLiveAimSent = -10.0;
    shareLiveAimStart(*gh, false);
    gh->lastLiveAimSent = -10.0;
    shareLiveAimMove(*gh);
    shareLiveAimSet(*gh, false);
    sendShot(*gh, 2, 1.0, 50.0, 0, 0, 0);
    const Sent got = sent(4);
    ASSERT_EQ(got.size(), 4u);
    const TableEventType types[] = {TableEventType::LIVE_AIM_START, TableEventType::LIVE_AIM_MOVE,
                                    TableEventType::LIVE_AIM_SET, TableEventType::SHOT};
    for (size_t k = 0; k < 4; ++k) {
        const Message m = parseBytes(got[k]);
        ASSERT_EQ(m.events.size(), 1u);
        EXPECT_EQ(m.events[0].type, types[k]);
    }
}

TEST_F(RequestsTest, TutorialViewLessonsTellTheActionByThePowersParity) {
    struct Power {
        bool inTutorial;
        int topic;
        bool done;
        double power;
        double sent;
    };
    const Power cases[] = {
        {true, 13, true, 160.7, 161.0},  {true, 13, false, 160.7, 160.0}, {true, 14, true, 400.0, 399.0},
        {true, 14, false, 400.0, 400.0}, {true, 14, false, 3.0, 2.0},     {true, 13, true, 162.0, 163.0},
        {true, 12, true, 160.7, 160.7},  {false, 13, true, 160.7, 160.7},
    };
    uint32_t iid = FIRST_IID;
    for (const Power& c : cases) {
        SCOPED_TRACE(c.power);
        gh->inTutorial = c.inTutorial;
        gh->tutorialTopic = c.topic;
        gh->tutorialActionDone = c.done;
        sendShot(*gh, 1, 0.0, c.power, 0, 0, 0);
        EXPECT_EQ(sent(1), Sent{event(iid++, TableEventType::SHOT, [&](Bytes& w) {
                      aim(w.f64(0), AimParameters{0.0, c.sent, 0, 0, 0}).u32(1);
                  })});
    }
}

TEST_F(RequestsTest, AnInfoRequestOrALogoutWithoutAConnectionIsDropped) {
    ConnectionHandler* const handler = connectionHandler;
    connectionHandler = nullptr;
    sendBioDataReq("alice");
    sendLogout(*gh);
    connectionHandler = handler;
    expectNothingSentBefore(FIRST_IID);
}

}  // namespace
