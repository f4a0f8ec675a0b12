// Replay marks, the remote log, polls, videos, user lists, friends, lobby names, links and daily statistics.
#include "core/log.h"
#include "core/page_script.h"
#include "core/text.h"
#include "dispatch/handlers.h"
#include "dispatch/info_values.h"
#include "net/connection_handler.h"
#include "net/request_queue.h"

#include <algorithm>
#include <cstdint>
#include <sstream>

namespace {

// The server may tune the log, not make it fill the disk or write endless lines.
constexpr int64_t kMaxLogFileSize = 16 * 1024 * 1024;
constexpr int64_t kMaxLogLineLength = 16 * 1024;
constexpr size_t kUserRecordSize = 14;

int64_t clampedLimit(int32_t value, int64_t most) {
    return value < 0 ? -1 : std::min<int64_t>(value, most);
}

// The piece goes up as read: no secret is ever written to the log.
void uploadLogPiece() {
    const int64_t offset = logConfig().uploadOffset;
    uint64_t fileSize = 0;
    std::string piece = readLogChunk(fileSize);
    if (connectionHandler == nullptr) return;
    Message reply = Message::initInfo(connectionHandler->nextIid(), InfoCode::INFO_CODE_BZLOG, 4,
                                      static_cast<int32_t>(offset), piece, "");
    reply.intList = {static_cast<int32_t>(std::min<uint64_t>(fileSize, INT32_MAX))};
    queueRequest(reply);
}

void refreshOpenBio(GameHandler& gh) {
    if (gh.bioTutPanel.visible) {
        runJavaScript(HtmlWindow::Lobby, "inbzGetUserInfo({userName:'" + escapeJsString(gh.bioUserName) + "'});");
    }
}

void runInPeopleWindows(const std::string& js) {
    for (HtmlWindow window : {HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People}) runJavaScript(window, js);
}

// Muted users and friends: pairs of name and number; a name without its number is dropped.
std::string namedNumbers(const char* opening, const Message& m) {
    std::string js = opening;
    for (size_t i = 0; i + 1 < m.textList.size(); i += 2) {
        js += quotedItem(m.textList[i]) + std::to_string(toInt(m.textList[i + 1])) + ",";
    }
    return js + "]);";
}

}  // namespace

void onInfoReplayMarkedShots(GameHandler& gh, const Message& m) {
    if (!gh.replayMode || m.valueA != gh.replayMatchId || m.valueB != gh.replayFrameNumber) return;
    std::string shots;
    if (!integerList(m.textA, "marked shots", shots)) return;
    gh.replayMarkedShots = m.textA;
    runJavaScript(HtmlWindow::BottomBox, "inbzSetReplayMarkedShots([" + shots + "]);");
}

void onInfoBzlog(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_BZLOG(" << m.valueA << "," << m.valueB << ")");
    switch (m.valueA) {
        case 1: {
            // A missing or negative value leaves its setting as it is.
            const uint32_t mask = m.valueB >= 0 ? static_cast<uint32_t>(m.valueB) : logConfig().levelMask;
            setLogLimits(mask, intAt(m.intList, 0, -1), clampedLimit(intAt(m.intList, 1, -1), kMaxLogLineLength),
                         clampedLimit(intAt(m.intList, 2, -1), kMaxLogFileSize));
            enableLog();
            break;
        }
        case 2: disableLog(); break;
        case 3: uploadLogPiece(); break;
        case 5: deleteLogFile(); break;
        default: BZ_LOG(LOG_ERROR, "processMessage", "Invalid BZLOG action code: " << m.valueA); break;
    }
}

void onInfoPollData(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage",
           "INFO received: INFO_CODE_POLL_DATA(" << m.valueA << "," << m.valueB << "," << m.textA << "," << m.textB << ")");
    std::ostringstream js;
    js << "inbzUpdatePoll({title:'" << escapeJsString(m.textA) << "',state:'" << escapeJsString(m.textB)
       << "',remainingMinutes:" << m.valueB << ",userVote:" << m.valueA << ",options: [";
    for (size_t i = 0; i < m.textList.size() && i < m.intList.size(); ++i) {
        js << "{text:'" << escapeJsString(m.textList[i]) << "',votes:" << m.intList[i] << "},";
    }
    js << "]});";
    runJavaScript(HtmlWindow::Lobby, js.str());
}

void onInfoVideoInfo(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_VIDEO_INFO(" << m.textA << "," << m.textB << ")");
    runJavaScript(HtmlWindow::BioTut, "inbzSetVideo({title:'" + escapeJsString(m.textA) + "',link:'" +
                                          escapeJsString(m.textB) + "',img:'" + escapeJsString(textAt(m.textList, 0)) +
                                          "',});");
}

void onInfoUserInfo(GameHandler& gh, const Message& m) {
    static const char* const keys[kUserRecordSize] = {
        "userName", "userType", "rating",    "rank",   "flags",    "num_max_p", "num_max_c",
        "hb_p",     "hb_c",     "replayMode", "lobby_short_name", "tableId", "role", "logout"};
    std::string js = "inbzUserListInfoX([";
    const std::vector<std::string>& t = m.textList;
    // Records of fourteen entries, each followed by extras up to "@END@"; a record cut short is dropped.
    for (size_t start = 0; start + kUserRecordSize <= t.size();) {
        js += "{";
        for (size_t k = 0; k < kUserRecordSize; ++k) {
            const std::string& value = t[start + k];
            js += std::string(keys[k]) + ":";
            if (k == 0 || k == 10 || k == 12) {
                js += quotedItem(value);
            } else {
                uint32_t number = static_cast<uint32_t>(toInt(value));
                if (k == 1) number &= 0xFFFF;
                js += std::to_string(number) + ",";
            }
        }
        js += "},";
        size_t next = start + kUserRecordSize;
        while (next < t.size() && t[next] != "@END@") ++next;
        start = next + 1;
    }
    js += "]);";
    runInPeopleWindows(js);
    refreshOpenBio(gh);
}

void onInfoMutedUsers(GameHandler& gh, const Message& m) {
    runInPeopleWindows(namedNumbers("inbzUpdateMutedUsers([", m));
    // Mends the open bio that kept offering Block after its user was blocked (and Unblock after).
    refreshOpenBio(gh);
}

void onInfoFriends(GameHandler& gh, const Message& m) {
    runInPeopleWindows(namedNumbers("inbzUpdateFriends([", m));
    refreshOpenBio(gh);
}

void onInfoLobbyNames(GameHandler&, const Message& m) {
    std::string js = "inbzUpdateLobbyNames([";
    for (size_t i = 0; i + 1 < m.textList.size(); i += 2) js += quotedItem(m.textList[i]) + quotedItem(m.textList[i + 1]);
    runInPeopleWindows(js + "]);");
}

void onInfoBioDataUserType(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: BIO_DATA_USER_TYPE");
    gh.bioUserName = m.textA;
}

void onInfoOpenUrl(GameHandler& gh, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "Opening url received from the server: " << m.textA);
    // The opener refuses what is not a plain web address (core/opener.h).
    gh.openExternal(m.textA);
}

void onInfoDailyStats(GameHandler&, const Message& m) {
    std::string js = "inbzUpdateDailyStats({ dailyStats:[";
    for (int32_t value : m.intList) js += intToString(value) + ",";
    js += "]});";
    BZ_LOG(LOG_INFO, "processMessage",
           "Updating the daily stats: " << m.valueA << "," << m.valueB << ",'" << m.textA << "','" << m.textB
                                        << "': " << js);
    runJavaScript(HtmlWindow::Lobby, js);
}
