// A local game server for trying the client without the real one: three lobbies on 127.0.0.1.
// Start the client with BZ_LOBBY_HOST=127.0.0.1 (and BZ_LOBBY_PORT when the first port differs).
//   baizeron-testserver [--port FIRST] [--user NAME:PASSWORD]...
#include "tools/testserver/main/stop_signal.h"
#include "tools/testserver/test_server.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    unsigned firstPort = 42147;
    TestServerConfig config;
    config.echo = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            firstPort = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        } else if (std::strcmp(argv[i], "--user") == 0 && i + 1 < argc) {
            std::string pair = argv[++i];
            size_t colon = pair.find(':');
            if (colon == std::string::npos) {
                std::fprintf(stderr, "--user wants NAME:PASSWORD\n");
                return 2;
            }
            config.accounts[pair.substr(0, colon)] = pair.substr(colon + 1);
        } else {
            std::fprintf(stderr, "usage: %s [--port FIRST] [--user NAME:PASSWORD]...\n", argv[0]);
            return 2;
        }
    }
    if (firstPort == 0 || firstPort > 65533) {
        std::fprintf(stderr, "the first port must lie between 1 and 65533\n");
        return 2;
    }
    stop_signal::install();

    std::vector<std::unique_ptr<TestServer>> servers;
    const char* names[] = {"Players Lounge", "Tournament Lobby", "New Lobby"};
    for (unsigned i = 0; i < 3; ++i) {
        TestServerConfig lobby = config;
        lobby.lobbyName = names[i];
        auto server = std::make_unique<TestServer>(lobby);
        if (!server->start(static_cast<uint16_t>(firstPort + i))) {
            std::fprintf(stderr, "cannot listen on 127.0.0.1:%u\n", firstPort + i);
            return 1;
        }
        std::printf("%s on 127.0.0.1:%u\n", names[i], firstPort + i);
        servers.push_back(std::move(server));
    }
    std::fflush(stdout);
    stop_signal::wait();
    for (auto& server : servers) server->stop();
    return 0;
}
