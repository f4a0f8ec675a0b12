// The lobby's user list through the dispatch, as the main thread pays for it: a server sends the
// whole list at every login and logout of anyone in the lobby, so its cost must follow the list's
// length and must not grow over an evening in which thousands of other users came and went.
// Counters: per_user (seconds of CPU per user of the list), statement_bytes (page statements of one list).
#include <benchmark/benchmark.h>

#include "client/gamehandler/game_handler.h"
#include "core/page_script.h"
#include "net/connection_handler.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// Keeps each page's last statement, as the browser bridge holds one until its next pump.
class LastStatementSink : public PageScriptSink {
public:
    void runJavaScript(HtmlWindow window, const std::string& statement) override {
        last_[static_cast<size_t>(window)] = statement;
        bytes += static_cast<int64_t>(statement.size());
    }
    int64_t bytes = 0;

private:
    std::array<std::string, HTML_WINDOW_COUNT> last_;
};

UserListEntry userRecord(const std::string& nick, int i) {
    const std::string record = nick + "|" + std::to_string(0.25 + (i % 40) * 0.05) + "|" + std::to_string(i % 97) +
                               "|" + std::to_string(i % 13) + "|" + std::to_string(i % 147) + "|" +
                               std::to_string(i % 31) + "|" + std::to_string(i % 7 == 0 ? 1 : 0) + "|Main";
    return {record, static_cast<uint16_t>(i % 3), 1200 + i % 900, 1 + i, i % 5};
}

// `count` users named prefix0, prefix1, ...; the own user first when withOwn.
Message userList(const std::string& prefix, int count, bool withOwn) {
    Message m(MessageId::USER_LIST_INFO, 1);
    if (withOwn) m.users.push_back(userRecord("Alice", 0));
    for (int i = 0; i < count; ++i) m.users.push_back(userRecord(prefix + std::to_string(i), i));
    return m;
}

// A logged-in client in the lobby "Main", its pages recorded.
struct Lobby {
    Lobby() {
        previousSink = setPageScriptSink(&pages);
        handler.userName = "Alice";
        connectionHandler = &handler;
        gh = std::make_unique<GameHandler>();
        gh->lobbyName = "Main";
    }
    ~Lobby() {
        connectionHandler = nullptr;
        setPageScriptSink(previousSink);
    }
    LastStatementSink pages;
    PageScriptSink* previousSink = nullptr;
    ConnectionHandler handler;
    std::unique_ptr<GameHandler> gh;
};

void dispatchLoop(benchmark::State& state, Lobby& lobby, const Message& list) {
    lobby.gh->processMessage(list);  // the users are known, as after their first list
    const int64_t before = lobby.pages.bytes;
    for (auto _ : state) lobby.gh->processMessage(list);
    const double users = static_cast<double>(list.users.size());
    state.counters["per_user"] = benchmark::Counter(users * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["statement_bytes"] =
        static_cast<double>(lobby.pages.bytes - before) / static_cast<double>(state.iterations());
}

// One list of range(0) users, the same users every time.
void BM_UserList(benchmark::State& state) {
    Lobby lobby;
    dispatchLoop(state, lobby, userList("player", static_cast<int>(state.range(0)) - 1, true));
}
BENCHMARK(BM_UserList)->Arg(1000)->Arg(5000)->Arg(8000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// A 1,000-user list after range(0) other users came and went, a thousand at a time: each list of
// the evening names the own user and the thousand who are in the lobby then.
void BM_UserListAfterOthersLeft(benchmark::State& state) {
    Lobby lobby;
    const int others = static_cast<int>(state.range(0));
    for (int wave = 0; wave * 1000 < others; ++wave) {
        lobby.gh->processMessage(userList("guest" + std::to_string(wave) + "_", 1000, true));
    }
    dispatchLoop(state, lobby, userList("player", 999, true));
}
BENCHMARK(BM_UserListAfterOthersLeft)->Arg(0)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
