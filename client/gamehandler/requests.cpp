#include "client/gamehandler/requests.h"

#include "client/gamehandler/game_handler.h"
#include "core/log.h"
#include "core/text.h"
#include "net/connection_handler.h"
#include "net/message.h"
#include "net/request_queue.h"
#include "core/page_script.h"

namespace {

void sendTableReq(MessageId id, int tableId) {
    Message m = newRequest(id);
    m.tableId = tableId;
    queueRequest(m);
}

Message newInfo(InfoCode code, int32_t valueA, int32_t valueB, const std::string& textA, const std::string& textB) {
    return Message::initInfo(connectionHandler->nextIid(), code, valueA, valueB, textA, textB);
}

const char* jsBool(bool value) { return value ? "true" : "false"; }

}  // namespace

void sendInfo(InfoCode code, int32_t valueA, int32_t valueB, const std::string& textA, const std::string& textB) {
    if (connectionHandler == nullptr) return;
    queueRequest(newInfo(code, valueA, valueB, textA, textB));
}

void sendEnterTableReq(GameHandler& gh, int tableId) {
    BZ_LOG(LOG_INFO, "sendEnterTableReq", "tableId=" << tableId);
    sendTableReq(MessageId::ENTER_TABLE_REQ, tableId);
}

void sendPlayTableReq(GameHandler& gh, int tableId) {
    BZ_LOG(LOG_INFO, "sendPlayTableReq", "tableId=" << tableId);
    sendTableReq(MessageId::PLAY_TABLE_REQ, tableId);
}

void sendStopPlayTableReq(GameHandler& gh) {
    BZ_LOG(LOG_INFO, "sendStopPlayTableReq", "");
    sendTableReq(MessageId::STOP_PLAY_TABLE_REQ, gh.table.getId());
}

void sendExitTableReq(GameHandler& gh) {
    BZ_LOG(LOG_INFO, "sendExitTableReq", "");
    sendTableReq(MessageId::EXIT_TABLE_REQ, gh.table.getId());
}

void sendTableSettingsReq(GameHandler& gh, const MatchSettings& settings) {
    Message m = newRequest(MessageId::TABLE_SETTINGS_REQ);
    m.tableId = gh.table.getId();
    m.settingsText = gh.table.getName();
    // Each slot keeps the low 16 bits of its value.
    m.settings[SETTINGS_DIFFICULTY] = static_cast<uint16_t>(settings.difficulty);
    m.settings[SETTINGS_GAME_TYPE] = static_cast<uint16_t>(settings.gameType);
    m.settings[SETTINGS_MATCH_LENGTH] = static_cast<uint16_t>(settings.matchLength);
    m.settings[SETTINGS_AUTO_CONCEDE_LIMIT] = static_cast<uint16_t>(settings.autoConcedeLimit);
    m.settings[SETTINGS_SHOT_TIME_LIMIT] = static_cast<uint16_t>(settings.shotTimeLimit);
    m.settings[SETTINGS_PRIVACY] = static_cast<uint16_t>(gh.tablePrivacy);
    // The server reads the arena as a signed 16-bit value widened to 32 bits.
    m.infoCode = static_cast<int16_t>(settings.arena);
    queueRequest(m);
}

void sendReplayTableSettingsReq(GameHandler& gh) {
    Message m = newRequest(MessageId::TABLE_SETTINGS_REQ);
    m.tableId = gh.table.getId();
    m.settingsText = gh.table.getName();
    m.settings[SETTINGS_DIFFICULTY] = static_cast<uint16_t>(gh.replayTableType);
    m.settings[SETTINGS_GAME_TYPE] = static_cast<uint16_t>(gh.replayInfo[1]);
    m.settings[SETTINGS_MATCH_LENGTH] = static_cast<uint16_t>(gh.replayInfo[2]);
    m.settings[SETTINGS_AUTO_CONCEDE_LIMIT] = static_cast<uint16_t>(gh.replayInfo[4]);
    m.settings[SETTINGS_SHOT_TIME_LIMIT] = 0;
    m.settings[SETTINGS_PRIVACY] = 0;
    m.infoCode = static_cast<int16_t>(gh.table.arena);
    queueRequest(m);
}

void sendLogout(GameHandler& gh) {
    BZ_LOG(LOG_INFO, "sendLogout", "Sending LOGOUT_REQ message to server");
    if (connectionHandler == nullptr) return;  // no connection: nothing to log out of
    queueRequest(newRequest(MessageId::LOGOUT_REQ));
    runJavaScript(HtmlWindow::Login, "logout();");
    // The deadline first, so that no reader sees the flag with an old deadline. The two seconds
    // leave the sender thread time to put the logout on the wire before the disconnect.
    connectionHandler->logoutDeadline = gh.now + 2.0;
    connectionHandler->logoutPending = true;
}

void sendBioDataReq(const std::string& userName) { sendInfo(InfoCode::BIO_DATA_REQ, 0, 0, userName, ""); }

void sendUserFlagInfo(uint32_t value, uint32_t mask) {
    BZ_LOG(LOG_INFO, "sendUserFlagInfo", "Sending INFO_CODE_USER_FLAGS: value=" << value << ", mask=" << mask);
    sendInfo(InfoCode::USER_FLAGS, static_cast<int32_t>(value), static_cast<int32_t>(mask), "", "");
}

void sendLoginUserList(GameHandler& gh, const std::string& userList, const std::string& failedUserList) {
    sendInfo(InfoCode::LOGIN_USER_LIST, 0, 0, userList, failedUserList);
    BZ_LOG(LOG_INFO, "sendLoginUserList", "Sent userList: " << userList << ", failedUserList: " << failedUserList);
}

void sendVersion(GameHandler& gh, const std::string& version) {
    sendInfo(InfoCode::VERSION, 0, 0, version, "");
    BZ_LOG(LOG_INFO, "sendVersion", "Sent version: " << version);
}

void sendMyAccount(GameHandler& gh, const AccountRecord& account) {
    sendInfo(InfoCode::ACCOUNT_INFO, 0, 0, account.country, account.aboutMe);
    // The map orders the names, so the server always sees the same text for the same values.
    KeyValueMap preferences;
    setKeyValue(preferences, "tableType", account.prefTableType);
    setKeyValue(preferences, "bestOf", account.prefBestOf);
    setKeyValue(preferences, "maxPointsBehind", account.prefMaxPointsBehind);
    setKeyValue(preferences, "arena", account.prefArena);
    setKeyValue(preferences, "maxShotTime", account.prefMaxShotTime);
    sendInfo(InfoCode::USER_PREFERENCES, 0, 0, writeKeyValues(preferences, true), "");
}

void sendReplaySettings(GameHandler& gh) {
    KeyValueMap settings;
    setKeyValue(settings, "replayAiming", gh.replayAimLinesShow ? "1" : "0");
    setKeyValue(settings, "replayAimProc", gh.replayAimingProcessShow ? "1" : "0");
    sendInfo(InfoCode::USER_PREFERENCES, 0, 0, writeKeyValues(settings, true), "");
    runJavaScript(HtmlWindow::Replays, std::string("inbzSetReplaySettings({ aimLinesShow:") +
                                           jsBool(gh.replayAimLinesShow) +
                                           ",aimingProcessShow:" + jsBool(gh.replayAimingProcessShow) + ",})");
}

void sendReplayPosition(GameHandler& gh, int a, int b, int c, int d) {
    Message m = newInfo(InfoCode::REPLAY_POSITION, a, b, "", "");
    m.intList = {c, d};
    queueRequest(m);
}

void sendReplaySaveReq(GameHandler& gh, const std::string& text) {
    sendInfo(InfoCode::REPLAY_SAVE_REQ, 0, 0, text, "");
}
