#include "ui/html_requests.h"

#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/requests.h"
#include "core/app_status.h"
#include "core/log.h"
#include "core/web_links.h"
#include "net/connection_handler.h"

HtmlRequests::HtmlRequests()
    : changePasswordUrl(std::string(WebLinks::urlHome) + "change-password"),
      playGameUrl(std::string(WebLinks::urlHome) + "play-snooker-game"),
      siteUrl(WebLinks::urlHome),
      downloadUrl(std::string(WebLinks::urlHome) + "download-snooker-game") {}

HtmlRequests& getHtmlRequests() {
    static HtmlRequests requests;
    return requests;
}

void HtmlRequests::queuePages(std::vector<PendingHtml> records, int64_t nowMs) {
    for (PendingHtml& record : records) pendingHtmls.push_back(std::move(record));
    htmlStarted = true;
    firstLoadAtMs_ = nowMs + kFirstPageDelayMs;
    loadingSinceMs_ = -1;
}

PageStartupStep HtmlRequests::stepPageStartup(int64_t nowMs) {
    if (!htmlStarted && loadingSinceMs_ >= 0 && nowMs - loadingSinceMs_ >= kPageStartTimeoutMs &&
        !pendingHtmls.empty()) {
        // The page never reported its start: later pages must not wait for it for ever.
        BZ_LOG(LOG_ERROR, "stepPageStartup", "HTML browser \"" << pendingHtmls.front().htmlId << "\" did not start within "
                                                                << kPageStartTimeoutMs << " ms, skipped. Remaining pending HTMLS: "
                                                                << pendingHtmls.size() - 1);
        pendingHtmls.erase(pendingHtmls.begin());
        htmlStarted = true;
    }
    if (!htmlStarted || nowMs < firstLoadAtMs_) return PageStartupStep::Waiting;
    htmlStarted = false;
    if (pendingHtmls.empty()) {
        loadingSinceMs_ = -1;
        BZ_LOG(LOG_INFO, "stepPageStartup", "All browser windows loaded");
        return PageStartupStep::AllLoaded;
    }
    const PendingHtml& next = pendingHtmls.front();
    if (next.browser) next.browser->GetMainFrame()->LoadString(next.pageText, next.url);
    loadingSinceMs_ = nowMs;
    return PageStartupStep::Loaded;
}

void HtmlRequests::genericHtmlStarted(const std::string& htmlId) {
    BZ_LOG(LOG_INFO, "genericHtmlStarted", htmlId);
    for (auto it = pendingHtmls.begin(); it != pendingHtmls.end(); ++it) {
        if (it->htmlId != htmlId) continue;
        BZ_LOG(LOG_INFO, "genericHtmlStarted", "HTML browser \"" << htmlId << "\" started, removing from pending list. "
                                               << "Remaining pending HTMLS: " << pendingHtmls.size() - 1);
        if (it->browser) it->browser->GetHost()->Invalidate(bzweb::PET_VIEW);
        const bool wasLoading = it == pendingHtmls.begin();
        pendingHtmls.erase(it);
        if (wasLoading) loadingSinceMs_ = -1;
        htmlStarted = true;
        return;
    }
    BZ_LOG(LOG_ERROR, "genericHtmlStarted", "Oops! HTML browser \"" << htmlId << "\" not listed but started! "
                                            << "Remaining pending HTMLS: " << pendingHtmls.size());
}

// Ending the process here would skip the logout and leave the audio open and the connection's
// threads running: the close takes the quit path, whose end is bounded.
void HtmlRequests::titleBarClose() {
    GameHandler& gh = getGameHandler();
    if (connectionHandler != nullptr) sendLogout(gh);
    appRunning = false;
}
