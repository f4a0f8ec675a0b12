// Server, lobby and account information: the greeting with the server's clock and lobby, chat
// deletion, logouts, top statistics, bio data, the heartbeat, login popups, stored preferences,
// frame results and the server's user flags.
#include "client/gamehandler/page_statements.h"
#include "core/log.h"
#include "core/text.h"
#include "dispatch/handlers.h"
#include "dispatch/info_routes.h"
#include "dispatch/table_list.h"
#include "net/connection_handler.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

GameHandler::BioPanelOpener installedBioOpener = nullptr;

const char* const kTopStatsNames[4] = {"prohb", "clubhb", "matchwins", "framewins"};

// A rate times 100, rounded half up, as the heartbeat reports rates; 0 for a value no int holds.
int32_t hundredths(float value) {
    const float scaled = value * 100.0f + 0.5f;
    if (!(scaled > -2147483648.0f && scaled < 2147483648.0f)) return 0;
    return static_cast<int32_t>(scaled);
}

}  // namespace

PanelsState::BioPanelOpener PanelsState::setBioPanelOpener(BioPanelOpener opener) {
    BioPanelOpener previous = installedBioOpener;
    installedBioOpener = opener;
    return previous;
}

PanelsState::BioPanelOpener PanelsState::bioPanelOpener() { return installedBioOpener; }

void onInfoServerInfo(GameHandler& gh, const Message& message) {
    logInfoReceived(message);
    const std::vector<int32_t>& ints = message.intList;
    const std::vector<std::string>& texts = message.textList;
    if (ints.size() >= 9) {
        runJavaScript(HtmlWindow::Lobby,
                      "inbzInfoServerTime({year:" + std::to_string(static_cast<int64_t>(ints[5]) + 1900) +
                          ",month:" + std::to_string(static_cast<int64_t>(ints[4]) + 1) +
                          ",day:" + std::to_string(ints[3]) + ",hour:" + std::to_string(ints[2]) +
                          ",minute:" + std::to_string(ints[1]) + ",second:" + std::to_string(ints[0]) + ",});");
        gh.isTourneyLobby = false;
        if (ints.size() >= 10) {
            gh.isTourneyLobby = ints[9] != 0;
            runInPages({HtmlWindow::Lobby, HtmlWindow::BottomBox},
                       std::string("inbzInfoIsTourneyLobby({isTourneyLobby:") + jsFlag(gh.isTourneyLobby) + "});");
        }
        gh.premiumPhase = 0;
        if (ints.size() >= 11) {
            gh.premiumPhase = ints[10];
            runInPages({HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::Tasks, HtmlWindow::MatchStats,
                        HtmlWindow::BioTut},
                       "inbzInfoPremiumPhase({premiumPhase:" + std::to_string(gh.premiumPhase) + "});");
        }
    }
    if (texts.size() < 2) return;
    gh.lobbyName = texts[0];
    gh.checkBetaLobby();
    runInPages({HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People},
               "inbzInfoLobbyName({lobbyName:" + jsQuoted(gh.lobbyName) + "});");
    if (gh.showLastLobbyList) {
        runJavaScript(HtmlWindow::Lobby, "if (lastLobbyList != '') { updateLobbies(lastLobbyList); }");
        gh.showLastLobbyList = false;
    }
    if (texts.size() >= 3) {
        runJavaScript(HtmlWindow::Lobby, "inbzInfoLobbyNews({lobbyNews:" + jsQuoted(texts[2]) + "});");
        if (texts.size() >= 4) {
            runJavaScript(HtmlWindow::Lobby, "inbzSetCommunityLink({communityLink:" + jsQuoted(texts[3]) + "});");
        }
    }
}

void onInfoDeleteChat(GameHandler& gh, const Message& message) {
    logInfoReceived(message);
    const std::string statement = "inbzDeleteChatEntries({deleteWhat:" + std::to_string(message.valueA) +
                                  ",entries:" + jsQuoted(message.textA) + ",});";
    if (message.valueA == 0 || message.valueB == 0) runJavaScript(HtmlWindow::Lobby, statement);
    if (message.valueA == 0 || message.valueB == gh.table.getId()) runJavaScript(HtmlWindow::BottomBox, statement);
}

void onInfoLogout(GameHandler& gh, const Message& message) {
    logInfoReceived(message);
    runInPages({HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People},
               "inbzUserExit({userName:" + jsQuoted(message.textA) + ",});");
    gh.findPlayer(message.textA);
}

void onInfoTopStats(GameHandler&, const Message& message) {
    logInfoReceived(message);
    if (message.valueA < 0 || message.valueA > 3) {
        BZ_LOG(LOG_ERROR, "processMessage", "TOP_STATS with an unknown list " << message.valueA << " ignored");
        return;
    }
    std::string statement = std::string("inbzUpdateTopStats({statsName:") + jsQuoted(kTopStatsNames[message.valueA]) +
                            ",data: [";
    // A score without its name (or a name without its score) is left out.
    const size_t pairs = std::min(message.intList.size(), message.textList.size());
    for (size_t i = 0; i < pairs; ++i) {
        statement += "{username:" + jsQuoted(message.textList[i]) + ",score:" + std::to_string(message.intList[i]) + "},";
    }
    statement += "]});";
    runInPages({HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People}, statement);
}

void onInfoBioData(GameHandler& gh, const Message& message) {
    logInfoReceived(message);
    const std::vector<std::string>& bio = message.textList;
    if (bio.empty()) {
        BZ_LOG(LOG_ERROR, "processMessage", "BIO_DATA without a user ignored");
        return;
    }
    // Only the own bio answers the request made at login; another user's bio that comes first opens
    // the panel as usual and the request stays armed.
    // Fault mended: taking the next bio whoever it names wrote another user's texts into the account.
    if (gh.ownBioDataPending && sameNickIgnoringAsciiCase(bio[0], gh.ownNick())) {
        if (bio.size() < 5) {
            BZ_LOG(LOG_ERROR, "processMessage", "BIO_DATA of the own user with " << bio.size() << " texts ignored");
            return;
        }
        gh.account.country = bio[3];
        gh.account.aboutMe = bio[4];
        gh.ownBioDataPending = false;
        return;
    }
    if (installedBioOpener != nullptr) {
        installedBioOpener(gh, bio);
    } else {
        BZ_LOG(LOG_INFO, "processMessage", "No bio panel for the bio of " << bio[0]);
    }
}

void onInfoHbping(GameHandler& gh, const Message& message) {
    BZ_LOG(LOG_INFO, "processMessage", "HBPING received");
    if (connectionHandler == nullptr) return;
    Message reply = Message::initInfo(connectionHandler->nextIid(), static_cast<int32_t>(InfoCode::HBPING_REPLY),
                                      message.valueA, 0, "", "");
    const GameSettings& s = gh.gameSettings;
    reply.intList = {gh.windowWidth,
                     gh.windowHeight,
                     hundredths(gh.measuredFps),
                     static_cast<int32_t>(s.vsync),
                     hundredths(static_cast<float>(s.fps)),
                     static_cast<int32_t>(s.antiAliasing),
                     static_cast<int32_t>(s.arena),
                     static_cast<int32_t>(s.displayMode),
                     static_cast<int32_t>(s.lightSources),
                     static_cast<int32_t>(s.resolutionLimit),
                     static_cast<int32_t>(s.reverseAiming),
                     static_cast<int32_t>(s.scalingMode),
                     static_cast<int32_t>(s.thickLines),
                     static_cast<int32_t>(s.whiteLines),
                     2};
    connectionHandler->sendMessage(reply);
}

void onInfoOpenLoginPopup(GameHandler&, const Message& message) {
    BZ_LOG(LOG_INFO, "processMessage", "OPEN_LOGIN_POPUP(" << message.valueA << ") received");
    switch (message.valueA) {
        case 1:
            runJavaScript(HtmlWindow::Lobby, "inbzOptionalUpdate();");
            break;
        case 2:
            runJavaScript(HtmlWindow::Lobby, "inbzTutorialWarningClose();inbzMandatoryUpdate();");
            break;
        case 3: {
            const std::vector<int32_t>& ints = message.intList;
            if (ints.size() < 3) {
                BZ_LOG(LOG_ERROR, "processMessage", "OPEN_LOGIN_POPUP(3) with " << ints.size() << " integers ignored");
                return;
            }
            runJavaScript(HtmlWindow::Lobby, "inbzSpecialMajorTournament({title: " + jsQuoted(message.textA) +
                                                 ", prizePot: " + std::to_string(message.valueB) +
                                                 ", secondsLeft: " + std::to_string(ints[0]) +
                                                 ", dateTime: " + jsQuoted(message.textB) +
                                                 ", tid: " + std::to_string(ints[1]) +
                                                 ", tableType: " + std::to_string(ints[2]) + ", });");
            break;
        }
        default:
            break;
    }
}

void onInfoUserPreferences(GameHandler& gh, const Message& message) {
    BZ_LOG(LOG_INFO, "processMessage", "USER_PREFERENCES(\"" << message.textA << "\") received");
    KeyValueMap values;
    parseKeyValues(values, message.textA);
    gh.account.prefTableType = getKeyValue(values, "tableType");
    gh.account.prefBestOf = getKeyValue(values, "bestOf");
    gh.account.prefMaxPointsBehind = getKeyValue(values, "maxPointsBehind");
    gh.account.prefArena = getKeyValue(values, "arena");
    gh.account.prefMaxShotTime = getKeyValue(values, "maxShotTime");
    // Aim lines are shown unless switched off; the aiming process only when switched on.
    gh.replayAimLinesShow = getKeyValue(values, "replayAiming") != "0";
    gh.replayAimingProcessShow = getKeyValue(values, "replayAimProc") == "1";
    gh.replaySkipAimingProcess = !gh.replayAimingProcessShow;
    runJavaScript(HtmlWindow::BottomBox, std::string("inbzSetReplayShowAimingProcess({ replayShowAimingProcess:") +
                                             jsFlag(gh.replayAimingProcessShow) + ",})");
}

void onInfoFrameResultsData(GameHandler&, const Message& message) {
    logInfoReceived(message);
    std::string statement = "inbzBioResults({username:" + jsQuoted(message.textA) + ",frames: [";
    for (const std::string& frame : message.textList) statement += jsQuoted(frame) + ",";
    statement += "]});";
    runJavaScript(HtmlWindow::BioTut, statement);
}

void onInfoServerUserFlags(GameHandler& gh, const Message& message) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: SERVER_USER_FLAGS='" << message.valueA << "'");
    if (message.valueA != gh.serverUserFlags) {
        BZ_LOG(LOG_INFO, "processMessage",
               "ServerUserFlags changed from " << gh.serverUserFlags << " to " << message.valueA);
        gh.serverUserFlags = message.valueA;
    }
    runJavaScript(HtmlWindow::Lobby, "inbzSetUserFlags({userFlags: " + std::to_string(message.valueA) + ",});");
}
