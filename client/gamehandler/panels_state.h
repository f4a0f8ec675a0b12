// The game controller's window layout, HTML panels and settings: which panels show and since when,
// the bottom box's layout and the user's game and match settings (part of GameHandler, which
// inherits it). Written by the panel openers (client/panels/), the page
// buttons (buttons.cpp, ui/page_buttons.cpp), popup_events.cpp and the shell (app/window_layout.cpp).
// The operations below that need only this data are defined in client/panels/settings_panels.cpp,
// client/panels/panels.cpp, seats.cpp, page_requests.cpp, popup_events.cpp, buttons.cpp and
// dispatch/info_account.cpp; the openers, which also read the clock, are GameHandler's.
#pragma once

#include "client/gamehandler/game_settings.h"
#include "client/gamehandler/requests.h"
#include "core/page_script.h"

#include <string>
#include <vector>

class GameHandler;

// One HTML panel: shown or not, and the game-clock time at which it was last opened.
struct PanelSlot {
    bool visible = false;
    double openedAt = 0.0;
};

struct PanelsState {
    // --- window layout ---
    // Whether the table chat's input is empty (page request bottomBoxChatTextIsEmpty).
    bool chatTextEmpty = true;
    // The BottomBox shown as its bar only, and its full-size layout.
    bool bottomBoxCollapsed = false;
    bool bottomBoxFullSize = true;
    // What the user last chose with the bar's toggle.
    bool bottomBoxUserCollapsed = false;
    bool bottomBoxUserFullSize = true;
    // The coin-toss window is drawn from this game-clock time on.
    double coinTossOpenTime = 0.0;
    // The toss's winner is asked who breaks off; set until the choice is made or the toss is left.
    bool coinTossChoiceOpen = false;
    // The key for a new bottom-box layout: 1 lay it out again, 2 also flip its full size. The shell
    // takes it with the page requests.
    int bottomBoxLayoutRequest = 0;

    // --- settings ---
    GameSettings gameSettings;
    // The window is in desktop full-screen mode (as the saved settings last set it).
    bool fullScreen = false;
    // The match statistics sit minimised in the bottom bar until the bar's maximise button.
    bool matchStatsMinimized = false;
    // Whose bio the BioTut page last received, and the bits its buttons were last updated with
    // (-1 after another user's bio was opened).
    std::string bioUserName;
    int bioUserBits = -1;

    // --- HTML panels ---
    PanelSlot gameSettingsPanel;
    PanelSlot matchSettingsPanel;
    PanelSlot myAccountPanel;
    PanelSlot bioTutPanel;
    PanelSlot peoplePanel;
    PanelSlot invitesPanel;
    PanelSlot tasksPanel;
    PanelSlot lineUpPanel;  // line-up and match statistics
    PanelSlot cueStorePanel;
    PanelSlot alertsPanel;
    PanelSlot replaysPanel;
    // The result dialog of the CoinToss window during tutorials.
    PanelSlot tutResultPanel;
    // The number alertShown records when a warning opens in the Alerts window; Escape then cancels a
    // pending lobby change.
    static constexpr int leaveWarningAlert = 1;
    // The alert last opened in the Alerts window.
    int alertShown = 0;
    // Set when the preferences file could not be opened; the lobby then asks mouse or touchpad once.
    bool mouseOrTouchpadPopUpPending = false;

    // ===== The operations that need only the panels' own data. =====
    // A dialog of the CoinToss window waits for an answer (the toss's choice, the tutorial's
    // result): every page event goes to that window.
    bool coinTossPromptOpen() const { return coinTossChoiceOpen || tutResultPanel.visible; }
    // ---- closing panels (client/panels/settings_panels.cpp, client/panels/panels.cpp, seats.cpp)
    void closeGameSettings();
    void closeMatchSettings();
    void closeMyAccount();
    void closePeople();
    void closeBio();
    void closeTasks();
    void closeMatchStats();
    void closeReplays();
    // ---- page requests (seats.cpp, page_requests.cpp, client/panels/panels.cpp)
    void setChatTextEmpty(bool empty);
    void whisperPlayer(const std::string& userName);
    // Sends Ctrl+V to the window's page.
    void pasteIntoBrowser(HtmlWindow window);

    // ---- the hooks the shell and the HTML layer install (popup_events.cpp, buttons.cpp,
    // dispatch/info_account.cpp)
    // The shell's bottom-bar size change that the popups ask for; without one it is only logged.
    using BottomBoxSizer = void (*)(bool fromToggle, bool fullSize);
    static BottomBoxSizer setBottomBoxSizer(BottomBoxSizer sizer);
    // Opens the bio panel on another user's bio (element 0 the nick); the panels install it.
    // Without one the bio is only logged.
    using BioPanelOpener = void (*)(GameHandler& gameHandler, const std::vector<std::string>& bio);
    static BioPanelOpener setBioPanelOpener(BioPanelOpener opener);
    static BioPanelOpener bioPanelOpener();
    // The names the HTML layer serves (panels, pasting, the Kred Box); asked after the others.
    using PanelButtons = bool (*)(GameHandler& gameHandler, const std::string& name, int idata1,
                                  const std::string& sdata1);
    static PanelButtons setPanelButtons(PanelButtons handler);
};
