#include "client/gamehandler/state_change.h"

#include "client/gamehandler/game_handler.h"
#include "core/log.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<StateLayoutHook> layoutHook{nullptr};
std::atomic<WindowRefresher> refresher{nullptr};

std::mutex postedMutex;
std::vector<AppState> posted;
std::thread::id mainThread;  // default: not marked
std::atomic<bool> mainThreadMarked{false};

void refresh(HtmlWindow window) {
    if (WindowRefresher r = refresher.load()) r(window);
}

void enterLogin() {
    refresh(HtmlWindow::Login);
    runJavaScript(HtmlWindow::Login, "focusUserName();");
}

void enterConnecting() {
    // The user lists of the last login must not show while the next one runs.
    for (HtmlWindow window : {HtmlWindow::Lobby, HtmlWindow::BottomBox, HtmlWindow::People, HtmlWindow::BioTut,
                              HtmlWindow::MatchStats, HtmlWindow::Tasks}) {
        runJavaScript(window, "inbzUserInfo([]);");
    }
}

// The dialogs from Tasks on, each refreshed when open; both entries share them.
void refreshLowerDialogs(const GameHandler& gh) {
    if (gh.tasksPanel.visible) refresh(HtmlWindow::Tasks);
    if (gh.lineUpPanel.visible) refresh(HtmlWindow::MatchStats);
    if (gh.cueStorePanel.visible) refresh(HtmlWindow::CueStore);
    if (gh.alertsPanel.visible) refresh(HtmlWindow::Alerts);
    if (gh.replaysPanel.visible) refresh(HtmlWindow::Replays);
}

void enterLobby(GameHandler& gh) {
    gh.inTutorial = false;
    gh.tutorialTopic = 0;
    gh.tutorialMarks.clear();
    // The tutorial's result dialog belongs to the tutorial left: it must not greet the next table.
    gh.tutResultPanel.visible = false;
    gh.peoplePanel.visible = false;
    gh.matchSettingsPanel.visible = false;
    refresh(HtmlWindow::Lobby);
    std::string layout = "inbzSetLobbyWidth({lobbyWidth:" + std::to_string(gh.gameSettings.lobbyWidth) + "});";
    if (gh.mouseOrTouchpadPopUpPending) {
        // Asked once per run.
        layout += "inbzShowMouseOrTouchpadPopUp();";
        gh.mouseOrTouchpadPopUpPending = false;
    }
    runJavaScript(HtmlWindow::Lobby, layout);
    runJavaScript(HtmlWindow::Lobby, "document.getElementById('chat_text_input_id').focus();");
    runJavaScript(HtmlWindow::BottomBox, "inbzLobbyViewStarted();");
    refresh(HtmlWindow::TopBox);
    if (gh.invitesPanel.visible) refresh(HtmlWindow::Invites);
    if (gh.gameSettingsPanel.visible || gh.myAccountPanel.visible) {
        refresh(HtmlWindow::GameSettings);
    } else if (gh.bioTutPanel.visible) {
        refresh(HtmlWindow::BioTut);
    }
    refreshLowerDialogs(gh);
    gh.setShowBreak(false);
    gh.setShowBallOn(false);
}

// What every table state refreshes on entry.
void enterTableCommon(const GameHandler& gh) {
    refresh(HtmlWindow::BottomBox);
    refresh(HtmlWindow::TopBox);
    if (gh.invitesPanel.visible) refresh(HtmlWindow::Invites);
    if (gh.gameSettingsPanel.visible || gh.matchSettingsPanel.visible) {
        refresh(HtmlWindow::GameSettings);
    } else if (gh.peoplePanel.visible) {
        refresh(HtmlWindow::People);
    } else if (gh.bioTutPanel.visible) {
        refresh(HtmlWindow::BioTut);
    }
    refreshLowerDialogs(gh);
}

bool onMainThread() {
    return !mainThreadMarked.load() || std::this_thread::get_id() == mainThread;
}

}  // namespace

StateLayoutHook setStateLayoutHook(StateLayoutHook hook) { return layoutHook.exchange(hook); }
WindowRefresher setWindowRefresher(WindowRefresher r) { return refresher.exchange(r); }

void markStateMainThread() {
    mainThread = std::this_thread::get_id();
    mainThreadMarked = true;
}

void applyPostedStateChanges() {
    std::vector<AppState> changes;
    {
        std::lock_guard<std::mutex> lock(postedMutex);
        changes.swap(posted);
    }
    for (AppState kind : changes) changeState(kind);
}

void changeState(AppState kind) {
    if (!onMainThread()) {
        // The pages, the panels and the game controller belong to the main thread.
        std::lock_guard<std::mutex> lock(postedMutex);
        posted.push_back(kind);
        return;
    }
    AppState old = appState.load();
    if (kind == old) return;
    BZ_LOG(LOG_INFO, "changeState", static_cast<unsigned>(old) << "->" << static_cast<unsigned>(kind));
    GameHandler& gh = getGameHandler();
    gh.resetAimingState(false);
    if (kind != STATE_COIN_TOSS) gh.coinTossChoiceOpen = false;
    // Chat held back for a shot and a status parked during it belong to the table being left.
    if (isTableState(old) && !isTableState(kind)) gh.dropShotLeftovers();
    switch (kind) {
        case STATE_LOGIN:
            enterLogin();
            break;
        case STATE_CONNECTING:
            enterConnecting();
            break;
        case STATE_LOBBY:
            enterLobby(gh);
            break;
        case STATE_TABLE:
            gh.liveStatus->startInfo = 0;
            gh.updateStartMatchButtons(-1);
            if (!gh.inTutorial) refresh(HtmlWindow::StartMatch);
            enterTableCommon(gh);
            break;
        case STATE_COIN_TOSS:
            gh.coinTossOpenTime = gh.now + 0.6;
            refresh(HtmlWindow::CoinToss);
            enterTableCommon(gh);
            break;
        case STATE_GAME:
            enterTableCommon(gh);
            break;
        default:
            break;
    }
    // The shell's part ends the change; for table states it places the top bar last.
    if (StateLayoutHook hook = layoutHook.load()) hook(old, kind);
    // Stored last: code run above still sees the old state.
    appState.store(kind);
}
