#include "client/gamehandler/game_handler.h"
#include "client/gamehandler/page_statements.h"
#include "core/log.h"
#include "core/opener.h"
#include "core/page_script.h"

#include <string>

void SessionState::popUpInfo(const std::string& text, int durationMs) {
    BZ_LOG(LOG_INFO, "popUpInfo", "Notice text: " << text);
    runJavaScript(HtmlWindow::TopBox, JsObject().text("text", text).number("duration", durationMs).call("inbzNotice"));
}

void SessionState::showNotice(const std::string& text, int durationMs) {
    if (!text.empty()) popUpInfo(text, durationMs);
}

void SessionState::setConcedeState(int seat) {
    // The page keeps the first seat that conceded.
    runJavaScript(HtmlWindow::BottomBox,
                  "document.getElementsByClassName(\"concede\")[0].disabled = true;"
                  "if (gs.concededBy < 0) { gs.concededBy = " +
                      std::to_string(seat) + "; refreshPlayerControls(); }");
}

void SessionState::openExternal(const std::string& url) { ::openExternal(url); }
