// Drives the client's dispatch with whole server messages built from the input: table events of every
// type (game statuses with their ball arrays among them) and INFO messages of every code, with values
// drawn towards the extremes (INT_MIN, INT_MAX, huge, infinite and NaN angles). Every message must be
// handled at once: libFuzzer's time-out reports any that hangs, the sanitizers any overflow.
#include "client/gamehandler/game_handler.h"
#include "core/app_status.h"
#include "core/opener.h"
#include "dispatch/process_message.h"
#include "fuzz/fuzz_support.h"
#include "net/message.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

namespace {

int32_t pickInt(FuzzedDataProvider& in) {
    static const int32_t special[] = {0, 1, -1, 2, 3, 7, 15, 21, 24, 25, 100, INT_MIN, INT_MAX, INT_MIN + 1, INT_MAX - 1};
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: return in.PickValueInArray(special);
        case 1: return in.ConsumeIntegralInRange<int32_t>(-30, 30);
        default: return in.ConsumeIntegral<int32_t>();
    }
}

double pickDouble(FuzzedDataProvider& in) {
    static const double special[] = {0, 1, -1, 180, -180, 360, 1e17, -1e17, 1e300, -1e300,
                                     std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                                     std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::denorm_min()};
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: return in.PickValueInArray(special);
        case 1: return in.ConsumeFloatingPointInRange<double>(-2000, 2000);
        default: return in.ConsumeFloatingPoint<double>();
    }
}

std::string pickText(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(64); }

std::vector<int32_t> pickList(FuzzedDataProvider& in) {
    std::vector<int32_t> list(in.ConsumeIntegralInRange<size_t>(0, 12));
    for (int32_t& v : list) v = pickInt(in);
    return list;
}

void fillStatus(FuzzedDataProvider& in, TableEvent& e) {
    GameStatus& s = e.status();
    s.players = {pickText(in), pickText(in)};
    for (int32_t* v : {&s.striker, &s.startInfo, &s.playerOn, &s.playerOnFirst, &s.gameType, &s.bestOf, &s.maxShotTime,
                       &s.maxShotTimeNow, &s.maxPointsBehind, &s.gameState, &s.frameWonBy, &s.matchWonBy, &s.breakScore,
                       &s.scoreForPocketedBalls, &s.penalty, &s.ballOn, &s.nominatedBall, &s.missCount, &s.timeoutCount,
                       &s.concededBy, &s.matchConcededBy, &s.prevBallOn, &s.prevBallOnFull})
        *v = pickInt(in);
    for (auto* pair : {&s.framesWon, &s.frameScore, &s.negativePoints, &s.frameOverScore, &s.bestBreak, &s.bestBreakScore,
                       &s.rerackRequests, &s.abortRequests, &s.postponeRequests})
        for (int32_t& v : *pair) v = pickInt(in);
    for (int32_t& v : s.ballsPotted) v = pickInt(in);
    for (bool* b : {&s.ballInHand, &s.respottedBlack, &s.ballOnFull, &s.foul, &s.freeBall, &s.foulAndAMiss, &s.timeout,
                    &s.warningTwoMisses, &s.frameAwardedThreeMisses, &s.frameAwardedThreeTimeouts, &s.prevFreeBall})
        *b = in.ConsumeBool();
    s.statusMarkers = pickList(in);
    s.touchingBalls = pickList(in);
    s.thirdList = pickList(in);
    const int changed = in.ConsumeIntegralInRange<int>(0, GAME_STATUS_BALLS);
    for (int i = 0; i < changed; ++i) {
        BallState& b = (in.ConsumeBool() ? e.balls() : e.savedBalls())[in.ConsumeIntegralInRange<size_t>(0, GAME_STATUS_BALLS - 1)];
        b.onTable = in.ConsumeBool();
        b.pocket = pickInt(in);
        b.pocketTime = pickDouble(in);
        b.x = pickDouble(in);
        b.y = pickDouble(in);
        b.z = pickDouble(in);
    }
}

TableEvent pickEvent(FuzzedDataProvider& in) {
    // The known types and now and then an unknown one.
    static const uint16_t types[] = {1, 2, 3, 4, 8, 9, 10, 20, 21, 22, 25, 26, 27, 28, 29, 30, 31, 32, 33, 11, 12, 14, 36};
    TableEvent e(static_cast<TableEventType>(in.PickValueInArray(types)));
    e.stamp = pickDouble(in);
    e.ball = pickInt(in);
    e.number = pickInt(in);
    e.single = pickDouble(in);
    for (double& v : e.ballValues) v = pickDouble(in);
    for (double& v : e.extraValues) v = pickDouble(in);
    e.aim = AimParameters{pickDouble(in), pickDouble(in), pickDouble(in), pickDouble(in), pickDouble(in)};
    e.value = pickInt(in);
    e.pairA = pickInt(in);
    e.pairB = pickInt(in);
    e.flag1 = in.ConsumeBool();
    e.flag2 = in.ConsumeBool();
    e.startInfo = static_cast<StartInfo>(in.ConsumeIntegralInRange<uint16_t>(0, 6));
    if (e.type == TableEventType::GAME_STATUS) fillStatus(in, e);
    return e;
}

Message pickMessage(FuzzedDataProvider& in, uint32_t iid) {
    if (in.ConsumeBool()) {
        Message m(MessageId::TABLE_EVENT, iid);
        const size_t count = in.ConsumeIntegralInRange<size_t>(1, 6);
        for (size_t i = 0; i < count && in.remaining_bytes() > 0; ++i) m.events.push_back(pickEvent(in));
        return m;
    }
    Message m = Message::initInfo(iid, in.ConsumeIntegralInRange<int32_t>(0, 120), pickInt(in),
                                  pickInt(in), pickText(in), pickText(in));
    m.intList = pickList(in);
    const size_t texts = in.ConsumeIntegralInRange<size_t>(0, 4);
    for (size_t i = 0; i < texts; ++i) m.textList.push_back(pickText(in));
    return m;
}

int noSpawn(const std::vector<std::string>&, std::string& error) {
    error = "not in the fuzz run";
    return -1;
}

}  // namespace

// A value from the server that overflows, or indexes outside its array, is a finding here even
// where the sanitizers would only print it.
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        setProgramSpawner(noSpawn);  // no address may reach the desktop
        installMessageDispatch();
        getGameHandler().prefPath = fuzzsupport::tempFolder();
        return true;
    }();
    (void)ready;
    FuzzedDataProvider in(data, size);
    static const AppState states[] = {STATE_LOBBY, STATE_TABLE, STATE_GAME, STATE_COIN_TOSS};
    appState = in.PickValueInArray(states);
    GameHandler& gh = getGameHandler();
    uint32_t iid = 1000;
    while (in.remaining_bytes() > 0) {
        const Message m = pickMessage(in, iid++);
        gh.processMessage(m);
    }
    return 0;
}
