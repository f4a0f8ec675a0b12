// The chat input: every line of chat the client sends passes here. A chain of slash commands, tried
// in a fixed order, changes presence, the frame-rate limit and the lobby, asks for replays, tunes the
// table's physics constants and puts balls back; any other text goes to the server as chat.
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/requests.h"
#include "core/app_status.h"
#include "core/log.h"
#include "core/page_script.h"
#include "net/connection_handler.h"
#include "net/request_queue.h"

#include <charconv>
#include <cmath>
#include <regex>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

enum class Command { Fps, Away, Dnd, Active, ChangeLobby, Replay, Physics, RemoveMode, Respot };

// A table constant that chat may tune. Any finite number of 0 or more is taken, except that
// divisor constants must be above 0 and the maximum side spin above 0.1.
struct TunedConstant {
    const char* name;
    int index;
    double min = 0;
    bool minExclusive = false;
};

struct ChatCommand {
    const char* pattern;
    Command command;
    TunedConstant constant{"", -1};
};

// Tried in this order; the first match acts. Only /fps may stand anywhere in the text; /del and the
// ball digits need only start it.
const ChatCommand kCommands[] = {
    {R"(\s*/(max)?fps\s+(.*))", Command::Fps},
    {R"(^\s*/away\s*$)", Command::Away},
    {R"(^\s*/dnd\s*$)", Command::Dnd},
    {R"(^\s*/active\s*$)", Command::Active},
    {R"(^\s*/here\s*$)", Command::Active},
    {R"(^\s*/change-lobby\s+(.*))", Command::ChangeLobby},
    {R"(^\s*/replay\s+(.*))", Command::Replay},
    {R"(^\s*/murolling\s+(.*))", Command::Physics, {"/murolling", 8}},
    {R"(^\s*/maxbackspin\s+(.*))", Command::Physics, {"/maxbackspin", 2}},
    {R"(^\s*/maxsidespin\s+(.*))", Command::Physics, {"/maxsidespin", 3, 0.1, true}},
    {R"(^\s*/abtime\s+(.*))", Command::Physics, {"/abtime", 105}},
    // Fault mended: the airborne time divides by the elevation limit, so 0 would make it NaN.
    {R"(^\s*/abellimit\s+(.*))", Command::Physics, {"/abellimit", 106, 0, true}},
    {R"(^\s*/abminpower\s+(.*))", Command::Physics, {"/abminpower", 107}},
    {R"(^\s*/psrfactor\s+(.*))", Command::Physics, {"/psrfactor", 110}},
    {R"(^\s*/psrtime\s+(.*))", Command::Physics, {"/psrtime", 108}},
    {R"(^\s*/psrdistance\s+(.*))", Command::Physics, {"/psrdistance", 109}},
    {R"(^\s*/cbsidethrow\s+(.*))", Command::Physics, {"/cbsidethrow", 16}},
    {R"(^\s*/cbloss\s+(.*))", Command::Physics, {"/cbloss", 23}},
    {R"(^\s*/cblossz\s+(.*))", Command::Physics, {"/cblossz", 111}},
    {R"(^\s*/cbsquare\s+(.*))", Command::Physics, {"/cbsquare", 15}},
    {R"(^\s*/sideerrorreduction\s+(.*))", Command::Physics, {"/sideerrorreduction", 34}},
    {R"(^\s*/cbtopspinreduction\s+(.*))", Command::Physics, {"/cbtopspinreduction", 20}},
    {R"(^\s*/cbbackspinreduction\s+(.*))", Command::Physics, {"/cbbackspinreduction", 21}},
    // The aim error of a cramped cue, and the width (degrees) and forgiveness of the thinnest cuts.
    {R"(^\s*/errorawkward\s+(.*))", Command::Physics, {"/errorawkward", 29}},
    // Fault mended: the cut correction divides by the width, so 0 would make every aim error NaN.
    {R"(^\s*/errorthinwidth\s+(.*))", Command::Physics, {"/errorthinwidth", 112, 0, true}},
    {R"(^\s*/errorthinamount\s+(.*))", Command::Physics, {"/errorthinamount", 113}},
    {R"(^\s*/del)", Command::RemoveMode},
    {R"(^\s*/([1-7]))", Command::Respot},
};
constexpr int kCommandCount = sizeof(kCommands) / sizeof(kCommands[0]);

const std::vector<std::regex>& commandPatterns() {
    static const std::vector<std::regex> patterns = [] {
        std::vector<std::regex> compiled;
        for (const ChatCommand& c : kCommands) compiled.emplace_back(c.pattern, std::regex::ECMAScript);
        return compiled;
    }();
    return patterns;
}

// The leading decimal real of the text (blanks, sign, digits, fraction, exponent); 0 when the text
// does not start with one, an infinity when no double holds it.
double leadingNumber(const std::string& text) {
    size_t at = text.find_first_not_of(" \t\r\n\f\v");
    if (at == std::string::npos) return 0;
    if (text[at] == '+') ++at;
    const size_t digitAt = at < text.size() && text[at] == '-' ? at + 1 : at;
    auto isDigit = [&](size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
    if (!isDigit(digitAt) && !(digitAt < text.size() && text[digitAt] == '.' && isDigit(digitAt + 1))) return 0;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value,
                                              std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // from_chars leaves the value alone here; strtod's answer is the infinity for a huge number and
        // 0 for a tiny one.
        const bool huge = std::strtod(text.c_str() + at, nullptr) != 0;
        const bool negative = text[at] == '-';
        return huge ? (negative ? -HUGE_VAL : HUGE_VAL) : 0;
    }
    return error == std::errc() ? value : 0;
}

void sendChatLine(GameHandler& gh, const std::string& text, bool fromLobby) {
    if (connectionHandler == nullptr) return;
    queueRequest(Message::initChat(connectionHandler->nextIid(), fromLobby ? 0 : 1, ChatClass::CHAT, 0, gh.ownNick(),
                                   0, text, "", "", "", ""));
}

void setPresence(int flags) {
    runJavaScript(HtmlWindow::Lobby, "inbzSetStatus({flags:" + std::to_string(flags) + "});");
    sendUserFlagInfo(static_cast<uint32_t>(flags), 3);
}

// Writes a tuned constant of the current table's record; a value it does not take keeps the old one.
void tuneConstant(GameHandler& gh, const TunedConstant& c, const std::string& argument) {
    const double value = leadingNumber(argument);
    const bool aboveMin = c.minExclusive ? value > c.min : value >= c.min;
    // Fault mended: an infinite constant turns the stroke's arithmetic into NaN (inf x 0).
    if (!std::isfinite(value) || !aboveMin || gh.table.params == nullptr) {
        BZ_LOG(LOG_INFO, "sendChatText", c.name << " keeps its value: " << value << " not taken");
        return;
    }
    TableParams& params = *gh.table.params;
    params[c.index] = value;
    if (c.index == 8) params[73] = 9810 * value;  // the rolling resistance as a deceleration
    BZ_LOG(LOG_INFO, "sendChatText", c.name << " set [" << c.index << "] = " << value);
}

bool seatedInAGame(const GameHandler& gh) {
    const Player* a = gh.table.getPlayer(0);
    const Player* b = gh.table.getPlayer(1);
    return appState.load() == STATE_GAME && a != nullptr && b != nullptr && a != b &&
           (gh.seatHoldsMe(0) || gh.seatHoldsMe(1));
}

// Returns whether the text goes on to the server as chat.
bool replayCommand(GameHandler& gh, const std::string& text, bool replayConfirmed) {
    if (gh.replayMode) return true;
    if (seatedInAGame(gh)) {
        gh.showLocalNotice("Replays not available while playing a game!", gh.table.getId());
        return false;
    }
    if (replayConfirmed) return true;
    runJavaScript(HtmlWindow::Alerts, "inbzOpenReplayWarning();");
    gh.alertsPanel.visible = true;
    gh.alertsPanel.openedAt = gh.now + 0.2;
    gh.alertShown = gh.leaveWarningAlert;
    gh.pendingReplayCommand = text;
    return false;
}

void respotBall(GameHandler& gh, int ball) {
    Table& table = gh.table;
    int id = -1;
    if (ball == 1) {
        for (int red = BALL_FIRST_RED; red <= BALL_LAST_RED; ++red) {
            if (!table.balls[red].onTable) {
                id = red;
                break;
            }
        }
    } else {
        id = ball;
    }
    if (id < 0) return;
    table.balls[id].respot(table.balls, kBallCount);
    sendBallPlaced(gh, id, table.balls[id].x, table.balls[id].z);
}

}  // namespace

void GameHandler::sendChatText(const std::string& text, bool fromLobby, bool replayConfirmed) {
    BZ_LOG(LOG_INFO, "sendChatText", "'" << text << "'");
    const std::vector<std::regex>& patterns = commandPatterns();
    for (int i = 0; i < kCommandCount; ++i) {
        std::smatch match;
        if (!std::regex_search(text, match, patterns[i])) continue;
        const ChatCommand& c = kCommands[i];
        bool asChat = false;
        switch (c.command) {
            case Command::Fps: {
                const double fps = leadingNumber(match[2].str());
                maxFps = fps >= 1 ? fps : 60.0;
                fpsChanged = true;
                break;
            }
            case Command::Away: setPresence(1); break;
            case Command::Dnd: setPresence(2); break;
            case Command::Active: setPresence(0); break;
            case Command::ChangeLobby:
                if (connectionHandler == nullptr) break;
                connectionHandler->nextServerName = match[1].str();
                connectionHandler->lobbyChangePending = true;
                sendLogout(*this);
                break;
            case Command::Replay: asChat = replayCommand(*this, text, replayConfirmed); break;
            case Command::Physics:
                tuneConstant(*this, c.constant, match[1].str());
                asChat = true;
                break;
            case Command::RemoveMode:
                if (betaLobbyPlayer) clickToRemoveMode = !clickToRemoveMode;
                showLocalNotice(std::string("\"Click balls to remove\" mode is ") + (clickToRemoveMode ? "ON" : "OFF"),
                                table.getId());
                break;
            case Command::Respot:
                if (betaLobbyPlayer) respotBall(*this, match[1].str()[0] - '0');
                break;
        }
        if (asChat) sendChatLine(*this, text, fromLobby);
        return;
    }
    sendChatLine(*this, text, fromLobby);
}
