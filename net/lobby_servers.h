// The known lobby servers and the background poll that asks each for its status, marks which ones
// answer and shows them to the user in the Login and Lobby pages.
#pragma once

#include "net/connection.h"
#include "core/page_script.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct LobbyServer {
    std::string name;     // the key by which a login finds the server
    std::string address;  // host name or IPv4 address text
    uint32_t port = 0;
    std::string version;
    uint32_t maxUsers = 1;
    uint32_t currentUsers = 0;
    bool online = false;  // the server answered the last status query

    bool operator==(const LobbyServer&) const = default;
};

// A reserved example name: the real game-server host is configured, never built in.
inline constexpr const char* DEFAULT_GAME_SERVER_HOST = "game.example.com";
inline constexpr uint32_t DEFAULT_LOBBY_PORT = 42147;
// Servers named in status replies are added up to this many entries, so a server cannot make
// the list (and every poll pass) grow without bound.
inline constexpr size_t MAX_LOBBY_SERVERS = 32;

// Entries are never removed and never reordered; new ones are appended. Guarded by the mutex.
// At start: "Players Lounge", "Tournament Lobby" and "New Lobby" on three consecutive ports of
// the default host; the environment variables BZ_LOBBY_HOST and BZ_LOBBY_PORT (the first of the
// three ports) point them elsewhere, for example at a local test server.
extern std::vector<LobbyServer> lobbyServers;
extern std::mutex lobbyServersMutex;
// Asks the poll to run on every pass while the lobby is shown.
extern std::atomic<bool> lobbyListRequested;

// Replaces the list with the three initial entries at host, on firstPort and the two ports after it.
void resetLobbyServers(const std::string& host, uint32_t firstPort);

// The listener of one status query: collects the reply records of the pass.
class LobbyStatusListener : public ConnectionListener {
public:
    std::string address;
    uint32_t port = 0;
    std::vector<LobbyServer>* replies = nullptr;
    bool answered = false;
    bool finished = false;

    void loginSuccess() override {}
    void loginFailed() override {}
    // One record for the queried server, then one per further server it names.
    void serverInfo(std::string statusText, std::string lobbyName, std::string lobbyVersion, uint32_t maxUsers,
                    uint32_t currentUsers, const std::vector<ServerAddress>& servers) override;
    void messageReceived(const Message&) override {}
    void disconnected() override { finished = true; }
};

// Asks one server for its status over a connection of its own, bounded in time; appends the reply
// records to replies. True when the server sent a status reply.
bool queryLobbyServer(LobbyStatusListener& listener, const std::string& address, uint32_t port,
                      std::vector<LobbyServer>& replies);

// Merges reply records into the list: a new address and port is appended as the record has it (a
// server a reply only names stays offline until it answers itself), while there is room; a known one
// takes the record's name, version and counts when the name is not empty. True when
// an existing entry's name, version or counts changed.
bool mergeLobbyReplies(std::vector<LobbyServer>& servers, const std::vector<LobbyServer>& replies);

// updateLobbies([{name:"…",version:"…",maxUsers:n,currentUsers:n},…]); over the online entries.
// With none online, a second argument names every address tried, so that the login form can say
// where no lobby answers: updateLobbies([],{tried:["host:port",…]});
std::string updateLobbiesScript(const std::vector<LobbyServer>& servers);

// Whether this pass polls: always at the login form, in the lobby while the list is requested,
// otherwise every sixth counted pass.
bool lobbyPollWanted(int& passCounter);

// One polling pass over every listed server. The list's mutex is held only to copy the addresses
// and to merge the answers, never during the network queries, so a login lookup never waits for
// the network. Runs the page text in loginWindow and then in the Lobby page when anything changed
// (a server's answer, or which servers answer) and after the first pass (firstPass), answered or not.
// True when the page text was run.
bool lobbyPollPass(HtmlWindow loginWindow, bool firstPass = false);

// The body of the poll thread: a pass every pollPeriodMs while the application runs.
void lobbyPollThread(HtmlWindow loginWindow);
