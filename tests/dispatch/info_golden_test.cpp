// Golden page statements of the INFO codes that turn one message into statements and nothing else
// (or into a few fields): each row is the message and every statement it must run, window by window.
#include "dispatch_support.h"

#include <string>
#include <vector>

namespace {

using bztest::DispatchTest;

Message info(int code, int a = 0, int b = 0, std::string textA = "", std::string textB = "", std::vector<int32_t> ints = {},
             std::vector<std::string> texts = {}) {
    Message m = Message::initInfo(40, code, a, b, textA, textB);
    m.intList = std::move(ints);
    m.textList = std::move(texts);
    return m;
}

struct Golden {
    const char* name;
    Message message;
    std::vector<std::string> statements;  // "Window|statement", in order
};

std::vector<std::string> ran(const RecordingPageScriptSink& pages) {
    std::vector<std::string> out;
    for (const auto& e : pages.entries()) out.push_back(std::string(htmlWindowName(e.window)) + "|" + e.statement);
    return out;
}

std::vector<int32_t> sequence(int count, int first) {
    std::vector<int32_t> v;
    for (int i = 0; i < count; ++i) v.push_back(first + i);
    return v;
}

std::vector<std::string> names(int count) {
    std::vector<std::string> v;
    for (int i = 0; i < count; ++i) v.push_back("t" + std::to_string(i));
    return v;
}

std::string taskStatement(const std::vector<int32_t>& v) {
    std::string js = "inbzTaskInfo({levelD: " + std::to_string(v[0]) + ",remainingMinutesD: " + std::to_string(v[1]) + ",tasksD: [";
    for (int i = 0; i < 14; ++i) {
        js += "{name: '" + std::string(i == 0 ? "it\\'s" : "t" + std::to_string(i)) + "',score: " + std::to_string(v[2 + 2 * i]) +
              ",goal: " + std::to_string(v[3 + 2 * i]) + ",},";
    }
    js += "],levelM: " + std::to_string(v[31]) + ",remainingMinutesM: " + std::to_string(v[32]) + ",tasksM: [";
    for (int i = 0; i < 14; ++i) {
        js += "{name: 't" + std::to_string(14 + i) + "',score: " + std::to_string(v[33 + 2 * i]) + ",goal: " +
              std::to_string(v[34 + 2 * i]) + ",},";
    }
    return js + "],});";
}

TEST_F(DispatchTest, GoldenStatementsPerCode) {
    const std::vector<Golden> rows = {
        {"invitation expired", info(30, 7, 4), {"Invites|inbzInviteInfo({id: 7,state: 'Expired',});"}},
        {"invitation declined", info(30, 7, 2, "Bob", "", sequence(9, 1)), {}},
        {"invitation negative state", info(30, 7, -1, "Bob", "", sequence(9, 1)), {}},
        {"invitation with eight numbers", info(30, 7, 0, "Bob", "", sequence(8, 1)), {}},
        {"kred box", info(36, 250, 30), {"Lobby|inbzKboxInfo({kred: 250,secondsUntilOpening: 30,});"}},
        {"user id", info(42, 991), {"Lobby|inbzUpdateMyUserId({myUserId:991,});"}},
        {"tourney with nine entries", info(38, 1, 0, "", "", {}, names(9)), {}},
        {"tourney, empty tenth",
         info(38, 4, 1, "", "", {}, {"Spring's Cup", "Sat 10:00", "2", "x", "O'Neil", "Bob", "3", "1", "2", ""}),
         {"Lobby|inbzUpdateCurrentTourney({tid:4,index:1,title:'Spring\\'s Cup',dt:'Sat 10:00',tableType:2,category:0,"
          "winnerNick:'O\\'Neil',loserNick:'Bob',winnerFramesWon:3,loserFramesWon:1,round:2,breaks: []});"}},
        {"tourney breaks stop at an incomplete pair",
         info(38, 4, 1, "", "", {}, {"T", "D", "1", "1", "W", "L", "1", "0", "1", "Ann", "56", "Bo'b"}),
         {"Lobby|inbzUpdateCurrentTourney({tid:4,index:1,title:'T',dt:'D',tableType:1,category:1,winnerNick:'W',"
          "loserNick:'L',winnerFramesWon:1,loserFramesWon:0,round:1,breaks: [{username:'Ann',score:56,},]});"}},
        {"upcoming with players",
         info(40, 8, 0, "", "", {}, {"Cup", "Sun", "3600", "Main", "1", "2", "open", "17", "1", "23", "0", "", "99", "1"}),
         {"Lobby|inbzUpdateUpcomingTourney({tid:8,index:0,title:'Cup',dt:'Sun',secondsRemaining:3600,lobbyName:'Main',"
          "tableType:1,category:2,status:'open',players:[{userId:'17',confirmed:true,},{userId:'23',confirmed:false,},]});"}},
        {"upcoming players stop at an incomplete pair",
         info(40, 8, 0, "", "", {}, {"C", "S", "x", "M", "1", "2", "s", "17"}),
         {"Lobby|inbzUpdateUpcomingTourney({tid:8,index:0,title:'C',dt:'S',secondsRemaining:0,lobbyName:'M',tableType:1,"
          "category:2,status:'s',players:[]});"}},
        {"upcoming with seven entries", info(40, 8, 0, "", "", {}, names(7)), {}},
        {"recent winners, none",
         info(43, 2),
         {"Lobby|inbzSetRecentTourneyWinner({ category: 2,winners: []});",
          "BottomBox|inbzSetRecentTourneyWinner({ category: 2,winners: []});",
          "People|inbzSetRecentTourneyWinner({ category: 2,winners: []});"}},
        {"recent winners escaped",
         info(43, 1, 0, "", "", {}, {"O'Neil"}),
         {"Lobby|inbzSetRecentTourneyWinner({ category: 1,winners: ['O\\'Neil',]});",
          "BottomBox|inbzSetRecentTourneyWinner({ category: 1,winners: ['O\\'Neil',]});",
          "People|inbzSetRecentTourneyWinner({ category: 1,winners: ['O\\'Neil',]});"}},
        {"match stats of the current match, panel closed",
         info(46, 12, 1, "", "", {-1, 5}, {"it's"}),
         {"MatchStats|inbzUpdateMatchStats({ forCurrentMatch: true,match_id: 12,match_state: 1,idata: [-1,5,],"
          "sdata: ['it\\'s',],});",
          "BottomBox|inbzUpdateMatchStats({ forCurrentMatch: true,match_id: 12,match_state: 1,idata: [-1,5,],"
          "sdata: ['it\\'s',],});"}},
        {"records",
         info(63, 0, 0, "O'Neil", "{ \"best\" : [147, 3] }"),
         {"BioTut|inbzRecordsData({nick:'O\\'Neil',records:{\"best\":[147,3]},});"}},
        {"records that are not JSON", info(63, 0, 0, "Bob", "1);alert(1"), {}},
        {"arezor commands", info(47, 0, 0, "[1, \"a\"]"), {"BioTut|inbzInitArezorCommands([1,\"a\"]);"}},
        {"arezor commands refused", info(47, 0, 0, "[1]);evil("), {}},
        {"waiting list, empty text",
         info(50, 4),
         {"BottomBox|inbzSetArezorWaitingList([]);inbzSetArezorWaitingListLimit({limit:4});"}},
        {"waiting list",
         info(50, 6, 0, "[\"Ann\",\"Bob\"]"),
         {"BottomBox|inbzSetArezorWaitingList([\"Ann\",\"Bob\"]);inbzSetArezorWaitingListLimit({limit:6});"}},
        {"emoji status",
         info(49, 0, 0, "01'"),
         {"Lobby|inbzEmojiStatus({emojiStatus:'01\\''});", "BottomBox|inbzEmojiStatus({emojiStatus:'01\\''});",
          "CueStore|inbzEmojiStatus({emojiStatus:'01\\''});"}},
        {"cue kred info, braces", info(51, 3, 900, "{1,2,3}", "a'b"),
         {"CueStore|inbzSetMyCueInfo({cue:3,kred:900,cue_parts:[1,2,3],cues:'a\\'b'});"}},
        {"cue kred info, parts not JSON", info(51, 3, 900, "{1,2,3", ""), {}},
        {"cue list", info(53, 0, 0, "[{\"id\":1}]"), {"CueStore|inbzSetCueList([{\"id\":1}]);"}},
        {"cue address", info(59, 2, 0, "http://x/it's"), {"CueStore|inbzSetCueUrl({index:2,url:'http://x/it\\'s',});"}},
        {"replay search", info(69, 0, 0, "[[1,2]]"), {"Replays|inbzReplaySearchResults([[1,2]]);"}},
        {"replay search refused", info(69, 0, 0, "[1]);x("), {}},
        {"favourite ids", info(71, 0, 0, "[4,5]"), {"Replays|inbzSetMyFavIds([4,5]);"}},
        {"save dialog with five numbers", info(73, 1, 2, "", "", sequence(5, 1)), {}},
        {"poll",
         info(82, 2, 30, "Best'?", "open", {10, 20}, {"a", "b", "c"}),
         {"Lobby|inbzUpdatePoll({title:'Best\\'?',state:'open',remainingMinutes:30,userVote:2,options: "
          "[{text:'a',votes:10},{text:'b',votes:20},]});"}},
        {"poll without votes",
         info(82, 0, 0, "", "", {}, {"a"}),
         {"Lobby|inbzUpdatePoll({title:'',state:'',remainingMinutes:0,userVote:0,options: []});"}},
        {"video without image",
         info(85, 0, 0, "Break", "https://v/1"),
         {"BioTut|inbzSetVideo({title:'Break',link:'https://v/1',img:'',});"}},
        {"muted users, incomplete tail",
         info(87, 0, 0, "", "", {}, {"Ann", "3", "Bo'b"}),
         {"Lobby|inbzUpdateMutedUsers(['Ann',3,]);", "BottomBox|inbzUpdateMutedUsers(['Ann',3,]);",
          "People|inbzUpdateMutedUsers(['Ann',3,]);"}},
        {"lobby names",
         info(89, 0, 0, "", "", {}, {"m", "Main", "x"}),
         {"Lobby|inbzUpdateLobbyNames(['m','Main',]);", "BottomBox|inbzUpdateLobbyNames(['m','Main',]);",
          "People|inbzUpdateLobbyNames(['m','Main',]);"}},
        {"daily stats, none", info(98), {"Lobby|inbzUpdateDailyStats({ dailyStats:[]});"}},
        {"daily stats", info(98, 0, 0, "", "", {3, -4}), {"Lobby|inbzUpdateDailyStats({ dailyStats:[3,-4,]});"}},
        {"marked shots outside a replay", info(80, 0, 1, "1,2"), {}},
    };
    for (const Golden& row : rows) {
        pages.clear();
        gh.processMessage(row.message);
        EXPECT_EQ(ran(pages), row.statements) << row.name;
    }
    EXPECT_EQ(gh.myUserId, 991);
    EXPECT_EQ(gh.kredBoxAmount, 250);
    EXPECT_EQ(gh.emojiStatus, "01'");
    EXPECT_FALSE(gh.invitesPanel.visible);
    EXPECT_FALSE(gh.lineUpPanel.visible);
    for (const char* refusal : {"records", "arezor commands", "cue parts", "replay search results"}) {
        EXPECT_EQ(log.count(std::string("ERROR: Not one JSON value, not shown: ") + refusal), 1) << refusal;
    }
}

TEST_F(DispatchTest, TasksNeedTheirFullListsAndReportTheMarkers) {
    std::vector<int32_t> ints = sequence(62, 100);
    ints[30] = 147;
    ints[61] = 155;
    std::vector<std::string> texts = names(28);
    texts[0] = "it's";
    gh.processMessage(info(35, 0, 0, "", "", ints, texts));
    EXPECT_EQ(ran(pages), std::vector<std::string>{"Tasks|" + taskStatement(ints)});
    EXPECT_EQ(log.count("taskInfo OK, js=inbzTaskInfo("), 1);

    pages.clear();
    ints[30] = 146;
    gh.processMessage(info(35, 0, 0, "", "", ints, texts));
    EXPECT_EQ(ran(pages), std::vector<std::string>{"Tasks|" + taskStatement(ints)});
    EXPECT_EQ(log.count("ERROR: taskInfo ERROR, js=inbzTaskInfo("), 1);

    for (auto [intCount, textCount] : {std::pair{61, 28}, std::pair{62, 27}}) {
        pages.clear();
        gh.processMessage(info(35, 0, 0, "", "", sequence(intCount, 0), names(textCount)));
        EXPECT_TRUE(pages.entries().empty());
    }
    EXPECT_EQ(log.count("ERROR: Too few data elements in message."), 2);
}

TEST_F(DispatchTest, DisconnectsStopTheRightTimers) {
    Player ann{"Ann"};
    Player bob{"O'Bob"};
    gh.liveStatus->players[0] = &ann;
    gh.liveStatus->players[1] = &bob;
    gh.liveStatus->playerOn = 1;
    struct Row {
        int gameState;
        const char* user;
        std::vector<std::string> statements;
    } rows[] = {
        {1, "O'Bob",
         {"BottomBox|inbzStopShotTimer({player: 0,});inbzStopShotTimer({player: 1,});"
          "inbzDcTimerStart({opponentName: 'O\\'Bob',dcCount: 2,timeoutValue: 60,});"}},
        {1, "Ann", {"BottomBox|inbzTimeoutProlongDecidingStop();inbzDcTimerStart({opponentName: 'Ann',dcCount: 2,timeoutValue: 60,});"}},
        {0, "Ann", {}},
    };
    for (const Row& row : rows) {
        pages.clear();
        gh.liveStatus->gameState = row.gameState;
        gh.processMessage(info(27, 2, 60, row.user));
        gh.processMessage(info(28));
        std::vector<std::string> expected = row.statements;
        if (row.gameState == 1) expected.push_back("BottomBox|inbzDcTimerStop();");
        EXPECT_EQ(ran(pages), expected) << row.user;
    }
    EXPECT_EQ(log.count("USER_DC(O'Bob, 2, 60) received"), 1);
}

TEST_F(DispatchTest, UserListRecordsSkipExtrasAndDropACutRecord) {
    std::vector<std::string> first = {"Ann", "65601", "1500", "3", "4", "5", "6", "7", "8", "0", "m'x", "12", "p", "0"};
    std::vector<std::string> texts = first;
    texts.insert(texts.end(), {"extra1", "extra2", "@END@"});
    std::vector<std::string> second = first;
    second[0] = "Bob";
    second[2] = "-1";
    texts.insert(texts.end(), second.begin(), second.end());
    texts.insert(texts.end(), {"@END@", "Cut", "1"});
    gh.bioTutPanel.visible = true;
    gh.bioUserName = "O'Neil";
    gh.processMessage(info(86, 0, 0, "", "", {}, texts));
    const std::string record = "userType:65,rating:1500,rank:3,flags:4,num_max_p:5,num_max_c:6,hb_p:7,hb_c:8,"
                               "replayMode:0,lobby_short_name:'m\\'x',tableId:12,role:'p',logout:0,},";
    const std::string bobRecord = "userType:65,rating:4294967295,rank:3,flags:4,num_max_p:5,num_max_c:6,hb_p:7,hb_c:8,"
                                  "replayMode:0,lobby_short_name:'m\\'x',tableId:12,role:'p',logout:0,},";
    const std::string js = "inbzUserListInfoX([{userName:'Ann'," + record + "{userName:'Bob'," + bobRecord + "]);";
    EXPECT_EQ(ran(pages), (std::vector<std::string>{"Lobby|" + js, "BottomBox|" + js, "People|" + js,
                                                    "Lobby|inbzGetUserInfo({userName:'O\\'Neil'});"}));

    pages.clear();
    gh.processMessage(info(88, 0, 0, "", "", {}, {"Ann", "1"}));
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby),
              (std::vector<std::string>{"inbzUpdateFriends(['Ann',1,]);", "inbzGetUserInfo({userName:'O\\'Neil'});"}));
    // The blocked list changes the bio's Block button as the friends change its friend button.
    pages.clear();
    gh.processMessage(info(87, 0, 0, "", "", {}, {"O'Neil", "1"}));
    EXPECT_EQ(pages.statementsFor(HtmlWindow::Lobby),
              (std::vector<std::string>{"inbzUpdateMutedUsers(['O\\'Neil',1,]);", "inbzGetUserInfo({userName:'O\\'Neil'});"}));
    gh.processMessage(info(92, 0, 0, "Carol"));
    EXPECT_EQ(gh.bioUserName, "Carol");
}

}  // namespace
