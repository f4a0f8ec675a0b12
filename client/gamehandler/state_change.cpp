#include "client/gamehandler/state_change.h"

#include "client/gamehandler/game_handler.h"
#include "core/log.h"
#include "core/page_script.h"

#include <atomic>
#include <string>

namespace {

std::atomic<StateLayoutHook> layoutHook{nullptr};

void enterLogin() {
    runJavaScript(HtmlWindow::Login, "focusUserName();");
}

void enterConnecting() {
    // The user lists of the last login must not show while the next one runs.
    for (HtmlWindow window : {HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People, HtmlWindow::BioTut,
                              HtmlWindow::MatchStats, HtmlWindow::Tasks}) {
        runJavaScript(window, "inbzUserInfo([]);");
    }
}

void enterLobby(GameHandler& gameHandler) {
    gameHandler.inTutorial = false;
    gameHandler.tutorialTopic = 0;
    gameHandler.tutorialMarks.clear();
    std::string layout = "inbzSetLobbyWidth({lobbyWidth:" + std::to_string(gameHandler.gameSettings.lobbyWidth) + "});";
    if (gameHandler.mouseOrTouchpadPopUpPending) {
        layout += "inbzShowMouseOrTouchpadPopUp();";
        gameHandler.mouseOrTouchpadPopUpPending = false;
    }
    runJavaScript(HtmlWindow::Lobby, layout);
    runJavaScript(HtmlWindow::Lobby, "document.getElementById('chat_text_input_id').focus();");
    runJavaScript(HtmlWindow::BottomBox, "inbzLobbyViewStarted();");
}

}  // namespace

StateLayoutHook setStateLayoutHook(StateLayoutHook hook) { return layoutHook.exchange(hook); }

void changeState(AppState kind) {
    AppState old = appState.load();
    if (kind == old) return;
    BZ_LOG(LOG_INFO, "changeState", static_cast<unsigned>(old) << "->" << static_cast<unsigned>(kind));
    GameHandler& gameHandler = getGameHandler();
    gameHandler.resetAimingState(false);
    // Chat held back for a shot and a status parked during it belong to the table being left.
    if (isTableState(old) && !isTableState(kind)) gameHandler.dropShotLeftovers();
    switch (kind) {
        case STATE_LOGIN:
            enterLogin();
            break;
        case STATE_CONNECTING:
            enterConnecting();
            break;
        case STATE_LOBBY:
            enterLobby(gameHandler);
            break;
        default:
            break;
    }
    if (StateLayoutHook hook = layoutHook.load()) hook(old, kind);
    // Stored last: code run above still sees the old state.
    appState.store(kind);
}
