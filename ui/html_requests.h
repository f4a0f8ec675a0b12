// The object that handles the pages' requests, the one-shot flags those requests leave for the
// frame loop, and the page start-up list: the windows whose real page still has to be loaded, one
// after the other. Main thread only: requests run inside the engine pump, the frame loop reads the
// flags after it.
#pragma once

#include "client/gamehandler/game_settings.h"
#include "client/gamehandler/requests.h"
#include "ui/engine/web_browser.h"

#include <cstdint>
#include <string>
#include <vector>

// One window waiting for its page.
struct PendingHtml {
    std::string htmlId;  // the window's name, by which its page reports that it has started
    bzweb::RefPtr<bzweb::WebBrowser> browser;
    std::string pageText;
    std::string url;  // "file://" + base folder + the page's path
};

// What one step of the page start-up did.
enum class PageStartupStep {
    Waiting,    // nothing to do this frame
    Loaded,     // the next page was handed to its browser
    AllLoaded,  // the list is empty: start-up is over (reported once)
};

class HtmlRequests {
public:
    // A page that has not reported its start this long after its load is given up.
    static constexpr int64_t kPageStartTimeoutMs = 10000;
    // The first page is loaded no earlier than this after the list was filled.
    static constexpr int64_t kFirstPageDelayMs = 2222;

    bool bottomBoxChanged = false;
    bool bottomBoxFullSize = true;
    bool dragWindowRequested = false;
    bool maximizeRequested = false;
    bool povRequested = false;
    std::vector<PendingHtml> pendingHtmls;
    bool htmlStarted = false;
    std::string changePasswordUrl;
    std::string playGameUrl;
    std::string siteUrl;
    std::string downloadUrl;

    HtmlRequests();
    virtual ~HtmlRequests() = default;

    // ---- Page start-up (the frame loop's side).
    // Appends the records in order, sets htmlStarted and starts the delay before the first load.
    void queuePages(std::vector<PendingHtml> records, int64_t nowMs);
    // Once per frame in the start-up state: loads the next page when the last one has started and
    // the delay has passed; gives up on a page that has not started in time (one ERROR line) so
    // the pages after it still load.
    PageStartupStep stepPageStartup(int64_t nowMs);

    // ---- The requests, one method per request name, arguments in the order the page sends them.
    virtual void titleBarMoveWindow();
    virtual void titleBarMinimize();
    virtual void titleBarMaximize();
    virtual void titleBarClose();
    virtual void loginForgotDetails();
    virtual void loginRegister();
    virtual void loginPlayOffline();
    virtual void loginUpdate();
    virtual void loginEnterLobby(const std::string& serverName, const std::string& userName,
                                 const std::string& password, bool rememberMe);
    virtual void lobbyPlayTable(int tableNumber);
    virtual void lobbyWatchTable(int tableNumber);
    virtual void lobbyAvailability(const std::string& availCode);
    virtual void lobbySendChatText(const std::string& chatText);
    virtual void lobbyLogout();
    virtual void lobbyOpenGameSettings();
    virtual void lobbyOpenMyAccount();
    virtual void lobbyOpenPlayerBio(const std::string& userName);
    virtual void lobbyBrowseExternal(const std::string& urlCode);
    virtual void startMatchStart();
    virtual void startMatchStartSingle();
    virtual void startMatchUnstart();
    virtual void startMatchJoin();
    virtual void startMatchWatch();
    virtual void startMatchLeaveTable();
    virtual void coinTossIWillStart(bool iWillStart);
    virtual void buttonPress(const std::string& buttonInfo, int idata1, const std::string& sdata1);
    virtual void bottomBoxToggle(bool isFullSize);
    virtual void bottomBoxLeaveTable();
    virtual void bottomBoxViewMode(const std::string& role, const std::string& viewMode);
    virtual void bottomBoxViewModePOV();
    virtual void bottomBoxOpenPeople();
    virtual void bottomBoxSendChatText(const std::string& chatText);
    virtual void bottomBoxChatTextIsEmpty(bool isEmpty);
    virtual void bottomBoxAvailability(const std::string& availCode);
    virtual void bottomBoxOpenGameSettings();
    virtual void bottomBoxOpenMatchSettings();
    virtual void bottomBoxConcede();
    virtual void bottomBoxPopup(const std::string& event, const std::string& what);
    virtual void bottomBoxRerackConfirmed();
    virtual void bottomBoxRerackAccepted();
    virtual void bottomBoxRerackDeclined();
    virtual void bottomBoxAbortMatchConfirmed();
    virtual void bottomBoxAbortMatchAccepted();
    virtual void bottomBoxAbortMatchDeclined();
    virtual void bottomBoxChangePrivacy(int privacy);
    virtual void gameSettingsClose();
    virtual void gameSettingsReset();
    virtual void gameSettingsSave(GameSettings settings);
    virtual void matchSettingsClose();
    virtual void matchSettingsReset();
    virtual void matchSettingsSave(const MatchSettings& settings);
    virtual void myAccountClose();
    virtual void myAccountSave(const AccountRecord& account);
    virtual void bioClose();
    virtual void peopleWhisper(const std::string& userName);
    virtual void peopleClose();
    virtual void genericHtmlStarted(const std::string& htmlId);

    // Opens an address of the game's web site in the desktop browser.
    virtual void openExternal(const std::string& url);

private:
    int64_t firstLoadAtMs_ = 0;
    // The load time of the page at the front of the list; -1 while none is loading.
    int64_t loadingSinceMs_ = -1;
};

// The one object, built on first use.
HtmlRequests& getHtmlRequests();

