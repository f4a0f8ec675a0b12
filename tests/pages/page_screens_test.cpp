// Screenshots of the pages in the states a player meets, composed as the client draws them: each
// window at its place over a stand-in table scene (or over the lobby), at 1024 x 647 and 1920 x 1080.
// They are written to <build>/artefacts/pages/ for people to look at; the checks here only make sure
// each state really drew something where it should.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb/stb_image_write.h>

#include "page_harness.h"
#include "page_statements.h"

#include <cmath>

namespace pagetest {
namespace {

struct Rect4 {
    int x, top, w, h;
};

// The window's rectangle, top-down, by the client's layout formula (single precision, truncated).
Rect4 Place(const std::string& id, int W, int H, int Hb) {
    struct K { float kw, bw, kh, bh, kx, bx, ky, by, kyc; };
    static const std::map<std::string, K> k = {
        {"Login", {1, 0, 1, 0, 0, 0, 0, 0, 0}}, {"Lobby", {1, 0, 1, 0, 0, 0, 0, 0, 0}},
        {"StartMatch", {0, 620, 0, 306, 0.5f, -310, 0.5f, -153, 0.5f}}, {"CoinToss", {0, 350, 0, 380, 0.5f, -175, 0.5f, -190, 0.5f}},
        {"BottomBox", {1, 0, 0, 280, 0, 0, 0, -280, 1}}, {"TopBox", {1, 0, 0.059464816f, 0, 0, 0, 0.94053519f, 0, 0}},
    };
    K c;
    auto it = k.find(id);
    if (it != k.end()) {
        c = it->second;
    } else {
        const PageInfo& p = PageById(id);
        c = {0, float(p.width), 0, float(p.height), 0.5f, -p.width / 2.0f, 0.5f, -p.height / 2.0f, 0};
    }
    int w = int(c.kw * float(W) + c.bw);
    int h = int(c.kh * float(H) + c.bh);
    int x = int(c.kx * float(W) + c.bx);
    int y = int((c.ky * float(H) + c.by) + c.kyc * float(Hb));
    return {x, H - y - h, w, h};
}

class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h), rgb_(size_t(w) * h * 3) {}

    // A stand-in for the 3D scene: a dark room and a green table with cushions and a few balls.
    void Table() {
        for (int y = 0; y < h_; ++y) {
            for (int x = 0; x < w_; ++x) Set(x, y, 18 + y * 14 / h_, 20 + y * 10 / h_, 24);
        }
        int tw = w_ * 3 / 4, th = tw / 2, tx = (w_ - tw) / 2, ty = std::max(10, (h_ - th) / 2 - h_ / 12);
        Fill(tx - 22, ty - 22, tw + 44, th + 44, 74, 44, 22);
        Fill(tx - 8, ty - 8, tw + 16, th + 16, 24, 98, 48);
        Fill(tx, ty, tw, th, 34, 124, 62);
        int r = std::max(5, tw / 110);
        const int balls[][5] = {{60, 50, 200, 30, 30}, {62, 46, 200, 30, 30}, {62, 54, 200, 30, 30}, {64, 42, 200, 30, 30},
                                {30, 50, 240, 240, 240}, {85, 50, 20, 20, 20}, {50, 50, 240, 140, 170}, {25, 35, 240, 210, 30}};
        for (const auto& b : balls) Disc(tx + tw * b[0] / 100, ty + th * b[1] / 100, r, b[2], b[3], b[4]);
    }
    void Plain(int r, int g, int b) { Fill(0, 0, w_, h_, r, g, b); }

    // Blends the page's straight-alpha BGRA pixels at (x, top); rows outside the window are cut.
    void Draw(const TestRenderHandler& page, Rect4 at, int visibleRows = -1) {
        int rows = visibleRows < 0 ? page.paintHeight : std::min(visibleRows, page.paintHeight);
        for (int py = 0; py < rows; ++py) {
            int y = at.top + py;
            if (y < 0 || y >= h_) continue;
            for (int px = 0; px < page.paintWidth; ++px) {
                int x = at.x + px;
                if (x < 0 || x >= w_) continue;
                const uint8_t* s = page.pixels.data() + (size_t(py) * page.paintWidth + px) * 4;
                uint8_t* d = &rgb_[(size_t(y) * w_ + x) * 3];
                int a = s[3];
                d[0] = uint8_t((s[2] * a + d[0] * (255 - a)) / 255);
                d[1] = uint8_t((s[1] * a + d[1] * (255 - a)) / 255);
                d[2] = uint8_t((s[0] * a + d[2] * (255 - a)) / 255);
            }
        }
    }
    bool Write(const std::string& name) const {
        std::filesystem::create_directories(BZ_ARTEFACTS);
        std::string path = std::string(BZ_ARTEFACTS) + "/" + name + ".png";
        return stbi_write_png(path.c_str(), w_, h_, 3, rgb_.data(), w_ * 3) != 0;
    }

private:
    void Set(int x, int y, int r, int g, int b) {
        uint8_t* d = &rgb_[(size_t(y) * w_ + x) * 3];
        d[0] = uint8_t(r), d[1] = uint8_t(g), d[2] = uint8_t(b);
    }
    void Fill(int x0, int y0, int w, int h, int r, int g, int b) {
        for (int y = std::max(0, y0); y < std::min(h_, y0 + h); ++y) {
            for (int x = std::max(0, x0); x < std::min(w_, x0 + w); ++x) Set(x, y, r, g, b);
        }
    }
    void Disc(int cx, int cy, int rad, int r, int g, int b) {
        for (int y = cy - rad; y <= cy + rad; ++y) {
            for (int x = cx - rad; x <= cx + rad; ++x) {
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= rad * rad && x >= 0 && y >= 0 && x < w_ && y < h_) Set(x, y, r, g, b);
            }
        }
    }
    int w_, h_;
    std::vector<uint8_t> rgb_;
};

// Statements that fill the lobby: 20 tables, 50 users, a conversation.
std::string BusyLobby() {
    static const char* names[] = {"Ada", "Bo", "Cy", "Dee", "Eve", "Finn", "Gus", "Hal", "Ivy", "Jo", "Kai", "Lia", "Max",
                                  "Nia", "Oz", "Pip", "Quin", "Rae", "Sol", "Tia", "Uma", "Vic", "Wyn", "Xan", "Yul"};
    std::string users = "inbzUserInfo([";
    for (int i = 0; i < 50; ++i) {
        std::string n = std::string(names[i % 25]) + (i >= 25 ? "_" + std::to_string(i) : "");
        users += "{userName:'" + n + "',userType:0,rating:" + std::to_string(1200 + (i * 37) % 900) + ",rank:" + std::to_string(i + 1) +
                 ",flags:" + std::to_string(i % 7 == 0 ? 1 : i % 11 == 0 ? 2 : 0) + ",form:0.5,num_max_p:0,num_max_c:0,hb_p:" +
                 std::to_string((i * 13) % 147) + ",hb_c:0,inReplayMode:0,},";
    }
    users += "]);";
    std::string tables = "inbzTableInfo([";
    for (int t = 1; t <= 20; ++t) {
        bool two = t % 4 != 0, live = t % 3 != 0 && two;
        tables += "{tableId:" + std::to_string(t) + ",tableName:'" + (t == 7 ? std::string("t7 Winter Open final") : "Table " + std::to_string(t)) +
                  "',tableType:" + std::to_string(t % 3) + ",gameType:" + std::to_string(1 + t % 3) + ",gameState:" + (live ? "1" : "0") +
                  ",bestOf:" + std::to_string(1 + 2 * (t % 4)) + ",maxPointsBehind:0,maxShotTime:" + (t % 2 ? "60" : "0") +
                  ",privacy:" + (t == 9 ? "2" : "0") + ",arena:0,framesWon1:" + std::to_string(live ? t % 3 : 0) + ",framesWon2:" +
                  std::to_string(live ? t % 2 : 0) + ",player1:'" + names[(2 * t) % 25] + "',player2:'" + (two ? names[(2 * t + 1) % 25] : "") +
                  "',viewers:[" + (t % 2 ? "'" + std::string(names[(t + 5) % 25]) + "',": "") + "]},";
    }
    tables += "]);";
    return users + kUserName + tables + kLobbyName + "inbzSetVersion({version:\"0.1.777\",});" + kUserListX +
           "inbzUpdateFriends(['Cy',1,'Eve',0,]);inbzInfoLobbyNews({lobbyNews:'Weekend cup on Saturday at 18:00. Sign up at the tournament desk.'});"
           "inbzInfoServerTime({year:2026,month:12,day:9,hour:21,minute:5,second:0,});inbzUpdateTopStats({statsName:'prohb',data: "
           "[{username:'Ada',score:147},{username:'Cy',score:133},]});inbzKboxInfo({kred: 50,secondsUntilOpening: 1325,});"
           "inbzInvitesActive();" + kChat +
           "inbzAddTextToChat({entryId: 10,chatClass: 1,sender: 'Eve',text1: 'good luck in the final!',playerName1: '',text2: '',"
           "playerName2: '',text3: '',});inbzAddTextToChat({entryId: 11,chatClass: 3,sender: '',text1: 'Big break: ',playerName1: 'Ada',"
           "text2: ' made a break of 104 at table 3.',playerName2: '',text3: '',});"
           "inbzAddTextToChat({entryId: 12,chatClass: 6,sender: '',text1: 'Welcome to the Players Lounge. Be kind to each other.',"
           "playerName1: '',text2: '',playerName2: '',text3: '',});";
}

std::string TableInPlay() {
    return std::string(kUserName) + "inbzEnterTable();inbzInfoTableInfo({tableId: 3,tableType: 1});"
           "inbzUpdatePlayerNames({player1: 'Ada',player2: 'Cy',});" + kTableInfo + GameStatus(0, 31, 7) +
           "inbzSetShowLiveAimingIfAvailable({ enabled:true });inbzSetView({role: 'p',view: '3',});"
           "inbzStopShotTimer({player: 1,});inbzStartShotTimer({player: 0,timerSeconds: 45,});" + kChat +
           "inbzAddTextToChat({entryId: 20,chatClass: 0,sender: 'Bo',text1: 'nice red!',playerName1: '',text2: '',"
           "playerName2: '',text3: '',});inbzAddTextToChat({entryId: 21,chatClass: 8,sender: '',text1: '',playerName1: 'Eve',"
           "text2: ' came to watch.',playerName2: '',text3: '',});";
}

const std::string kTopBreak = "inbzShowBreak({showBreak: 1});inbzShowBallOn({showBallOn: 1});inbzSetFps({fps:59.6667});"
                              "inbzSetBreakScore({breakScore: 24,ballsPotted: [0,4,1,0,0,1,1,1,0,0,],lineUpNumber: 0});"
                              "inbzSetBreakTime({breakTime: 41000});inbzSetBallOn({ballOn:1,freeBall:0,snookerPlus:0});";

class PageScreensTest : public PageTest {
protected:
    View& Get(const std::string& id, int W, int H) {
        for (auto& v : views_) {
            if (v->info.htmlId == id) return Resize(*v, id, W, H);
        }
        return Resize(Open(id), id, W, H);
    }
    View& Resize(View& v, const std::string& id, int W, int H) {
        Rect4 r = Place(id, W, H, 280);
        if (v.render->width != r.w || v.render->height != r.h) {
            v.render->width = r.w;
            v.render->height = r.h;
            v.browser->GetHost()->WasResized();
            PumpUntil([&] { return v.render->paintWidth == r.w && v.render->paintHeight == r.h; });
        }
        return v;
    }
    void Do(View& v, const std::string& statements) {
        EXPECT_EQ(Run(v, statements), "") << v.info.htmlId;
        Settle(v);
    }
    // Draws the window at its place; bottom bar rows below Hb are off screen.
    void Put(Canvas& c, View& v, int W, int H, int Hb = 280) {
        Rect4 r = Place(v.info.htmlId, W, H, Hb);
        c.Draw(*v.render, r, v.info.htmlId == std::string("BottomBox") ? Hb : -1);
    }
    static int Opaque(const View& v) {
        int n = 0;
        for (size_t i = 3; i < v.render->pixels.size(); i += 4) n += v.render->pixels[i] > 0;
        return n;
    }
    // Under load the frame that comes after a resize can be a blank one: asks for fresh frames until
    // one shows at least this many opaque pixels (or a few tries have passed).
    void SettleUntilOpaque(View& v, int least) {
        for (int tries = 0; tries < 8 && Opaque(v) < least; ++tries) Settle(v);
    }
};

const int kSizes[][2] = {{1024, 647}, {1920, 1080}};

TEST_F(PageScreensTest, LoginAndLobby) {
    for (const auto& s : kSizes) {
        int W = s[0], H = s[1];
        std::string tag = "_" + std::to_string(W) + "x" + std::to_string(H);
        View& login = Get("Login", W, H);
        Do(login, "updateLobbies([{name:\"Players Lounge\",version:\"2.1\",maxUsers:500,currentUsers:142},"
                  "{name:\"Club Room\",version:\"2.1\",maxUsers:200,currentUsers:200},{name:\"Beginners\",version:\"2.1\",maxUsers:300,currentUsers:12}]);"
                  "setCredentials({username:\"ada\",password:\"secret\",});loadingDone();");
        SettleUntilOpaque(login, W * H);
        Canvas a(W, H);
        a.Plain(0, 0, 0);
        Put(a, login, W, H);
        EXPECT_TRUE(a.Write("login" + tag));
        EXPECT_EQ(Opaque(login), W * H);  // drawn alone on black: it paints its own background

        View& lobby = Get("Lobby", W, H);
        View& top = Get("TopBox", W, H);
        Do(lobby, kLoginReset + kUserName + kLobbyName + "inbzSetVersion({version:\"0.1.777\",});");
        Do(top, "inbzSetFps({fps:59.6667});");
        Canvas b(W, H);
        Put(b, lobby, W, H);
        Put(b, top, W, H);
        EXPECT_TRUE(b.Write("lobby_empty" + tag));
        Do(lobby, BusyLobby());
        Canvas c(W, H);
        Put(c, lobby, W, H);
        Put(c, top, W, H);
        EXPECT_TRUE(c.Write("lobby_busy" + tag));
    }
    View& login = Get("Login", 1024, 647);
    Do(login, "logout(); loginErrorNotice();");
    Canvas e(1024, 647);
    Put(e, login, 1024, 647);
    EXPECT_TRUE(e.Write("login_error"));

    // No lobby answers; then a login the server never answered.
    View& small = Get("Login", 1020, 647);
    Do(small, "updateLobbies([],{tried:[\"127.0.0.1:42147\",\"127.0.0.1:42148\",\"127.0.0.1:42149\"]});"
              "connectionNotice({text:'No answer from Players Lounge: the connection was closed. Please try again.'});");
    Canvas n(1020, 647);
    Put(n, small, 1020, 647);
    EXPECT_TRUE(n.Write("login_no_lobby"));
    EXPECT_NE(Eval(small, "document.getElementById('lobby_list').textContent").get<std::string>().find("127.0.0.1:42149"), std::string::npos);

    // A link notice in the top bar stays inside the window.
    View& lobby = Get("Lobby", 1020, 647);
    View& top = Get("TopBox", 1020, 647);
    Do(top, "inbzNotice({text:'The link could not be opened in your web browser: https://www.baizeron.example/"
            "help-and-answers-to-the-questions-players-ask-most-often?section=getting-started',duration:60000,});");
    Canvas l(1020, 647);
    Put(l, lobby, 1020, 647);
    Put(l, top, 1020, 647);
    EXPECT_TRUE(l.Write("lobby_link_notice"));
    EXPECT_EQ(Eval(top, "(function () { var b = document.getElementById('notice_text').getBoundingClientRect();"
                        " return b.left >= 0 && b.right <= innerWidth && b.top >= 0 && b.bottom <= innerHeight; })()"),
              true);
}

TEST_F(PageScreensTest, TableInPlayStartMatchCoinTossAndReplay) {
    for (const auto& s : kSizes) {
        int W = s[0], H = s[1];
        std::string tag = "_" + std::to_string(W) + "x" + std::to_string(H);
        View& bottom = Get("BottomBox", W, H);
        View& top = Get("TopBox", W, H);
        Do(bottom, TableInPlay());
        Do(top, kTopBreak + "inbzNotice({text:'Foul: 4 points to Cy',duration:60000,});");
        Canvas c(W, H);
        c.Table();
        Put(c, bottom, W, H);
        Put(c, top, W, H);
        EXPECT_TRUE(c.Write("table_play" + tag));
        EXPECT_GT(Opaque(top), 0);

        Do(bottom, "inbzSetSize({isFullSize:false});inbzRerackRequested();");
        Canvas d(W, H);
        d.Table();
        Put(d, bottom, W, H, 130);
        Put(d, top, W, H);
        EXPECT_TRUE(d.Write("table_short" + tag));
        Do(bottom, "inbzSetSize({isFullSize:true});inbzShotStarted();");
    }
    const int W = 1024, H = 647;
    View& bottom = Get("BottomBox", W, H);
    View& top = Get("TopBox", W, H);
    View& start = Get("StartMatch", W, H);
    Do(bottom, "inbzUpdatePlayerNames({player1: 'Ada',player2: 'Cy',});");
    Do(start, "asPlayerTwoPlayersNoStart(false,false,-1,false);");
    Canvas c(W, H);
    c.Table();
    Put(c, bottom, W, H);
    Put(c, top, W, H);
    Put(c, start, W, H);
    EXPECT_TRUE(c.Write("start_match"));

    View& toss = Get("CoinToss", W, H);
    Do(toss, "inbzCoinTossResult({iAmTheWinner: true,opponentName: 'Cy',});");
    Canvas t(W, H);
    t.Table();
    Put(t, bottom, W, H);
    Put(t, toss, W, H);
    EXPECT_TRUE(t.Write("coin_toss"));
    Do(toss, "inbzTutResult({passed:true});");
    Canvas tr(W, H);
    tr.Table();
    Put(tr, toss, W, H);
    EXPECT_TRUE(tr.Write("tutorial_result"));

    Do(bottom, "inbzEnterReplayMode();inbzSetReplayFramePosition({frameNumber: 2,numberOfFrames: 5,});"
               "inbzSetReplayShotPosition({shotNumber: 9,numberOfShots: 40,});inbzSetReplayPlaying({replayPlaying: true,replayT: 0,});"
               "inbzSetReplayFrameTime({replayT: 125000,replayTotalFrameTime: 612000,});inbzReplayShowFrameBox({show: true});"
               "inbzSetReplayBreaks([{byPlayer:0,score: 56,shotNumberStart: 3,shotNumberEnd: 14,t: 30000,duration: 200000,},"
               "{byPlayer:1,score: 33,shotNumberStart: 20,shotNumberEnd: 27,t: 300000,duration: 100000,},]);"
               "inbzSetReplayMarkedShots([5,12,]);");
    Canvas r(W, H);
    r.Table();
    Put(r, bottom, W, H, 229);
    EXPECT_TRUE(r.Write("replay_bar"));

    Do(bottom, "inbzEnterTutorial();inbzStopTutorialTopic();inbzSetTutorialStatus({tutStatusString: '11010000',});"
               "inbzStartTutorialTopic({topic: 3,});");
    Canvas tu(W, H);
    tu.Table();
    Put(tu, bottom, W, H);
    EXPECT_TRUE(tu.Write("tutorial_bar"));
}

// Each dialog open, over the lobby (with its mask) or over the table.
// The table bar with the pointer resting on an icon button: the page's own tooltip.
TEST_F(PageScreensTest, TableBarTooltip) {
    const int W = 1020, H = 647;
    View& bottom = Get("BottomBox", W, H);
    Do(bottom, TableInPlay());
    Json at = Eval(bottom, "(function () { var b = document.querySelector('#b_fold').getBoundingClientRect(); return [b.left + b.width / 2, b.top + b.height / 2]; })()");
    ASSERT_TRUE(at.is_array());
    bottom.browser->GetHost()->SendMouseMoveEvent(MouseEvent{int(at[0].get<double>()), int(at[1].get<double>()), 0}, false);
    PumpFor(900);
    Settle(bottom);
    Canvas c(W, H);
    c.Table();
    Put(c, bottom, W, H);
    EXPECT_TRUE(c.Write("table_bar_tooltip"));
    EXPECT_EQ(Eval(bottom, "document.querySelector('.bz-tip').textContent"), "Fold or unfold");
}

// Every dialog at the smallest window and at a common one; none may scroll sideways.
TEST_F(PageScreensTest, Dialogs) {
  for (const auto& size : {std::pair{1020, 647}, std::pair{1600, 900}}) {
    const int W = size.first, H = size.second;
    const std::string suffix = W == 1020 ? "" : "_" + std::to_string(W);
    View& lobby = Get("Lobby", W, H);
    Do(lobby, BusyLobby() + "$('.lmask').show();");
    View& bottom = Get("BottomBox", W, H);
    Do(bottom, TableInPlay());
    struct Shot { const char* name; const char* window; std::string statements; bool overLobby; };
    const std::vector<Shot> shots = {
        {"settings_game", "GameSettings", ContractStatements().at("GameSettings")[0], true},
        {"settings_display", "GameSettings", ContractStatements().at("GameSettings")[0] +
                                             "document.querySelector('[data-tab=display]').click();", true},
        {"settings_sound", "GameSettings", ContractStatements().at("GameSettings")[0] +
                                           "document.querySelector('[data-tab=sound]').click();", true},
        {"settings_chat", "GameSettings", ContractStatements().at("GameSettings")[0] +
                                          "document.querySelector('[data-tab=chat]').click();", true},
        {"settings_match", "GameSettings", "inbzOpenMatchSettings({isHost: 1,difficulty: 1,gameType: 1,matchLength: 7,"
                                           "autoConcedeLimit: 12,arena: 0,shotTimeLimit: 60,});", false},
        {"settings_account", "GameSettings", ContractStatements().at("GameSettings")[2], true},
        {"alert_leave", "Alerts", "inbzOpenLeaveWarning();", false},
        {"alert_replay", "Alerts", "inbzOpenReplayWarning();", true},
        {"people", "People", std::string(kUserName) + kTableInfo + kUserListX + kPairs + "inbzOpenPeople({userToBlock:''});", false},
        {"invites", "Invites", ContractStatements().at("Invites")[1] +
                                   "inbzInviteInfo({id: 5,inviter: 'Eve',state: 'Active',table: 8,gameType: 2,tableType: 1,bestOf: 1,"
                                   "maxShotTime: 0,rank: 3,rating: 1890,form: 1,userType: 0,});", true},
        {"tasks", "Tasks", ContractStatements().at("Tasks")[3], true},
        {"match_stats", "MatchStats", "inbzUpdateMatchStats({ forCurrentMatch: false,match_id: 98,match_state: 2,"
                                      "idata: [312,255,44,31,88,74,6,4,71,62,104,56,2,1,3,5,7,9,21,25,4,3,],sdata: ['Ada','Cy',],});"
                                      "inbzOpenMatchStats({idx:1});", false},
        {"lineup", "MatchStats", "inbzOpenLineUp();", false},
        {"cue_store", "CueStore", "inbzSetMyCueInfo({cue:1,kred:1250,cue_parts:[1,2,3],cues:'0110'});"
                                  "inbzSetCueList([{name:'Oak',price:500},{name:'Ebony',price:2000},{name:'Maple',price:750},"
                                  "{name:'Carbon',price:5000},{name:'Walnut',price:1200}]);inbzSetCueUrl({index:1,url:'https://example.org/cues/1',});", true},
        {"replays", "Replays", "inbzSetReplaySettings({ aimLinesShow:true,aimingProcessShow:false,})"
                               "\n;inbzSetMyFavIds(['s/99.2.14']);inbzReplaySearchResults([{objid:'m/99',title:'Ada v Cy, Winter Open final',"
                               "date:'2026-12-01'},{objid:'s/99.2.14',title:'Long red to the corner',date:'2026-12-01'},"
                               "{objid:'f/98.3',title:'Frame 3: 104 break',date:'2026-11-28'}]);", true},
        {"bio", "BioTut", std::string(kUserInfo) + "inbzInfoUserName({ userName: 'Cy'});"
                          "inbzOpenBio(['Ada','x','y','Wales','I like long pots and slow safeties.',]);"
                          "inbzBioResults({username:'Ada',frames: ['Ada 71 - 12 Cy','Ada 3 - 64 Eve','Ada 88 - 40 Bo',]});", true},
        {"tutorial", "BioTut", "inbzOpenTut({topic:3});", false},
        {"controls", "BioTut", "inbzOpenCtr();", false},
    };
    for (const Shot& s : shots) {
        SCOPED_TRACE(s.name);
        View& v = Get(s.window, W, H);
        Do(v, s.statements);
        SettleUntilOpaque(v, v.render->paintWidth * v.render->paintHeight / 4 + 1);
        Canvas c(W, H);
        if (s.overLobby) {
            Put(c, lobby, W, H);
        } else {
            c.Table();
            Put(c, bottom, W, H);
        }
        Put(c, v, W, H);
        EXPECT_TRUE(c.Write(s.name + suffix));
        EXPECT_GT(Opaque(v), v.render->paintWidth * v.render->paintHeight / 4) << "the dialog drew too little";
        EXPECT_EQ(Eval(v, "Array.from(document.querySelectorAll('body, .dlg, .dlg-body, .dlg-body *')).filter(function (e) {"
                          " return e.getClientRects().length && getComputedStyle(e).overflowX !== 'hidden' && e.scrollWidth > e.clientWidth + 1"
                          " && (e === document.body || getComputedStyle(e).overflowX !== 'visible'); })"
                          ".map(function (e) { return e.tagName + '#' + e.id + '.' + e.className; })"),
                  Json::array())
            << s.name << " at " << W << " x " << H << " scrolls sideways";
    }
  }
}

}  // namespace
}  // namespace pagetest
