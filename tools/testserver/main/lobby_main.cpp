// The local lobby to play in: the three lobbies of the client's default list on 127.0.0.1.
//   baizeron-lobby [--port FIRST] [--reds N]
// Point the client at it with BZ_LOBBY_HOST=127.0.0.1 (and BZ_LOBBY_PORT=FIRST when it differs).
#include "tools/testserver/local_lobby.h"
#include "tools/testserver/main/stop_signal.h"
#include "net/lobby_servers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    unsigned firstPort = DEFAULT_LOBBY_PORT;
    long reds = 15;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            firstPort = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--reds") == 0 && i + 1 < argc) {
            reds = std::strtol(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--port FIRST] [--reds N]\n", argv[0]);
            return 2;
        }
    }
    if (reds < 1 || reds > 15) {
        std::fprintf(stderr, "the reds of a rack number 1 to 15\n");
        return 2;
    }
    if (firstPort == 0 || firstPort > 65533) {
        std::fprintf(stderr, "the first port must lie between 1 and 65533\n");
        return 2;
    }
    stop_signal::install();

    const char* names[] = {"Players Lounge", "Tournament Lobby", "New Lobby"};
    std::vector<std::unique_ptr<LocalLobby>> lobbies;
    std::vector<std::unique_ptr<TestServer>> servers;
    for (unsigned i = 0; i < 3; ++i) {
        lobbies.push_back(std::make_unique<LocalLobby>(names[i]));
        lobbies.back()->setRedsInRack(static_cast<int>(reds));
        auto server = std::make_unique<TestServer>(lobbies.back()->serverConfig());
        if (!server->start(static_cast<uint16_t>(firstPort + i))) {
            std::fprintf(stderr, "cannot listen on 127.0.0.1:%u\n", firstPort + i);
            return 1;
        }
        std::printf("%s on 127.0.0.1:%u\n", names[i], firstPort + i);
        servers.push_back(std::move(server));
    }
    std::printf("any new name logs in with the password \"%s\"\n", LocalLobby::kNewcomerPassword);
    std::fflush(stdout);
    stop_signal::wait();
    for (auto& server : servers) server->stop();
    return 0;
}
