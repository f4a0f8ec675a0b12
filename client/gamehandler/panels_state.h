// The game controller's window layout, HTML panels and settings: which panels show and since when,
// the bottom box's layout and the user's game and match settings (part of GameHandler, which
// inherits it). Written by the panel openers (client/panels/), the page
// buttons (buttons.cpp, ui/page_buttons.cpp), popup_events.cpp and the shell (app/window_layout.cpp).
#pragma once

#include "client/gamehandler/game_settings.h"
#include "client/gamehandler/requests.h"

#include <string>

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
};
