// Which room the scene shows: it follows the table's own arena value, whatever the table's type.
#include "render/scene_pass.h"

#include <gtest/gtest.h>

namespace {

TEST(RoomPasses, FollowTheTablesArena) {
    GameHandler& gh = getGameHandler();
    struct Case {
        int setting, tableArena;
        bool perspective, room, decor;
    };
    for (const Case& c : {Case{0, 0, true, false, false}, Case{0, 1, true, false, false}, Case{1, 0, true, true, false},
                          Case{1, 1, true, false, true}, Case{1, 1, false, false, false}}) {
        gh.gameSettings.arena = c.setting;
        gh.table.arena = c.tableArena;
        gh.perspectiveProjection = c.perspective;
        EXPECT_EQ(roomModelShown(gh), c.room) << c.setting << c.tableArena << c.perspective;
        EXPECT_EQ(roomDecorShown(gh), c.decor) << c.setting << c.tableArena << c.perspective;
    }
    gh.gameSettings.arena = 0;
    gh.table.arena = 0;
    gh.perspectiveProjection = false;
}

}  // namespace
