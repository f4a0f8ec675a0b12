// Arezor powers, the emoji status and the arezor waiting list.
#include "core/log.h"
#include "core/page_script.h"
#include "core/platform.h"
#include "core/sound_bank.h"
#include "core/text.h"
#include "dispatch/handlers.h"
#include "dispatch/info_values.h"

#include <SDL2/SDL_keycode.h>

#include <array>

namespace {

constexpr int kReversedViewArezor = 6;

const std::array<const char*, 10> kArezorNames = {
    "Hide Power % Value", "Force 20% Power", "Force 50% Power", "Force 100% Power", "Short Aiming Line",
    "Red Balls",          "Reverse 2D View", "Force Side Spin", "Force Top/Back Spin", "No Spin"};

// Announces a change of the first active power at a table in play where a seat holds a user whose
// powers are shown to all.
void announceFirstArezor(GameHandler& gh, int after) {
    const LiveStatus& live = *gh.liveStatus;
    if (live.gameState != 1) return;
    if (!GameHandler::hasPlayerFlag64(live.players[0]) && !GameHandler::hasPlayerFlag64(live.players[1])) return;
    const std::string name = after >= 0 && after < 10 ? kArezorNames[after] : "";
    const std::string text = name.empty() ? "Arezor deactivated" : "Arezor activated: " + name + " (5 shots)";
    gh.displayChatMessage(Message::initChat(0, 1, ChatClass::LOCAL_NOTICE, 0, "", gh.table.getId(), text, "", "", "", ""),
                          false);
    if (gh.amISeated()) gh.showNotice(name.empty() ? "Arezor deactivated" : "Arezor: " + name, 3000);
    if (!name.empty()) {
        SoundBank& bank = getSoundBank();
        bank.play(bank.arezorClip, 1.0f, 0, 0, 0);
    }
}

}  // namespace

void onInfoArezorCommands(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_AREZOR_COMMANDS: " << m.textA);
    runWithJsonValue(HtmlWindow::BioTut, "inbzInitArezorCommands", m.textA, "arezor commands", true);
}

void onInfoArezor(GameHandler& gh, const Message& m) {
    const int before = gh.firstArezor();
    const bool wasReversed = gh.isArezorOn(kReversedViewArezor);
    gh.arezorsValue = m.valueA;
    gh.arezors = m.textA;
    BZ_LOG(LOG_INFO, "processMessage",
           "INFO received: INFO_CODE_AREZOR_COMMANDS: " << gh.arezorsValue << ", " << gh.arezors);
    const std::string js = "inbzSetArezor({dp:'" + escapeJsString(gh.arezors) + "'});";
    logSendingToJs(js);
    runJavaScript(HtmlWindow::BottomBox, js);
    // A forced power takes effect at once.
    if (gh.isArezorOn(1) || gh.isArezorOn(2) || gh.isArezorOn(3)) gh.setShotPower(1.0);
    if (gh.isArezorOn(kReversedViewArezor) != wasReversed) {
        // Escape, then an F2 that counts as a fresh press: the view is chosen again under the new power.
        platform().pushKeyPress(SDLK_ESCAPE);
        gh.lastPresetKeyTime = gh.now - 10 - 10;
        platform().pushKeyPress(SDLK_F2);
    }
    const int after = gh.firstArezor();
    if (after != before) announceFirstArezor(gh, after);
}

void onInfoUserEmojis(GameHandler& gh, const Message& m) {
    gh.emojiStatus = m.textA;
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_USER_EMOJIS: " << gh.emojiStatus);
    const std::string js = "inbzEmojiStatus({emojiStatus:'" + escapeJsString(gh.emojiStatus) + "'});";
    logSendingToJs(js);
    for (HtmlWindow window : {HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::CueStore}) runJavaScript(window, js);
}

void onInfoArezorWaitingList(GameHandler&, const Message& m) {
    BZ_LOG(LOG_INFO, "processMessage", "INFO received: INFO_CODE_AREZOR_WAITING_LIST: " << m.textA);
    // An empty text is an empty list: the limit still reaches the page.
    std::string list = "[]";
    if (!m.textA.empty() && !jsonValue(m.textA, "arezor waiting list", list)) return;
    const std::string js = "inbzSetArezorWaitingList(" + list + ");inbzSetArezorWaitingListLimit({limit:" +
                           std::to_string(m.valueA) + "});";
    logSendingToJs(js);
    runJavaScript(HtmlWindow::BottomBox, js);
}
