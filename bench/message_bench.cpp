// Messages serialised and parsed per second: a table event with a full game status (the largest message
// of a frame in play) and a small request.
#include "net/message.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

Message gameStatusEvent() {
    TableEvent e(TableEventType::GAME_STATUS);
    e.stamp = 12.5;
    GameStatus& s = e.status();
    s.matchDuration = 900000, s.frameDuration = 120000, s.breakDuration = 15000;
    s.players = {"alice_the_player", "bob_the_opponent"};
    s.striker = 1, s.playerOn = 1, s.gameType = 15, s.bestOf = 5, s.gameState = 1;
    s.frameScore = {47, 12}, s.breakScore = 23, s.ballsPotted = {1, 1, 1, 1, 1, 1, 0, 0, 0, 0};
    s.statusMarkers = {1, 2, 3}, s.touchingBalls = {4}, s.thirdList = {5, 6};
    for (int i = 0; i < GAME_STATUS_BALLS; ++i) {
        e.balls()[i] = {true, -1, 0.0, i * 37.5, 26.25, i * -11.0, {1.0f, 0.1f, 0.2f, 0.3f}};
        e.savedBalls()[i] = e.balls()[i];
    }
    Message m(MessageId::TABLE_EVENT, 123456);
    m.events.push_back(e);
    return m;
}

Message smallRequest() {
    Message m(MessageId::ENTER_TABLE_REQ, 5001);
    m.tableId = 42;
    return m;
}

std::vector<uint8_t> bytesOf(Message m) {
    const Buffer& b = m.getBuffer(MESSAGE_BLOCK_SIZE);
    return std::vector<uint8_t>(b.writeData, b.writeData + b.writeLength);
}

// As the connection does it: a fresh copy off the queue, serialised once.
void serialiseLoop(benchmark::State& state, const Message& source) {
    int64_t bytes = 0;
    for (auto _ : state) {
        Message m(source);
        const Buffer& b = m.getBuffer(MESSAGE_BLOCK_SIZE);
        benchmark::DoNotOptimize(b.writeData);
        bytes += b.writeLength;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(bytes);
}

void parseLoop(benchmark::State& state, const std::vector<uint8_t>& bytes) {
    for (auto _ : state) {
        Buffer reader(bytes.data(), static_cast<int32_t>(bytes.size()));
        Message m(reader);
        benchmark::DoNotOptimize(m.consumed);
        if (m.parseResult() != ParseResult::Complete) state.SkipWithError("parse failed");
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void BM_SerializeGameStatusEvent(benchmark::State& state) { serialiseLoop(state, gameStatusEvent()); }
void BM_ParseGameStatusEvent(benchmark::State& state) { parseLoop(state, bytesOf(gameStatusEvent())); }
void BM_SerializeSmallRequest(benchmark::State& state) { serialiseLoop(state, smallRequest()); }
void BM_ParseSmallRequest(benchmark::State& state) { parseLoop(state, bytesOf(smallRequest())); }

}  // namespace

BENCHMARK(BM_SerializeGameStatusEvent);
BENCHMARK(BM_ParseGameStatusEvent);
BENCHMARK(BM_SerializeSmallRequest);
BENCHMARK(BM_ParseSmallRequest);
