// What the pages' requests ask of the game controller, as far as it is built: each operation logs
// that it was asked; the panels, chat, view modes and buttons fill these in.
#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/requests.h"
#include "core/log.h"

void GameHandler::buttonPress(const std::string& name, int idata1, const std::string& sdata1) {
    BZ_LOG(LOG_INFO, "buttonPress", name << " idata1=" << idata1 << " sdata1=" << sdata1);
}

int GameHandler::getTableId() const { return table.getId(); }

void GameHandler::setViewMode(const std::string& role, const std::string& viewMode) {
    BZ_LOG(LOG_INFO, "setViewMode", role << " " << viewMode);
}

void GameHandler::onHtmlWindowEvent(const std::string& event, const std::string& what) {
    BZ_LOG(LOG_INFO, "onHtmlWindowEvent", event << " " << what);
}

void GameHandler::changePrivacy(int privacy) { BZ_LOG(LOG_INFO, "changePrivacy", privacy); }

void GameHandler::openGameSettings() { BZ_LOG(LOG_INFO, "openGameSettings", ""); }
void GameHandler::closeGameSettings() { BZ_LOG(LOG_INFO, "closeGameSettings", ""); }
void GameHandler::resetGameSettings() { BZ_LOG(LOG_INFO, "resetGameSettings", ""); }
void GameHandler::saveGameSettings(const GameSettings& settings) { BZ_LOG(LOG_INFO, "saveGameSettings", ""); }

void GameHandler::openMatchSettings() { BZ_LOG(LOG_INFO, "openMatchSettings", ""); }
void GameHandler::closeMatchSettings() { BZ_LOG(LOG_INFO, "closeMatchSettings", ""); }
void GameHandler::resetMatchSettings() { BZ_LOG(LOG_INFO, "resetMatchSettings", ""); }
void GameHandler::saveMatchSettings(const MatchSettings& settings) { BZ_LOG(LOG_INFO, "saveMatchSettings", ""); }

void GameHandler::openMyAccount() { BZ_LOG(LOG_INFO, "openMyAccount", ""); }
void GameHandler::closeMyAccount() { BZ_LOG(LOG_INFO, "closeMyAccount", ""); }
void GameHandler::saveMyAccount(const AccountRecord& account) { BZ_LOG(LOG_INFO, "saveMyAccount", ""); }

void GameHandler::openPeople(const std::string& userToBlock) { BZ_LOG(LOG_INFO, "openPeople", userToBlock); }
void GameHandler::closePeople() { BZ_LOG(LOG_INFO, "closePeople", ""); }
void GameHandler::whisperPlayer(const std::string& userName) { BZ_LOG(LOG_INFO, "whisperPlayer", userName); }
void GameHandler::closeBio() { BZ_LOG(LOG_INFO, "closeBio", ""); }
