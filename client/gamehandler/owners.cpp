// What each owner of the controller's state sets back when it ends: a frame, the table sat at, a
// replay. Each owner's fields are one group (FrameOwned, TableOwned, RemoteAimState, ShotInFlight,
// ReplayOwned) reset here in one assignment, so that nothing of one table, frame or replay shows at
// the next. docs/architecture.md has the table of owners.
#include "client/gamehandler/game_handler.h"
#include "core/page_script.h"

void TableState::resetFrameData() { static_cast<FrameOwned&>(*this) = FrameOwned{}; }

void TableState::resetTableData() {
    const bool pageHoldsLineUp = lineUpNumber != 0;
    static_cast<TableOwned&>(*this) = TableOwned{};
    // Mends the Line-up button hidden at every later table: the page holds the line-up set back here
    // too, since the next table's record only tells it a change from that value.
    if (pageHoldsLineUp) runJavaScript(HtmlWindow::BottomBox, "inbzLineUpNumber({lineUpNumber: 0});");
    shotStepper.stop();
    table.setId(0);
    table.setName("");
    table.setPlayer(0, nullptr);
    table.setPlayer(1, nullptr);
    table.people.clear();
    table.setTableMode(0);
    table.arena = 0;
    int version = 0;
    const int type = table.getVersionAndType(version);
    if (version != 2 || type != 1) table.setTableType(2, 1);
    table.status = LiveStatus{};
    table.resetGameState();
    // The stroke ends here: a ball still rolling would hold back the next table's status and drop
    // its first stroke.
    for (Ball& ball : table.balls) {
        ball.resetForStroke();
        ball.fallingInPocket = false;
        ball.accelX = ball.accelZ = 0;
    }
    // The start view the program began with: a frame counts as in play until the next table's
    // status says otherwise, so that status, not the last table's, decides the entry's view.
    initBallPositions();
    for (int i = 0; i < kBallCount; ++i) table.savedBalls[i] = table.balls[i];
    table.airborneBall = -1;
    table.airborneUntil = 0;
}

void ReplayState::resetReplayData() { static_cast<ReplayOwned&>(*this) = ReplayOwned{}; }

void GameHandler::leaveTable() {
    resetTableData();
    static_cast<RemoteAimState&>(*this) = RemoteAimState{};
    static_cast<ShotInFlight&>(*this) = ShotInFlight{};
}
