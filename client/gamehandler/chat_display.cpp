#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/page_statements.h"
#include "core/app_status.h"
#include "core/log.h"
#include "core/page_script.h"
#include "core/sound_bank.h"
#include "core/text.h"

#include <string>

namespace {

bool isClass(const Message& chat, ChatClass kind) { return chat.chatClass == kind; }

// Broadcasts the user switched off.
bool isHidden(const GameHandler& gh, const Message& chat) {
    const GameSettings& settings = gh.gameSettings;
    if ((isClass(chat, ChatClass::BIG_BREAK) || isClass(chat, ChatClass::BIG_BREAK_2)) && !settings.bigBreakBroadcasts)
        return true;
    if (isClass(chat, ChatClass::TABLE_USER_IN_OUT) && !settings.tableChatUserInOut) return true;
    if (chat.sender == "Tournament Broadcast" && !settings.tournamentBroadcasts) return true;
    if (chat.sender == "Special Login" && !settings.specloginBroadcasts) return true;
    return false;
}

bool goesToLobby(const Message& chat) {
    switch (chat.chatClass) {
        case ChatClass::BIG_BREAK:
        case ChatClass::BIG_BREAK_2:
        case ChatClass::LOBBY:
            return true;
        case ChatClass::LOCAL_NOTICE:
            return appState.load() == STATE_LOBBY && chat.tableId == 0;
        case ChatClass::TABLE_USER_IN_OUT:
            return false;
        default:
            return chat.tableId == 0;
    }
}

// The classes the server knows, 0 to 10.
constexpr int kLastKnownChatClass = 10;

// The statement's literal: users' texts and lines of classes nobody knows show as text, the
// server's and the client's own notices keep their markup (the pages pass it through their
// sanitiser); every text is then made safe for the quoted literal.
std::string chatStatement(const Message& chat, const std::string& shownSender) {
    const bool fromUser = isClass(chat, ChatClass::CHAT) || isClass(chat, ChatClass::PRIVATE) ||
                          static_cast<int>(chat.chatClass) > kLastKnownChatClass;
    auto text = [&](const std::string& value) { return escapeJsString(fromUser ? escapeHtml(value) : value); };
    auto name = [](const std::string& value) { return escapeJsString(escapeHtml(value)); };
    return "inbzAddTextToChat({entryId: " + std::to_string(chat.iid) +
           ",chatClass: " + std::to_string(static_cast<int>(chat.chatClass)) + ",sender: '" + name(shownSender) +
           "',text1: '" + text(chat.text1) + "',playerName1: '" + name(chat.playerName1) + "',text2: '" +
           text(chat.text2) + "',playerName2: '" + name(chat.playerName2) + "',text3: '" + text(chat.text3) + "',});";
}

}  // namespace

void GameHandler::displayChatMessage(const Message& chat, bool tableOnly) {
    const bool marked = chat.text1.find(" Chat: </b>") != std::string::npos;
    if (isHidden(*this, chat) && !marked) return;

    const std::string shownSender = chat.sender == "Special Login" ? std::string() : chat.sender;
    std::string statement = chatStatement(chat, shownSender);

    bool toLobby = false;
    bool toTable = false;
    bool tableChat = false;
    if (tableOnly) {
        toTable = true;
        tableChat = true;
    } else {
        toLobby = goesToLobby(chat);
        const int kind = static_cast<int>(chat.chatClass);
        toTable = ((kind >= 1 && kind <= 10) || chat.tableId > 0) && isTableState(appState.load());
        tableChat = toTable || marked;
    }
    BZ_LOG(LOG_INFO, "displayChatMessage",
           "CHAT_MESSAGE being delivered now: text1='" << chat.text1 << "', tableId=" << chat.tableId
                                                       << ", toLobby=" << (toLobby ? 1 : 0)
                                                       << ", toTable=" << (toTable ? 1 : 0));

    if (toLobby || marked) runJavaScript(HtmlWindow::Lobby, statement);
    if (tableChat) {
        if ((isClass(chat, ChatClass::PRIVATE) || !chat.sender.empty()) && bottomBoxCollapsed) {
            statement += "inbzShowNotification(true);";
        }
        runJavaScript(HtmlWindow::BottomBox, statement);
    }

    SoundBank& sounds = getSoundBank();
    if (isClass(chat, ChatClass::PRIVATE)) {
        if (gameSettings.pmSounds) sounds.playBallSound(sounds.chatClip, 1.0f);
        runInPages({HtmlWindow::BottomBox, HtmlWindow::Lobby},
                   "inbzNewPmOrInviteFrom({nick: " + jsQuoted(chat.sender) + "});");
    }
    if (isClass(chat, ChatClass::TABLE_USER_IN_OUT) && chat.text2 == " has joined the table." && amISeated() &&
        notificationSounds) {
        sounds.playBallSound(sounds.chatClip, 1.0f);
    }
}

void GameHandler::showLocalNotice(const std::string& text, int tableId) {
    displayChatMessage(
        Message::initChat(0, 1, ChatClass::LOCAL_NOTICE, 0, "", tableId, text, "", "", "", ""), false);
}
