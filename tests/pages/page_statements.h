// The client's statements, one page at a time, in the exact text the client writes (trailing commas,
// missing semicolons, guards and joined calls included), with sample values.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace pagetest {

// Shapes that several windows receive.
inline const std::string kUserInfo =
    "inbzUserInfo([{userName:'Ada',userType:0,rating:1650,rank:12,flags:0,form:0.75,num_max_p:1,num_max_c:0,hb_p:147,"
    "hb_c:88,inReplayMode:0,},{userName:'Bo\\'s',userType:16,rating:1400,rank:40,flags:1,form:-1.5,num_max_p:0,"
    "num_max_c:0,hb_p:45,hb_c:30,inReplayMode:1,},]);";
inline const std::string kUserName = "inbzInfoUserName({ userName: 'Ada'});";
inline const std::string kTableInfo =
    "inbzTableInfo([{tableId:3,tableName:'Table 3',tableType:1,gameType:1,gameState:1,bestOf:7,maxPointsBehind:0,"
    "maxShotTime:60,privacy:0,arena:0,framesWon1:2,framesWon2:1,player1:'Ada',player2:'Cy',viewers:['Bo\\'s',]},"
    "{tableId:5,tableName:'t7 final',tableType:2,gameType:2,gameState:0,bestOf:1,maxPointsBehind:30,maxShotTime:0,"
    "privacy:2,arena:1,framesWon1:0,framesWon2:0,player1:'Dee',player2:'',viewers:[]},]);inbzTableInfo([]);" +
    std::string("inbzTableInfo([{tableId:3,tableName:'Table 3',tableType:1,gameType:1,gameState:1,bestOf:7,maxPointsBehind:0,"
                "maxShotTime:60,privacy:0,arena:0,framesWon1:2,framesWon2:1,player1:'Ada',player2:'Cy',viewers:['Bo\\'s',]},]);");
inline const std::string kUserListX =
    "inbzUserListInfoX([{userName:'Eve',userType:0,rating:1500,rank:20,flags:2,num_max_p:0,num_max_c:0,hb_p:60,hb_c:0,"
    "replayMode:0,lobby_short_name:'PL',tableId:3,role:'v',logout:0,},]);";
inline const std::string kPairs =
    "inbzUpdateMutedUsers(['Zed',1,'Yan',0,]);inbzUpdateFriends(['Cy',1,'Eve',0,]);"
    "inbzUpdateLobbyNames(['Players Lounge','PL',]);";
inline const std::string kLobbyName = "inbzInfoLobbyName({lobbyName:'Players Lounge'});";
inline const std::string kTourney = "inbzInfoIsTourneyLobby({isTourneyLobby:1});inbzInfoIsTourneyLobby({isTourneyLobby:0});";
inline const std::string kPremium = "inbzInfoPremiumPhase({premiumPhase:2});";
inline const std::string kDelete = "inbzDeleteChatEntries({deleteWhat:0,entries:'7',});";
inline const std::string kExit = "inbzUserExit({userName:'Bo\\'s',});";
inline const std::string kTopStats =
    "inbzUpdateTopStats({statsName:'prohb',data: [{username:'Ada',score:147},{username:'Cy',score:133},]});";
inline const std::string kInvites = "inbzInvitesActive();inbzInvitesEmpty();";
inline const std::string kPm = "inbzNewPmOrInviteFrom({nick: 'Cy'});";
inline const std::string kEmoji = "inbzEmojiStatus({emojiStatus:'11111111111111100000000'});";
inline const std::string kWinner = "inbzSetRecentTourneyWinner({ category: 2,winners: ['Ada',]});";
inline const std::string kChat =
    "inbzAddTextToChat({entryId: 7,chatClass: 0,sender: 'Cy',text1: 'hello <b>all</b>',playerName1: '',text2: '',"
    "playerName2: '',text3: '',});"
    "inbzAddTextToChat({entryId: 8,chatClass: 7,sender: '',text1: 'The Kred Box has opened! <span id=\"kboxCollectId3\">"
    "<a class=\"chatBut\" href=\"#\" onclick=\"sendButtonPress(\\'kbox-collect\\');focusChat();\">Collect Kred</a></span>',"
    "playerName1: '',text2: '',playerName2: '',text3: '',});"
    "inbzAddTextToChat({entryId: 9,chatClass: 7,sender: '',text1: '<i class=\"fa-solid fa-user\"></i> Friend Login: ',"
    "playerName1: 'Cy',text2: ' is online!',playerName2: '',text3: '',});";
inline const std::string kChatControl = "inbzChatControl({cmd: 'chatHistoryAdd',str: 'earlier line',});"
                                        "inbzChatControl({cmd: 'chatUserDelete',str: 'Zed',});";
inline const std::string kLoginReset = "inbzLoginReset();";
inline const std::string kPlayerType = "inbzSetMyPlayerType({ myPlayerType: 144});";

inline std::string GameStatus(int playerOn, int s0, int s1) {
    return "inbzUpdateGameStatus({atEndOfShot: 0,matchDuration: 1834000,frameDuration: 612000,breakDuration: 41000,"
           "players:['Ada','Cy'],striker: " + std::to_string(playerOn) + ",startInfo: 0,playerOn: " + std::to_string(playerOn) +
           ",playerOnFirst: 0,gameType: 1,bestOf: 7,maxShotTime: 60,maxShotTimeNow: 60,maxPointsBehind: 0,gameState: 1,"
           "frameWonBy: -1,matchWonBy: -1,framesWon:[2,1],frameScore:[" + std::to_string(s0) + "," + std::to_string(s1) +
           "],negativePoints:[0,4],frameOverScore:[0,0],breakScore: 24,ballsPotted:[0,4,1,0,0,1,1,1,0,0],bestBreak:[56,33],"
           "bestBreakScore:[56,33],scoreForPocketedBalls: 0,penalty: 0,ballOn: 1,nominatedBall: 0,ballInHand: 0,"
           "respottedBlack: 0,ballOnFull: 0,foul: 0,freeBall: 0,foulAndAMiss: 0,timeout: 0,missCount: 0,timeoutCount: 0,"
           "warningTwoMisses: 0,frameAwardedThreeMisses: 0,frameAwardedThreeTimeouts: 0,concededBy: -1,matchConcededBy: -1,"
           "rerackRequests:[0,0],abortRequests:[0,0],postponeRequests:[0,0],prevBallOn: 1,prevBallOnFull: 0,prevFreeBall: 0,});";
}

// Every function of each page's contract, called with the client's statements.
inline const std::map<std::string, std::vector<std::string>>& ContractStatements() {
    static const std::map<std::string, std::vector<std::string>> s = {
        {"Login", {
            "focusUserName();", "logout();", "logout(); loginErrorNotice();",
            "setCredentials({username:\"ada\",password:\"s3cr\\\"et\",});", "setCredentials({username:\"\",password:\"\",});",
            "updateLobbies([{name:\"Players Lounge\",version:\"2.1\",maxUsers:500,currentUsers:42}]);",
            "updateLobbies([{name:\"\",version:\"\",maxUsers:0,currentUsers:0},{name:\"Club\",version:\"2.1\",maxUsers:100,currentUsers:100}]);",
            "updateLobbies([]);", "updateLobbies([],{tried:[\"127.0.0.1:42147\",\"127.0.0.1:42148\",\"127.0.0.1:42149\"]});",
            "connectionNotice({text:'Connection request when the connection is already alive'});",
            "function loadingDoneCaller() {    if (typeof loadingDone !== 'undefined') {        loadingDone();    }    else {"
            "        setTimeout(loadingDoneCaller, 1000);    }};loadingDoneCaller();"}},
        {"Lobby", {
            kUserInfo, "inbzUserInfo([]);", kUserName, kLoginReset, "inbzSetVersion({version:\"0.1.777\",});", kInvites,
            "inbzSetStatus({flags:0});document.getElementById(\"main_chat_entries\").innerHTML = \"\"",
            "inbzSetStatus({flags:1});", "inbzSetStatus({flags:2});",
            "inbzSetLobbyWidth({lobbyWidth:0});",
            "if (typeof inbzSetLobbyWidth !== 'undefined') {    inbzSetLobbyWidth({        lobbyWidth:1    });}",
            "inbzSetLobbyWidth({lobbyWidth:1});inbzShowMouseOrTouchpadPopUp();",
            "document.getElementById('chat_text_input_id').focus();",
            "updateLobbies([{name:\"Players Lounge\",version:\"2.1\",maxUsers:500,currentUsers:42}]);",
            "if (lastLobbyList != '') { updateLobbies(lastLobbyList); }",
            "$('.lmask').show();", "$('.lmask').hide();",
            "inbzGetUserInfo({userName:'Ada'});", kTableInfo, "inbzSwitchToOnlineTab();", "inbzToggleTopWrap();inbzToggleTopWrap();",
            kChatControl,
            "inbzUpdatePoll({title:'Best arena?',state:'open',remainingMinutes:90,userVote:0,options: [{text:'Club',votes:3},{text:'Hall',votes:5},]});",
            kUserListX, kPairs, "inbzUpdateDailyStats({ dailyStats:[12,345,]});",
            "inbzInfoServerTime({year:2026,month:12,day:9,hour:21,minute:5,second:0,});", kTourney, kPremium, kLobbyName,
            "inbzInfoLobbyNews({lobbyNews:'Weekend cup on Saturday'});",
            "inbzSetCommunityLink({communityLink:'https://example.org/forum'});", kChat, kDelete, kExit, kTopStats,
            "inbzOptionalUpdate();", "inbzTutorialWarning();", "inbzTutorialWarningClose();inbzMandatoryUpdate();",
            "inbzSpecialMajorTournament({title: 'Winter Open', prizePot: 25000, secondsLeft: 7300, dateTime: '2026-12-20 18:00', tid: 4, tableType: 1, });",
            "inbzSetUserFlags({userFlags: 5,});", kPm, kEmoji, "inbzKboxInfo({kred: 50,secondsUntilOpening: 125,});",
            "inbzUpdateCurrentTourney({tid:4,index:0,title:'Winter Open',dt:'2026-12-20',tableType:1,category:2,winnerNick:'Ada',"
            "loserNick:'Cy',winnerFramesWon:4,loserFramesWon:2,round:2,breaks: [{username:'Ada',score:77,},]});",
            "inbzCurrentTourneyEnded({tid:4,index:0,});",
            "inbzUpdateUpcomingTourney({tid:6,index:0,title:'Spring Cup',dt:'2027-03-01 19:00',secondsRemaining:90000,"
            "lobbyName:'Players Lounge',tableType:1,category:1,status:'open',players:[{userId:'17',confirmed:true,},]});",
            "inbzUpdateUpcomingTourneyCount({upcomingTourneyCount:3,});", "inbzUpdateMyUserId({myUserId:17,});", kWinner}},
        {"StartMatch", {
            "asPlayerTwoPlayersStarted(false,false,-1,false);", "asPlayerTwoPlayersNoStart(false,false,-1,false);",
            "asPlayerTwoPlayersNoStart();", "asViewerTwoPlayers(true,true,7,true);", "asPlayerOnePlayer(false,false,-1,false);",
            "asViewerZeroOrOnePlayer(true, false,false,-1,false);", "asViewerZeroOrOnePlayer(false, false,false,-1,true);"}},
        {"CoinToss", {
            "inbzCoinTossResult({iAmTheWinner: true,opponentName: 'Cy',});", "inbzCoinTossResult({iAmTheWinner: false,opponentName: 'Cy',});",
            "inbzTutResult({passed:true});", "inbzTutResult({passed:false});"}},
        {"BottomBox", {
            kUserName, kLoginReset, kInvites, "inbzSetShowLiveAimingIfAvailable({ enabled:true });", kUserInfo,
            "inbzLobbyViewStarted();", "inbzSetSize({isFullSize:false});inbzShowNotification(false);",
            "inbzSetSize({isFullSize:true});inbzShowNotification(false);", "inbzShowNotification(true);",
            "inbzSetPOVModeEnabled({isEnabled: true});", "inbzSetPOVModeEnabled({isEnabled: false});",
            "if (typeof inbzSetShowLiveAimingIcons !== 'undefined') { inbzSetShowLiveAimingIcons({ enabled:true }); }",
            "inbzOpenMatchStatsDiv();", "inbzWhisperPlayer({ username: 'Cy'});", "inbzEnterTable();", GameStatus(0, 31, 7),
            "inbzShotStarted();", "inbzStopShotTimer({player: 1,});inbzStartShotTimer({player: 0,timerSeconds: 60,});",
            "inbzStartShotTimer({player: 1,timerSeconds: 20,});inbzStopShotTimer({player: 0,timerSeconds: 20,});",
            "inbzStopShotTimer({player: 0,});",
            "inbzTimeoutProlongDecidingStart({    opponentName:'Cy',    showAbort:1,    timeoutValue:60,});",
            "inbzTimeoutProlongDecidingStop();",
            "document.getElementsByClassName(\"concede\")[0].disabled = true;if (gs.concededBy < 0) { gs.concededBy = 1; refreshPlayerControls(); }",
            "inbzSetPOVMode({isOn: true});", "inbzSetPOVMode({isOn: false});", "inbzSetView({role: 'p',view: '3',});",
            "inbzSetReplayFrameTime({replayT: 12500,replayTotalFrameTime: 612000,});",
            "inbzSetReplayPlaying({replayPlaying: true, replayT: 500});",
            "inbzSetReplayLoopCurrentShot({ replayLoopCurrentShot:1,})", "inbzReplayLoadPractice({enabled: false});",
            "inbzBallLockToggle();", kChatControl,
            "var qci = document.getElementById(\"kboxCollectId3\"); if (qci != undefined) { qci.innerHTML = \"\"; }",
            "inbzSetReplayShowAimingProcess({ replayShowAimingProcess:1,})",
            "inbzSetReplaySpeed({ replaySpeed:1,replayT:800,replayTimeFactor:0.0599988,})",
            "inbzInfoTableInfo({tableId: 3,tableType: 1});inbzUpdatePlayerNames({player1: 'Ada',player2: 'Cy',});",
            "inbzUpdatePlayerNames({player1: 'Ada',player2: '',});", "inbzLineUpNumber({lineUpNumber: 10});",
            "inbzSetReplayFramePosition({frameNumber: 2,numberOfFrames: 5,});inbzSetReplayShotPosition({shotNumber: 1,numberOfShots: 40,});"
            "inbzSetReplayPlaying({replayPlaying: false,replayT: 0,});inbzSetReplayFrameTime({replayT: 0,replayTotalFrameTime: 612000,});",
            "inbzSetReplayBreaks([{byPlayer:0,score: 56,shotNumberStart: 3,shotNumberEnd: 14,t: 30000,duration: 200000,},]);",
            "inbzSetReplayMarkedShots([5,12,]);", "inbzSetReplayMarkedShots([{shot:3},'x',null]);",
            "inbzReplayShowFrameBox({show: true});", kTableInfo, kPlayerType, kUserListX, kPairs,
            "setTimeout(function(){inbzTimeoutWarningOpen();}, 0);", "setTimeout(function(){inbzMissRuleWarningOpen();}, 0);",
            "inbzRerackRequested();", "inbzAbortionRequested();", kTourney, kPremium, kLobbyName, kDelete, kExit, kTopStats,
            "inbzEnterTutorial();inbzStopTutorialTopic();", "inbzStartTutorialTopic({topic: 3,});",
            "inbzSetTutorialStatus({tutStatusString: '0100',});",
            "inbzStopShotTimer({player: 0,});inbzStopShotTimer({player: 1,});inbzDcTimerStart({opponentName: 'Cy',dcCount: 1,timeoutValue: 90,});",
            "inbzDcTimerStop();", kPm, "inbzSetArezor({dp:'0100000000'});",
            "inbzSetArezorWaitingList([{nick:'Cy'}]);inbzSetArezorWaitingListLimit({limit:3});", kEmoji, kWinner,
            "inbzUpdateMatchStats({ forCurrentMatch: true,match_id: 99,match_state: 1,idata: [31,7,4,1,],sdata: ['Ada','Cy',],});",
            "inbzSetReplayLinesEnabled([true,false]);", "inbzEnterReplayMode();",
            "inbzReplayOpenSave({obj:1,match_id:99,frame_number:2,shot_number:14,player_on:0,keywords:0,notes:'great pot',finalized:0,});",
            kChat, "sendButtonPress('kbox-collect');focusChat();"}},
        {"TopBox", {
            "inbzSetFps({fps:59.6667});", "inbzSetFps({fps:0});",
            "if (typeof inbzShowBreak !== 'undefined') { inbzShowBreak({showBreak: 1}); }",
            "if (typeof inbzShowBallOn !== 'undefined') { inbzShowBallOn({showBallOn: 1}); }",
            "if (typeof inbzSizeAndPlace !== 'undefined') { inbzSizeAndPlace({height: 21,left: 197,right: 229}); }",
            "inbzNotice({text:'Foul: 4 points to Cy',duration:2500,});",
            "inbzSetBreakScore({breakScore: 24,ballsPotted: [0,4,1,0,0,1,1,1,0,0,],lineUpNumber: 0});inbzSetBreakTime({breakTime: 41000});"
            "inbzSetBallOn({ballOn:8,freeBall:0,snookerPlus:0});",
            "inbzToggleNotice();inbzToggleNotice();"}},
        {"GameSettings", {
            "inbzOpenGameSettings({cueBallDesign: 1,ghostCueBall: 1,extendedCueBallLine: 1,whiteLines: 0,thickLines: 1,qBallSize: 1,"
            "errorMargins: 1,aimingMode: 0,reverseAiming: 0,mouseSensitivity: 0,displayMode: 0,arena: 0,vsync: 1,fps: 59.94,"
            "antiAliasing: 4,lightSources: 0,scalingMode: 0,resolutionLimit: 1920,aaResolutionLimit: 0,aaGraphicsDetails: 0,"
            "displayFps: 0,allSounds: 1,ballSounds: 1,ballVolume: 100,refereeSounds: 1,refereeVolume: 100,crowdSounds: 1,"
            "crowdVolume: 100,kredBoxSounds: 1,pmSounds: 1,friendSounds: 1,bigBreakBroadcasts: 1,tournamentBroadcasts: 1,"
            "specloginBroadcasts: 1,tableChatUserInOut: 1,showLiveAimingIcons: 1,ballsPotted: 1,ballOn: 1,friendChat: 1,"
            "lobbyWidth: 1,qballTipSizeScaled: 0,});",
            "inbzOpenMatchSettings({isHost: 1,difficulty: 1,gameType: 1,matchLength: 3,autoConcedeLimit: 10,arena: 0,shotTimeLimit: 90,});",
            "inbzOpenMyAccount({country: 'Wales',aboutMe: 'Cue \\'n\\' chalk',prefTableType: '1',prefBestOf: '7',"
            "prefMaxPointsBehind: '',prefArena: '0',prefMaxShotTime: '60',});"}},
        {"BioTut", {
            kUserInfo, kUserName, kPremium, "inbzOpenBio(['Ada','x','y','Wales','I like long pots',]);", "inbzOpenBio([]);",
            "inbzOpenTut({topic:3});", "inbzStopTutorialTopic();", "inbzOpenCtr();",
            "inbzInitArezorCommands([{name:'/aim',desc:'longer lines'},'/x']);",
            "inbzInitArezorCommands({'/a':'one'});", "inbzInitArezorCommands(null);", "inbzOpenArezor();",
            "inbzSetVideo({title:'Break building',link:'https://example.org/v1',img:'https://example.org/v1.jpg',});",
            "inbzOpenVideos();", "inbzOpenBio(['Ada',]);",
            "inbzBioResults({username:'Ada',frames: ['Ada 71 - 12 Cy','Ada 3 - 64 Eve',]});",
            "inbzRecordsData({nick:'Ada',records:{highestBreak:147},});", "inbzRecordsData({nick:'Ada',records:[1,'two'],});",
            "inbzUpdateButtons({enableFriendButton:true,enableBlockButton:false,bits:4,});",
            "inbzGetUserInfo({userName:'Ada'});"}},
        {"People", {
            kUserInfo, kUserName, kLoginReset, kTableInfo, "inbzSwitchToOnlineTab();", kUserListX, kPairs, kLobbyName, kExit,
            kTopStats, kWinner, "inbzIAmTheHost({ iAmTheHost: true });", "inbzIAmTheHost({ iAmTheHost: false });",
            "inbzOpenPeople({userToBlock:'Zed'});", "inbzOpenPeople({userToBlock:''});"}},
        {"Invites", {
            "inbzInviteReset();",
            "inbzInviteInfo({id: 4,inviter: 'Cy',state: 'Active',table: 3,gameType: 1,tableType: 1,bestOf: 5,maxShotTime: 60,"
            "rank: 12,rating: 1650,form: 1,userType: 0,});",
            "inbzInviteInfo({id: 4,state: 'Expired',});", "inbzInviteInfo({id: 77,state: 'Expired',});"}},
        {"Tasks", {
            kUserInfo, kUserName, kPremium,
            "inbzTaskInfo({levelD: 2,remainingMinutesD: 300,tasksD: [{name: 'Pot 20 reds',score: 12,goal: 20,},{name: 'Win a frame',"
            "score: 1,goal: 1,},],levelM: 1,remainingMinutesM: 30000,tasksM: [{name: 'Make a 50 break',score: 0,goal: 1,},],});"}},
        {"MatchStats", {
            kUserInfo, kUserName, kPremium, "inbzOpenLineUp();",
            "inbzUpdateMatchStats({ forCurrentMatch: false,match_id: 98,match_state: 2,idata: [120,95,44,31,],sdata: ['Ada','Cy',],});",
            "inbzOpenMatchStats({idx:1});", "inbzOpenMatchStats({idx:0});",
            "inbzUpdateMatchStats({ forCurrentMatch: true,match_id: 99,match_state: 1,idata: [31,7,],sdata: ['Ada','Cy',],});",
            "inbzUpdateCurrentMatchStats();", "inbzCloseMatchStats();"}},
        {"CueStore", {
            kEmoji, "inbzSetMyCueInfo({cue:2,kred:1250,cue_parts:[1,2,3],cues:'0110'});",
            "inbzSetCueList([{name:'Oak',price:500},{name:'Ebony',price:2000},'Maple']);", "inbzSetCueList(null);",
            "inbzSetCueUrl({index:1,url:'https://example.org/cues/1',});"}},
        {"Alerts", {"inbzOpenLeaveWarning();", "inbzOpenReplayWarning();"}},
        {"Replays", {
            "inbzSetReplaySettings({ aimLinesShow:true,aimingProcessShow:false,})", "inbzCleanUpAtStart();", kPlayerType,
            "inbzReplayAddToFav({objid: 's/99.2.14'});", "inbzReplayAddToFav({ objid:'f/99.2'});",
            "inbzReplaySearchResults([{objid:'m/99',title:'Ada v Cy',date:'2026-12-01'},'s/1.2.3',{x:1}]);",
            "inbzReplaySearchResults(7);", "inbzInitTop20Lists([{objid:'s/5.1.9',title:'Long red',score:0}]);",
            "inbzInitTop20Lists({'1':[{objid:'s/6.1.1'}],'2':'bad'});", "inbzSetMyFavIds(['s/99.2.14','m/99']);",
            "inbzSetMyFavIds('nonsense');"}},
    };
    return s;
}

}  // namespace pagetest
