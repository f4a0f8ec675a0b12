#include "client/panels/settings_panels.h"

#include "client/gamehandler/page_statements.h"
#include "client/gamehandler/requests.h"
#include "client/panels/game_settings_apply.h"
#include "core/log.h"
#include "core/page_script.h"

namespace {

// Ends any hover state the bottom bar had under the pointer before a dialog takes the mouse.
void resetBottomBoxMouse() { sendPageInput(HtmlWindow::BottomBox, PageInput::PointerReset); }

}  // namespace

void openPanel(PanelSlot& slot, double now) {
    slot.visible = true;
    slot.openedAt = now + kPanelOpenDelay;
}

MatchSettings tableMatchSettings(const GameHandler& gh) {
    const LiveStatus& live = gh.table.status;
    return {gh.table.tableType, live.gameType, live.bestOf, live.maxPointsBehind, gh.table.arena, live.maxShotTime};
}

std::string openMatchSettingsStatement(bool isHost, const MatchSettings& m) {
    return "inbzOpenMatchSettings({isHost: " + std::string(jsFlag(isHost)) + ",difficulty: " +
           std::to_string(m.difficulty) + ",gameType: " + std::to_string(m.gameType) +
           ",matchLength: " + std::to_string(m.matchLength) + ",autoConcedeLimit: " +
           std::to_string(m.autoConcedeLimit) + ",arena: " + std::to_string(m.arena) +
           ",shotTimeLimit: " + std::to_string(m.shotTimeLimit) + ",});";
}

std::string openMyAccountStatement(const AccountRecord& a) {
    std::string text = "inbzOpenMyAccount({";
    const std::pair<const char*, const std::string*> fields[] = {
        {"country", &a.country},         {"aboutMe", &a.aboutMe},     {"prefTableType", &a.prefTableType},
        {"prefBestOf", &a.prefBestOf},   {"prefMaxPointsBehind", &a.prefMaxPointsBehind},
        {"prefArena", &a.prefArena},     {"prefMaxShotTime", &a.prefMaxShotTime},
    };
    for (const auto& [key, value] : fields) text += std::string(key) + ": " + jsQuoted(*value) + ",";
    return text + "});";
}

// --- game settings

void GameHandler::openGameSettings() {
    // A reset while the panel is open must not hide it for another moment.
    if (!gameSettingsPanel.visible) openPanel(gameSettingsPanel, now);
    const std::string statement = openGameSettingsStatement(gameSettings);
    runJavaScript(HtmlWindow::GameSettings, statement);
    BZ_LOG(LOG_INFO, "openGameSettings", "Sending GameSettings to html window:" << statement);
    runJavaScript(HtmlWindow::Lobby, kShowLobbyMask);
    resetBottomBoxMouse();
}

void PanelsState::closeGameSettings() {
    BZ_LOG(LOG_INFO, "closeGameSettings", "");
    runJavaScript(HtmlWindow::Lobby, kHideLobbyMask);
    gameSettingsPanel.visible = false;
}

void GameHandler::resetGameSettings() {
    BZ_LOG(LOG_INFO, "resetGameSettings", "");
    saveGameSettings(kResetGameSettings);
    openGameSettings();
}

// --- match settings and privacy

void GameHandler::openMatchSettings() {
    openPanel(matchSettingsPanel, now);
    const std::string statement = openMatchSettingsStatement(isHost, tableMatchSettings(*this));
    runJavaScript(HtmlWindow::GameSettings, statement);
    BZ_LOG(LOG_INFO, "openMatchSettings", "Sending MatchSettings to html window:" << statement);
    resetBottomBoxMouse();
}

void PanelsState::closeMatchSettings() { matchSettingsPanel.visible = false; }

void GameHandler::saveMatchSettings(const MatchSettings& settings) {
    BZ_LOG(LOG_INFO, "saveMatchSettings", "");
    sendTableSettingsReq(*this, settings);
}

void GameHandler::resetMatchSettings() {
    BZ_LOG(LOG_INFO, "resetMatchSettings", "");
    saveMatchSettings(kResetMatchSettings);
    openMatchSettings();
}

void GameHandler::changePrivacy(int privacy) {
    BZ_LOG(LOG_INFO, "changePrivacy", "Table privacy changed to " << privacy);
    table.setTableMode(privacy);
    tablePrivacy = privacy;  // the settings request sends the mode from here
    sendTableSettingsReq(*this, tableMatchSettings(*this));
}

// --- account

void GameHandler::openMyAccount() {
    openPanel(myAccountPanel, now);
    const std::string statement = openMyAccountStatement(account);
    runJavaScript(HtmlWindow::GameSettings, statement);
    BZ_LOG(LOG_INFO, "openMyAccount", "Sending MyAccount Settings to html window:" << statement);
    runJavaScript(HtmlWindow::Lobby, kShowLobbyMask);
}

void PanelsState::closeMyAccount() {
    runJavaScript(HtmlWindow::Lobby, kHideLobbyMask);
    myAccountPanel.visible = false;
}

void GameHandler::saveMyAccount(const AccountRecord& account) {
    BZ_LOG(LOG_INFO, "saveMyAccount", "country='" << account.country << "', aboutMe='" << account.aboutMe << "'");
    this->account = account;
    sendMyAccount(*this, account);
}

// --- people and bio

void GameHandler::openPeople(const std::string& userToBlock) {
    openPanel(peoplePanel, now);
    const std::string statement = "inbzOpenPeople({userToBlock:" + jsQuoted(userToBlock) + "});";
    runJavaScript(HtmlWindow::People, statement);
    BZ_LOG(LOG_INFO, "openPeople", "Opening People html window:" << statement);
    resetAimingState(true);
    resetBottomBoxMouse();
}

void PanelsState::closePeople() { peoplePanel.visible = false; }

// The people list hands the name to the bottom bar's chat, which starts a private message.
void PanelsState::whisperPlayer(const std::string& userName) {
    peoplePanel.visible = false;
    runJavaScript(HtmlWindow::BottomBox, "inbzWhisperPlayer({ username: " + jsQuoted(userName) + "});");
}

void PanelsState::closeBio() {
    runJavaScript(HtmlWindow::Lobby, kHideLobbyMask);
    bioTutPanel.visible = false;
}
