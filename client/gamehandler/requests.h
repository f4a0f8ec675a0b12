// The request senders: the only way the client asks the game server for something. Each builds one
// message (two for sendMyAccount) with the next sequence number and queues it on the connection
// handler; none waits for an answer, which arrives as an ordinary server message. A request is
// queued whether or not a connection is up; its fate is that of the outgoing queue.
#pragma once

#include <cstdint>
#include <string>

class GameHandler;
enum class InfoCode : int32_t;

// An INFO request with its two numbers and two texts; nothing without a connection handler.
void sendInfo(InfoCode code, int32_t valueA, int32_t valueB, const std::string& textA = "", const std::string& textB = "");

// The match settings of a table, as the StartMatch page and the table's privacy change give them.
struct MatchSettings {
    int32_t difficulty = 0;  // the table type
    int32_t gameType = 0;
    int32_t matchLength = 0;       // frames to play
    int32_t autoConcedeLimit = 0;  // the largest points deficit before the frame is conceded
    int32_t arena = 0;
    int32_t shotTimeLimit = 0;
};

// The account panel's texts, as the page sends them.
struct AccountRecord {
    std::string country;
    std::string aboutMe;
    std::string prefTableType;
    std::string prefBestOf;
    std::string prefMaxPointsBehind;
    std::string prefArena;
    std::string prefMaxShotTime;
};

// Table requests. The stop-play and exit requests name the table the game controller holds.
void sendEnterTableReq(GameHandler& gh, int tableId);
void sendPlayTableReq(GameHandler& gh, int tableId);
void sendStopPlayTableReq(GameHandler& gh);
void sendExitTableReq(GameHandler& gh);
// The current table's id, name and privacy with the given settings.
void sendTableSettingsReq(GameHandler& gh, const MatchSettings& settings);
// The settings of the loaded replay for the practice table it goes on at (no shot clock, public).
void sendReplayTableSettingsReq(GameHandler& gh);
// Queues the logout, resets the Login page and arms the disconnect two seconds of game time later.
void sendLogout(GameHandler& gh);

// INFO requests.
void sendBioDataReq(const std::string& userName);
// Sets the bits of the user's flag word named by mask to those of value.
void sendUserFlagInfo(uint32_t value, uint32_t mask);
void sendLoginUserList(GameHandler& gh, const std::string& userList, const std::string& failedUserList);
void sendVersion(GameHandler& gh, const std::string& version);
// ACCOUNT_INFO with country and about-me, then USER_PREFERENCES with the five preferences.
void sendMyAccount(GameHandler& gh, const AccountRecord& account);
// The two replay display switches, sent and shown in the Replays page.
void sendReplaySettings(GameHandler& gh);
void sendReplayPosition(GameHandler& gh, int a, int b, int c, int d);
void sendReplaySaveReq(GameHandler& gh, const std::string& text);

// Table events: one TABLE_EVENT message holding one event, oid and stamp 0.
void sendBallPlaced(GameHandler& gh, int ballId, double x, double z);
void sendBallRemoved(GameHandler& gh, int ballId);
void sendNominatedBall(GameHandler& gh, int value);

// Live aim from the game controller's current aim. A move is sent at most every 0.25 s after the
// last start or move; the end is not sent for a user whose live aim is not shared.
void sendLiveAimStart(GameHandler& gh);
void sendLiveAimMove(GameHandler& gh);
void sendLiveAimSet(GameHandler& gh);
void sendLiveAimEnd(GameHandler& gh);
// The move the limit held back, once its quarter second is over, while the aim goes on.
void sendHeldLiveAimMove(GameHandler& gh);
// Whether the live aim is shared at all: force sends whatever the user's own flag says.
void shareLiveAimStart(GameHandler& gh, bool force);
void shareLiveAimMove(GameHandler& gh);
void shareLiveAimSet(GameHandler& gh, bool force);

// The own stroke. Records when it was sent; the stroke itself is simulated when the server echoes it.
void sendShot(GameHandler& gh, int nominatedBall, double aimAngle, double power, double topSpin, double sideSpin,
              double elevation);
// The answer to the opponent's foul.
void sendFoulPlayOn();
void sendFoulRetake();

// Requests of a seated player. Each takes its sequence number first; a user in neither seat is
// refused with one ERROR line and nothing is sent.
void sendStartReq(GameHandler& gh);
void sendUnstartReq(GameHandler& gh);
// The toss winner's choice: the own seat breaks when iWillStart, else the other one.
void sendStartedAfterCoinToss(GameHandler& gh, bool iWillStart);
void sendFrameConceded(GameHandler& gh);
void sendRerackReq(GameHandler& gh);
void sendRerackAcc(GameHandler& gh);
void sendRerackDecl(GameHandler& gh);
void sendAbortReq(GameHandler& gh);
void sendAbortAcc(GameHandler& gh);
void sendAbortDecl(GameHandler& gh);
