// The lobby's long lists: only the rows in view exist, any row appears when scrolled to and answers
// clicks for its own item, rows change in place, a table update leaves the user list alone, and the
// chat follows new lines only while its end is in view.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

#include "pages/page_harness.h"
#include "pages/page_statements.h"

namespace {

using namespace pagetest;

std::string Users(int n, int away = -1, int rating = 1500) {
    std::string s = "inbzUserInfo([";
    for (int i = 0; i < n; ++i) {
        s += "{userName:'u" + std::to_string(i) + "',userType:0,rating:" + std::to_string(i == away ? rating : 1500) + ",rank:" +
             std::to_string(i + 1) + ",flags:" + (i == away ? "1" : "0") + ",form:0,num_max_p:0,num_max_c:0,hb_p:0,hb_c:0,inReplayMode:0,},";
    }
    return s + "]);";
}

std::string Table(int id, const std::string& p1, const std::string& p2) {
    return "{tableId:" + std::to_string(id) + ",tableName:'Table " + std::to_string(id) +
           "',tableType:1,gameType:1,gameState:0,bestOf:1,maxPointsBehind:0,maxShotTime:0,privacy:0,arena:0,"
           "framesWon1:0,framesWon2:0,player1:'" + p1 + "',player2:'" + p2 + "',viewers:[]},";
}

std::string Tables(int n) {
    std::string s = "inbzTableInfo([";
    for (int t = 1; t <= n; ++t) s += Table(t, "", "");
    return s + "]);";
}

class PageLobbyListsTest : public PageTest {
protected:
    // The page's last paint, for people to look at.
    static void Write(const TestRenderHandler& page, const std::string& name) {
        std::vector<uint8_t> rgb(size_t(page.paintWidth) * page.paintHeight * 3);
        for (size_t i = 0; i < rgb.size() / 3; ++i) {
            for (int c = 0; c < 3; ++c) rgb[i * 3 + c] = page.pixels[i * 4 + 2 - c];
        }
        std::filesystem::create_directories(BZ_ARTEFACTS);
        stbi_write_png((std::string(BZ_ARTEFACTS) + "/" + name + ".png").c_str(), page.paintWidth, page.paintHeight, 3, rgb.data(),
                       page.paintWidth * 3);
    }
    // Scrolls the element to the fraction of its height and lets the page draw.
    void ScrollTo(View& v, const std::string& id, double at) {
        Eval(v, "(function () { var b = document.getElementById('" + id + "'); b.scrollTop = " + std::to_string(at) +
                    " * (b.scrollHeight - b.clientHeight); return 0; })()");
        Settle(v);
    }
    // The texts of the selector's elements that lie inside the visible part of the box.
    Json Seen(View& v, const std::string& box, const std::string& selector) {
        return Eval(v, "(function () { var b = document.getElementById('" + box + "').getBoundingClientRect(), out = [];"
                       " document.querySelectorAll('#" + box + " " + selector + "').forEach(function (e) {"
                       " var r = e.getBoundingClientRect(); if (r.bottom > b.top && r.top < b.bottom) out.push(e.textContent); });"
                       " return out; })()");
    }
};

TEST_F(PageLobbyListsTest, RowsOutOfViewAreNotBuiltAndAppearWhenScrolledTo) {
    View& lobby = Open("Lobby");
    ASSERT_EQ(Run(lobby, kUserName + Users(3000) + Tables(400)), "");
    Settle(lobby);
    EXPECT_EQ(Eval(lobby, "document.getElementById('user_count').textContent"), "(3000)");
    EXPECT_EQ(Eval(lobby, "document.getElementById('table_count').textContent"), "(400)");
    EXPECT_LT(Eval(lobby, "document.querySelectorAll('#users .user').length").get<int>(), 40);
    EXPECT_LT(Eval(lobby, "document.querySelectorAll('#tables .tbl').length").get<int>(), 40);
    EXPECT_EQ(Seen(lobby, "users", ".nick")[0], "u0");

    ScrollTo(lobby, "users", 1);
    Json seen = Seen(lobby, "users", ".nick");
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), "u2999");
    size_t mark = lobby.Mark();
    ASSERT_TRUE(Click(lobby, "#users .user:last-child .nick"));
    ASSERT_TRUE(PumpUntil([&] { return !Sent(lobby, mark, "lobbyOpenPlayerBio").is_null(); }));
    EXPECT_EQ(Sent(lobby, mark, "lobbyOpenPlayerBio").value("userName", ""), "u2999") << "a refilled row answers for its own user";
    ScrollTo(lobby, "users", 0.5);
    seen = Seen(lobby, "users", ".nick");
    ASSERT_FALSE(seen.empty());
    const int middle = std::stoi(seen[0].get<std::string>().substr(1));
    EXPECT_NEAR(middle, 1500, 20);
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_EQ(seen[i], "u" + std::to_string(middle + int(i))) << "rows in order, none missing";
    ScrollTo(lobby, "tables", 0.5);
    Write(*lobby.render, "lobby_long_lists_scrolled");

    ScrollTo(lobby, "tables", 1);
    EXPECT_EQ(Seen(lobby, "tables", ".top span:last-child").back(), "#400");
    mark = lobby.Mark();
    ASSERT_TRUE(Click(lobby, "#tables .tbl:last-child button.primary"));
    ASSERT_TRUE(PumpUntil([&] { return !Sent(lobby, mark, "lobbyPlayTable").is_null(); }));
    EXPECT_EQ(Sent(lobby, mark, "lobbyPlayTable").value("tablenumber", 0), 400);
}

TEST_F(PageLobbyListsTest, RowsChangeInPlaceAndATableUpdateLeavesTheUserListAlone) {
    View& lobby = Open("Lobby");
    ASSERT_EQ(Run(lobby, kUserName + Users(3000) + Tables(400)), "");
    Settle(lobby);
    // Every row element of the user list is marked, and every change to it counted.
    ASSERT_EQ(Run(lobby, "document.querySelectorAll('#users .user').forEach(function (r) { r.kept = true; });"
                         "window.changes = [];new MutationObserver(function (m) { window.changes = window.changes.concat(m); })"
                         ".observe(document.getElementById('users'), {subtree: true, childList: true, characterData: true, attributes: true});"),
              "");
    const std::string changes = "window.changes.splice(0).length";

    // A seat taken by a user out of view, then one in view.
    ASSERT_EQ(Run(lobby, "inbzTableInfo([" + Table(2, "u2500", "") + "]);"), "");
    EXPECT_EQ(Eval(lobby, changes), 0);
    EXPECT_EQ(Eval(lobby, "document.querySelector('#tables .tbl:nth-child(2) .seat').textContent"), "u2500");
    EXPECT_EQ(Eval(lobby, "document.querySelectorAll('#tables .tbl:nth-child(2) button').length"), 2);
    ASSERT_EQ(Run(lobby, "inbzTableInfo([" + Table(2, "u2500", "u1") + "]);"), "");
    EXPECT_EQ(Eval(lobby, "document.querySelectorAll('#tables .tbl:nth-child(2) button').length"), 1) << "no Play at a full table";
    EXPECT_EQ(Eval(lobby, "document.querySelectorAll('#users .user')[1].querySelector('.where').textContent"), "Table 2");
    EXPECT_LE(Eval(lobby, changes).get<int>(), 3);

    // A new list with one user changed: only that row changes, in the same element.
    ASSERT_EQ(Run(lobby, Users(3000, 3, 1810)), "");
    EXPECT_EQ(Eval(lobby, "(function () { var r = document.querySelectorAll('#users .user')[3];"
                          " return [r.kept === true, r.querySelector('.dot').className, r.querySelector('.rank').textContent]; })()"),
              Json::parse(R"([true, "dot away", "#4 \u00b7 1,810"])"));
    EXPECT_EQ(Eval(lobby, "document.querySelectorAll('#users .user')[1].querySelector('.where').textContent"), "Table 2")
        << "the seats hold across a new user list";
    EXPECT_EQ(Eval(lobby, "Array.prototype.every.call(document.querySelectorAll('#users .user'), function (r) { return r.kept; })"), true);
    ASSERT_EQ(Run(lobby, "inbzUpdateMutedUsers(['u4',1,]);"), "");
    EXPECT_NE(Eval(lobby, "document.querySelectorAll('#users .nick')[4].className").get<std::string>().find("muted"), std::string::npos);
}

TEST_F(PageLobbyListsTest, TheChatFollowsNewLinesOnlyWhileItsEndIsInView) {
    View& lobby = Open("Lobby");
    auto lines = [](int from, int n) {
        std::string s;
        for (int i = from; i < from + n; ++i) {
            s += "inbzAddTextToChat({entryId: " + std::to_string(i) + ",chatClass: 0,sender: 'Cy',text1: 'line " + std::to_string(i) +
                 "',playerName1: '',text2: '',playerName2: '',text3: '',});";
        }
        return s;
    };
    const std::string atEnd =
        "(function () { var c = document.getElementById('main_chat_entries'); return c.scrollHeight - c.scrollTop - c.clientHeight < 2; })()";
    ASSERT_EQ(Run(lobby, lines(0, 60)), "");
    Settle(lobby);
    EXPECT_EQ(Eval(lobby, atEnd), true);
    ASSERT_EQ(Run(lobby, lines(60, 1)), "");
    Settle(lobby);
    EXPECT_EQ(Eval(lobby, atEnd), true);

    ScrollTo(lobby, "main_chat_entries", 0);
    ASSERT_EQ(Run(lobby, lines(61, 3)), "");
    Settle(lobby);
    EXPECT_EQ(Eval(lobby, "document.getElementById('main_chat_entries').scrollTop"), 0) << "a reader further up is left where they are";

    ScrollTo(lobby, "main_chat_entries", 1);
    ASSERT_EQ(Run(lobby, lines(64, 3)), "");
    Settle(lobby);
    EXPECT_EQ(Eval(lobby, atEnd), true);
}

}  // namespace
