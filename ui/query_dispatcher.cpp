#include "ui/query_dispatcher.h"

#include "client/gamehandler/game_handler.h"
#include "core/log.h"
#include "ui/engine/web_json.h"
#include "client/panels/game_settings_apply.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <exception>
#include <optional>
#include <string_view>

using bzweb::JsonValue;

namespace {

// Typed reads: a missing key, or one of another JSON type, reads as "", 0 or false.
std::string readString(const JsonValue& query, const char* key) {
    auto it = query.find(key);
    return it != query.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// An integer that fits an int; nothing for any other value.
std::optional<int> findInt(const JsonValue& query, const char* key) {
    auto it = query.find(key);
    if (it == query.end()) return std::nullopt;
    if (it->is_number_unsigned()) {
        uint64_t v = it->get<uint64_t>();
        if (v <= uint64_t(INT_MAX)) return int(v);
    } else if (it->is_number_integer()) {
        int64_t v = it->get<int64_t>();
        if (v >= INT_MIN && v <= INT_MAX) return int(v);
    }
    return std::nullopt;
}

int readInt(const JsonValue& query, const char* key) { return findInt(query, key).value_or(0); }

bool readBool(const JsonValue& query, const char* key) {
    auto it = query.find(key);
    return it != query.end() && it->is_boolean() && it->get<bool>();
}

double readDouble(const JsonValue& query, const char* key) {
    auto it = query.find(key);
    return it != query.end() && it->is_number() ? it->get<double>() : 0.0;
}

bool listed(std::string_view name, std::initializer_list<std::string_view> names) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

void buttonPress(HtmlRequests& r, const JsonValue& q) {
    const std::string info = readString(q, "buttonInfo");
    int idata1 = 0;
    std::string sdata1;
    if (listed(info, {"selectTutTopic", "selectLineUp", "invites-response-accepted", "invites-response-declined",
                      "invites-response-ignored", "chatUserDelete", "chatUserAdd", "chatHistoryAdd",
                      "select-replay-speed", "set-replay-position", "replay-load-frame", "replay-select-top20",
                      "replay-open-save", "replay-get-fav", "poll-vote", "block-user", "user-info"})) {
        idata1 = readInt(q, "idata1");
    }
    if (listed(info, {"chatUserDelete", "chatUserAdd", "chatHistoryAdd", "requestBioResults", "change-lobby",
                      "add-to-fav", "delete-from-fav", "replay-start-search", "replay-do-save", "replay-add-to-fav",
                      "replay-delete-from-fav", "replay-update-notes", "add-friend", "remove-friend", "block-user",
                      "user-info", "friend-login", "block-user-in-people-window"})) {
        sdata1 = readString(q, "sdata1");
    }
    r.buttonPress(info, idata1, sdata1);
}

// Starts from the settings in force, so that a key the page leaves out, or sends with another
// type, keeps its value instead of becoming 0.
void gameSettingsSave(HtmlRequests& r, const JsonValue& q) {
    GameSettings s = getGameHandler().gameSettings;
    for (const GameSettingsKey& slot : kGameSettingsKeys) {
        if (slot.field != nullptr) {
            s.*slot.field = findInt(q, slot.key).value_or(s.*slot.field);
        } else if (auto fps = q.find(slot.key); fps != q.end() && fps->is_number()) {
            s.fps = static_cast<float>(readDouble(q, slot.key));
        }
    }
    r.gameSettingsSave(s);
}

void matchSettingsSave(HtmlRequests& r, const JsonValue& q) {
    MatchSettings m;
    m.difficulty = readInt(q, "difficulty");
    m.gameType = readInt(q, "gameType");
    m.matchLength = readInt(q, "matchLength");
    m.autoConcedeLimit = readInt(q, "autoConcedeLimit");
    m.arena = readInt(q, "arena");
    m.shotTimeLimit = readInt(q, "shotTimeLimit");
    r.matchSettingsSave(m);
}

void myAccountSave(HtmlRequests& r, const JsonValue& q) {
    AccountRecord a;
    a.country = readString(q, "country");
    a.aboutMe = readString(q, "aboutMe");
    a.prefTableType = readString(q, "prefTableType");
    a.prefBestOf = readString(q, "prefBestOf");
    a.prefMaxPointsBehind = readString(q, "prefMaxPointsBehind");
    a.prefArena = readString(q, "prefArena");
    a.prefMaxShotTime = readString(q, "prefMaxShotTime");
    r.myAccountSave(a);
}

using Handler = void (*)(HtmlRequests&, const JsonValue&);
struct Row {
    const char* name;
    Handler handler;
};

#define BZ_ROW(name, call) {#name, [](HtmlRequests& r, const JsonValue& q) { call; }}

const std::array<Row, 58> kRows = {{
    BZ_ROW(titleBarMoveWindow, r.titleBarMoveWindow()),
    BZ_ROW(titleBarMinimize, r.titleBarMinimize()),
    BZ_ROW(titleBarMaximize, r.titleBarMaximize()),
    BZ_ROW(titleBarClose, r.titleBarClose()),
    BZ_ROW(loginForgotDetails, r.loginForgotDetails()),
    BZ_ROW(loginRegister, r.loginRegister()),
    BZ_ROW(loginPlayOffline, r.loginPlayOffline()),
    BZ_ROW(loginUpdate, r.loginUpdate()),
    BZ_ROW(loginEnterLobby, r.loginEnterLobby(readString(q, "servername"), readString(q, "username"),
                                              readString(q, "password"), readBool(q, "rememberme"))),
    BZ_ROW(lobbyPlayTable, r.lobbyPlayTable(readInt(q, "tablenumber"))),
    BZ_ROW(lobbyWatchTable, r.lobbyWatchTable(readInt(q, "tablenumber"))),
    BZ_ROW(lobbyAvailability, r.lobbyAvailability(readString(q, "availCode"))),
    BZ_ROW(lobbySendChatText, r.lobbySendChatText(readString(q, "chatText"))),
    BZ_ROW(lobbyLogout, r.lobbyLogout()),
    BZ_ROW(lobbyOpenGameSettings, r.lobbyOpenGameSettings()),
    BZ_ROW(lobbyOpenMyAccount, r.lobbyOpenMyAccount()),
    BZ_ROW(lobbyOpenPlayerBio, r.lobbyOpenPlayerBio(readString(q, "userName"))),
    BZ_ROW(lobbyBrowseExternal, r.lobbyBrowseExternal(readString(q, "urlCode"))),
    BZ_ROW(startMatchStart, r.startMatchStart()),
    BZ_ROW(startMatchStartSingle, r.startMatchStartSingle()),
    BZ_ROW(startMatchUnstart, r.startMatchUnstart()),
    BZ_ROW(startMatchJoin, r.startMatchJoin()),
    BZ_ROW(startMatchWatch, r.startMatchWatch()),
    BZ_ROW(startMatchLeaveTable, r.startMatchLeaveTable()),
    BZ_ROW(coinTossIWillStart, r.coinTossIWillStart(readBool(q, "iWillStart"))),
    {"buttonPress", buttonPress},
    BZ_ROW(bottomBoxToggle, r.bottomBoxToggle(readBool(q, "isFullSize"))),
    BZ_ROW(bottomBoxLeaveTable, r.bottomBoxLeaveTable()),
    BZ_ROW(bottomBoxViewMode, r.bottomBoxViewMode(readString(q, "role"), readString(q, "viewMode"))),
    BZ_ROW(bottomBoxViewModePOV, r.bottomBoxViewModePOV()),
    BZ_ROW(bottomBoxOpenPeople, r.bottomBoxOpenPeople()),
    BZ_ROW(bottomBoxSendChatText, r.bottomBoxSendChatText(readString(q, "chatText"))),
    BZ_ROW(bottomBoxChatTextIsEmpty, r.bottomBoxChatTextIsEmpty(readBool(q, "isEmpty"))),
    BZ_ROW(bottomBoxAvailability, r.bottomBoxAvailability(readString(q, "availCode"))),
    BZ_ROW(bottomBoxOpenGameSettings, r.bottomBoxOpenGameSettings()),
    BZ_ROW(bottomBoxOpenMatchSettings, r.bottomBoxOpenMatchSettings()),
    BZ_ROW(bottomBoxConcede, r.bottomBoxConcede()),
    BZ_ROW(bottomBoxPopup, r.bottomBoxPopup(readString(q, "event"), readString(q, "what"))),
    BZ_ROW(bottomBoxRerackConfirmed, r.bottomBoxRerackConfirmed()),
    BZ_ROW(bottomBoxRerackAccepted, r.bottomBoxRerackAccepted()),
    BZ_ROW(bottomBoxRerackDeclined, r.bottomBoxRerackDeclined()),
    BZ_ROW(bottomBoxAbortMatchConfirmed, r.bottomBoxAbortMatchConfirmed()),
    BZ_ROW(bottomBoxAbortMatchAccepted, r.bottomBoxAbortMatchAccepted()),
    BZ_ROW(bottomBoxAbortMatchDeclined, r.bottomBoxAbortMatchDeclined()),
    BZ_ROW(bottomBoxChangePrivacy, r.bottomBoxChangePrivacy(readInt(q, "privacy"))),
    BZ_ROW(gameSettingsClose, r.gameSettingsClose()),
    BZ_ROW(gameSettingsReset, r.gameSettingsReset()),
    {"gameSettingsSave", gameSettingsSave},
    BZ_ROW(matchSettingsClose, r.matchSettingsClose()),
    BZ_ROW(matchSettingsReset, r.matchSettingsReset()),
    {"matchSettingsSave", matchSettingsSave},
    BZ_ROW(myAccountClose, r.myAccountClose()),
    {"myAccountSave", myAccountSave},
    BZ_ROW(bottomBoxOpenPlayerBio, r.lobbyOpenPlayerBio(readString(q, "userName"))),
    BZ_ROW(bioClose, r.bioClose()),
    BZ_ROW(peopleWhisper, r.peopleWhisper(readString(q, "username"))),
    BZ_ROW(peopleClose, r.peopleClose()),
    BZ_ROW(genericHtmlStarted, r.genericHtmlStarted(readString(q, "htmlId"))),
}};

#undef BZ_ROW

}  // namespace

const std::string& htmlQueryAnswer() {
    static const std::string answer = bzweb::WriteJson(JsonValue{{"result", 0}});
    return answer;
}

std::vector<std::string> htmlRequestNames() {
    std::vector<std::string> names;
    for (const Row& row : kRows) names.emplace_back(row.name);
    return names;
}

namespace {

// A text that does not read as a JSON object may still hold a password (a cut or mangled login):
// only its keys (quoted texts followed by a colon) and its punctuation are kept, every other run
// of characters shows as five stars.
std::string maskedText(const std::string& text) {
    std::string out;
    bool masking = false;
    auto mask = [&] {
        if (!masking) out += "*****";
        masking = true;
    };
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            size_t end = i + 1;
            while (end < text.size() && text[end] != '"') end += text[end] == '\\' ? 2 : 1;
            size_t after = end + 1;
            while (after < text.size() && (text[after] == ' ' || text[after] == '\t')) ++after;
            if (end < text.size() && after < text.size() && text[after] == ':') {
                out.append(text, i, end + 1 - i);
                masking = false;
            } else {
                mask();
            }
            i = std::min(end + 1, text.size());
            continue;
        }
        if (std::strchr("{}[],: \t", c) != nullptr && c != '\0') {
            out += c;
            masking = false;
        } else {
            mask();
        }
        ++i;
    }
    return out;
}

// The request as logged: a password the page sends never reaches the log.
std::string loggedRequest(const std::string& request, const std::optional<JsonValue>& parsed) {
    if (!parsed || !parsed->is_object()) return maskedText(request);
    if (!parsed->contains("password")) return request;
    JsonValue masked = *parsed;
    masked["password"] = "*****";
    return bzweb::WriteJson(masked);
}

}  // namespace

std::string dispatchHtmlQuery(const std::string& request, HtmlRequests& requests) {
    std::optional<JsonValue> parsed = bzweb::ParseJson(request);
    BZ_LOG(LOG_INFO, "OnQuery", "request: \"" << loggedRequest(request, parsed) << "\"");
    if (!parsed || !parsed->is_object()) {
        BZ_LOG(LOG_ERROR, "OnQuery", "request is not a JSON object: \"" << maskedText(request) << "\"");
        return htmlQueryAnswer();
    }
    const std::string name = readString(*parsed, "requestName");
    BZ_LOG(LOG_INFO, "OnQuery", "requestName=" << name);
    auto row = std::find_if(kRows.begin(), kRows.end(), [&name](const Row& r) { return name == r.name; });
    if (row == kRows.end()) {
        BZ_LOG(LOG_ERROR, "OnQuery", "Invalid requestName: " << name);
    } else {
        try {
            row->handler(requests, *parsed);
        } catch (const std::exception& e) {
            // The page still gets its answer; the failure stays in the log.
            BZ_LOG(LOG_ERROR, "OnQuery", name << " failed: " << e.what());
        }
    }
    return htmlQueryAnswer();
}
