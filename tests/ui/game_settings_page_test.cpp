// The settings page under the real headless browser: a value changed on the page and saved reaches
// the preferences file through the client's own request path, and a client started afterwards
// loads it.
#include "client/gamehandler/game_handler.h"
#include "pages/page_harness.h"
#include "client/panels/game_settings_apply.h"
#include "ui/html_requests.h"
#include "ui/query_dispatcher.h"

namespace {

using pagetest::PageTest;
using pagetest::View;

class GameSettingsPageTest : public PageTest {};

TEST_F(GameSettingsPageTest, ASavedChangeSurvivesARestart) {
    const auto prefs = std::filesystem::temp_directory_path() / ("bz_settings_page_" + std::to_string(getpid()));
    std::filesystem::create_directories(prefs);
    GameHandler& gh = getGameHandler();
    gh.prefPath = prefs.string() + "/";
    gh.gameSettings = GameSettings{};

    View& v = Open("GameSettings");
    ASSERT_EQ(Run(v, openGameSettingsStatement(gh.gameSettings)), "");
    ASSERT_EQ(Run(v, "(function () {"
                     "  var field = Array.prototype.find.call(document.querySelectorAll('.field'),"
                     "      function (f) { return f.querySelector('label').textContent === 'Ball volume'; });"
                     "  var range = field.querySelector('input');"
                     "  range.value = 37;"
                     "  range.dispatchEvent(new Event('input'));"
                     "})();"),
              "");
    const size_t mark = v.Mark();
    gh.gameSettingsPanel.visible = true;
    ASSERT_TRUE(Click(v, "#g_save"));
    std::vector<pagetest::Json> sent;
    for (int i = 0; i < 200 && sent.size() < 2; ++i) {
        webtest::PumpFor(20);
        sent = v.Requests(mark);
    }
    // The save, then the close that ends the dialog.
    ASSERT_EQ(sent.size(), 2u);
    ASSERT_EQ(sent[0]["requestName"], "gameSettingsSave");
    ASSERT_EQ(sent[1]["requestName"], "gameSettingsClose");
    for (const pagetest::Json& request : sent) dispatchHtmlQuery(request.dump(), getHtmlRequests());
    EXPECT_EQ(gh.gameSettings.ballVolume, 37);
    EXPECT_FALSE(gh.gameSettingsPanel.visible);

    // The next run of the client reads the file.
    GameHandler restarted;
    restarted.prefPath = gh.prefPath;
    GameSettings loaded;
    restarted.loadGameSettingsPrefs(loaded);
    EXPECT_EQ(loaded.ballVolume, 37);
    EXPECT_EQ(loaded.fps, 30.0f);
    std::filesystem::remove_all(prefs);
}

}  // namespace
