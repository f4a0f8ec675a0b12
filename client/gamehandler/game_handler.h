// The one game controller: the game as this client sees it. A plain object with public data, built
// once on first use (getGameHandler) and kept until exit. Its data is grouped by concern into the
// state structs it inherits, each in its own header, so that every field is still `gh.field`:
//   session_state.h  folders, login, own user, lobby, account   table_state.h   the table, parked status
//   aiming_state.h   aim, prediction, mouse drags, the shot      camera_state.h  camera, view, projection
//   replay_state.h   the replay player                          panels_state.h  layout, panels, settings
//   timing_state.h   clocks and frame pacing
// An operation that needs one struct's data only (and free functions) is that struct's method,
// declared in its header; through the inheritance it is still `gh.method()`. The operations that
// reach into more than one struct are GameHandler's, declared below by concern. Each operation is
// defined in the file of its concern:
//   game_handler.cpp   construction, folders, init          seats.cpp       seats, roles, turns
//   notices.cpp        notices, concede button, links        session.cpp     preferences, start of play
//   message_queue.cpp  the per-frame drain, deferred chat    state_change.*  changeState
//   requests.*, table_requests.cpp  the request senders      login_steps.*   the login outcomes
//   page_statements.*  how statements are written and run into the pages
//   players.cpp        the player registry                  chat_display.cpp  chat lines, local notices
//   owners.cpp         what a frame, a table and a replay set back when they end
//   client/panels/     the dialog panels, settings panels, settings apply
// and, in the dispatch library (dispatch/), processMessage. Wholly in a state struct: notices.cpp,
// players.cpp (SessionState's), page_requests.cpp (TableState's and PanelsState's).
// Everything here runs on the main thread and takes no lock.
#pragma once

#include "client/gamehandler/aiming_state.h"
#include "client/gamehandler/camera_state.h"
#include "client/gamehandler/game_settings.h"
#include "client/gamehandler/panels_state.h"
#include "client/gamehandler/replay_state.h"
#include "client/gamehandler/replay_text.h"
#include "client/gamehandler/requests.h"
#include "client/gamehandler/session_state.h"
#include "client/gamehandler/table_state.h"
#include "client/gamehandler/timing_state.h"
#include "core/page_script.h"
#include "net/game_status.h"
#include "net/message.h"
#include "physics/shot_stepper.h"
#include "physics/table.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class GameHandler;
union SDL_Event;

// The dispatch of one received message, run on the main thread with no lock held. The message
// dispatch installs its handler here (installMessageDispatch, dispatch/process_message.h); without
// one, drained messages are only logged.
using MessageProcessor = void (*)(GameHandler& gameHandler, const Message& message);
MessageProcessor setMessageProcessor(MessageProcessor processor);

// The GL-side steps of init ("glGenVertexArrays", "initShaderProgram", "initBallPositions"), which the
// renderer performs; init logs each step's name and then calls the hook with it. Without a hook the
// steps are only logged.
using InitStepHook = void (*)(GameHandler& gameHandler, const char* step);
InitStepHook setInitStepHook(InitStepHook hook);

// The client version that every login reports to the server and shows in the Lobby page.
inline constexpr const char* CLIENT_VERSION = "0.1.777";

// The most messages one frame's drain hands to the dispatch; the rest wait for the next frame.
inline constexpr int MAX_MESSAGES_PER_FRAME = 500;
// Chat held back for a shot is shown at the latest this long (game clock seconds) after the first
// held line, so a status that never comes cannot hide the chat.
inline constexpr double MAX_CHAT_DEFERRAL_SECONDS = 20.0;

// Each field lives in exactly one of the bases; none of their initialisers reads another base.
class GameHandler : public TimingState,
                    public SessionState,
                    public TableState,
                    public AimingState,
                    public CameraState,
                    public ReplayState,
                    public PanelsState {
public:
    GameHandler();
    GameHandler(const GameHandler&) = delete;
    GameHandler& operator=(const GameHandler&) = delete;

    // ===== SessionState: start-up, preferences, the start of play and the message dispatch (the folders,
    // the preference files, the player registry, the notices and the Arezors are SessionState's) =====
    // ---- start-up (game_handler.cpp)
    // The GL-side start-up, once after the GL context exists: folders, the start view's camera,
    // the renderer's steps (InitStepHook), the look-at up vector and the ball ids (Ghost -1).
    void init();

    // ---- preferences and the start of play (session.cpp)
    // Loads the stored settings; a file that cannot be opened at all (first run) arms the lobby's
    // mouse-or-touchpad question.
    void loadGameSettingsPrefs(GameSettings& settings);
    // The start of play after a successful login: resets the per-login state and the pages that
    // keep per-login content, and sends the first requests of every login.
    void startSession(const std::string& serverName, const std::string& userName);

    // ---- the message drain and held chat (message_queue.cpp)
    // Hands the connection's received messages to the dispatch, oldest first and at most
    // MAX_MESSAGES_PER_FRAME per call, applying the login steps queued among them in their place;
    // then shows held chat whose shot is over (flushDeferredChatIfDue). Once per frame.
    void processMessageQueue();
    // Shows the held chat when the balls are at rest and no status is parked, or when the oldest
    // held line has waited MAX_CHAT_DEFERRAL_SECONDS.
    void flushDeferredChatIfDue();
    // Shows every held chat line in arrival order and empties the list (the shot's end calls it).
    void showDeferredChat();

    // ---- dispatch library (dispatch/)
    // Acts on one server message (or one rebuilt by the replay player). Never fails.
    void processMessage(const Message& message);
    // ---- the chat display (chat_display.cpp)
    // Shows one chat line in the Lobby and/or BottomBox page; tableOnly: the table chat only.
    void displayChatMessage(const Message& chat, bool tableOnly);
    // A line of the client's own (class LOCAL_NOTICE) shown at once; never sent.
    void showLocalNotice(const std::string& text, int tableId);

    // ===== TableState: seats, roles, turns, the game status and the end of a shot (the seat and turn
    // queries, the moving-balls test, the start view's balls and the status hook are TableState's) =====
    // ---- seats, roles and turns (seats.cpp)
    bool isMyTurnLive() const;
    bool isOpponentsTurnLive() const;
    bool amISeated() const;
    void checkBetaLobby();

    // ---- table entry, game status and the end of a shot (dispatch/table_entry.cpp, game_status.cpp,
    // end_of_shot.cpp)
    // Makes a received status (or, with replayStatus, a replayed shot's 49 values) the live status:
    // pages, timers, break display, and at the end of a shot the referee's calls. Ball arrays that are
    // null leave the balls as they are. A status not newer than lastStatusSequence is stale.
    void applyGameStatus(const GameStatus& status, const std::array<BallState, kBallCount>* balls,
                         const std::array<BallState, kBallCount>* savedBalls, int sequence, bool atEndOfShot,
                         const std::vector<int>* replayStatus, double replayT);
    // The referee's and the crowd's calls and the summary notice of a shot just applied.
    void runEndOfShotCalls(int oldBreakScore, const std::array<int32_t, 2>& oldNegativePoints,
                           const std::array<std::string, 2>& statusPlayers);

    // ---- leaving a table (owners.cpp)
    // Sets back everything the table owned (resetTableData), the opponent's live aim and the stroke
    // in flight: the own EXIT_TABLE_INFO, a replay's or a tutorial's end, and every login call it.
    void leaveTable();

    // ---- the start-match buttons (start_match.cpp)
    // Chooses the StartMatch page's buttons from the seats; value: the table number of the table's
    // name, -1 for none.
    void updateStartMatchButtons(int value);

    // ===== AimingState: aim prediction, the HUD, shot controls, the shot and the mouse (the cue stroke's
    // step, the break and ball-on displays and the drag vectors' turn are AimingState's) =====
    // ---- aim prediction (aim_prediction.cpp)
    // Recomputes the prediction for the aiming ball; an index outside 0..24 is refused.
    void updateAim(int aimBall);
    void updateRemoteAim();
    void findElevationThreshold();
    // Whether the cue, raised by the elevation margin, reaches the cue ball past every ball and rail
    // with that aim: the shot and the spin widget's marker ask the same question.
    bool cueClears(const AimParameters& a) const;
    // Share (0..1) of the 81 tip heights at 7 degrees whose cue touches a ball or a rail.
    double cueObstruction() const;
    double aimFromDrag();
    int pickBall(int x, int y, double* tableX = nullptr, double* tableZ = nullptr, double* grabAngle = nullptr) const;
    // The shot power, unless a Vidiv Arezor forces one; returns the power now. The cue's pulse runs on
    // without a jump.
    double setShotPower(double power);

    // ---- aiming HUD layout and the POV offer (hud_layout.cpp)
    // The bar column's geometry in viewport pixels (y up); drawing and the mouse share it.
    struct PowerBarLayout {
        int barLeft, barBottom, barRight, powerTop, powerKnobY, barTop;
        int knobLeft, elevationBottom, knobRight, elevationTop, elevationKnobY;
    };
    PowerBarLayout getPowerBarLayout() const;
    // The spin widget's lower-left corner and size by its placement case; a case above 5 leaves
    // the outputs as they were.
    void getQBallWidgetPlacement(int& x, int& y, int& size) const;
    // Snaps a dropped widget to the nearest anchor: the left edge, the HUD column or the right edge.
    void placeQBallWidget(int x, int y);
    // Offers POV mode in the bottom bar; withdrawing it outside a replay leaves POV mode.
    void setPOVModeEnabled(bool enabled);

    // ---- shot controls (shot_controls.cpp)
    bool setSpinFromSelector(int x, int y, bool apply);
    double powerBarValue(int x, int y, bool force) const;
    double elevationBarValue(int x, int y, bool force) const;
    void updateCursorOverSpinSelector(int x, int y, bool mayApply);
    void accumulateDrag(int x, int y, int dx, int dy);
    void captureMouse(int x, int y);

    // ---- shooting and the shot in flight (shot.cpp)
    void shoot(bool received);
    void playReceivedStroke(int nominatedBall, double aimAngle, double power, double topSpin, double sideSpin,
                            double elevation);
    void applyShotStroke();
    // The cue's stroke movement for a SHOT of this power; clockSeconds is the game clock for live
    // strokes and the replay clock for replays.
    void startCueStroke(double power, double clockSeconds);
    void stepBallMotion();
    void updateShot();
    void endShot();
    // endShot's live status: the parked one, its durations counted on to now.
    void applyParkedStatus();

    // ---- mouse input of the game view (mouse_input.cpp)
    void handleMouseEvent(const SDL_Event& event);
    void mouseButton(int button, bool pressed, int x, int y, int clicks);
    void mouseMotion(int x, int y, int dx, int dy);
    void mouseWheel(bool flipped, int x, int y);
    void keyUp(int key);
    // Relative mouse mode off, the pointer back at the drag's press point, shown (mouse_input.cpp).
    void releasePointer();
    // Ends every mouse action of the game view (camera.cpp); the own live aim ends with it.
    void resetAimingState(bool keepPointAiming);

    // ===== CameraState: camera, projection, start view and cue pulse, camera sets, first-person view
    // and camera keys (the look-at, the projections, the camera slots, the 3D view and the pixel
    // conversions are CameraState's) =====
    // ---- view services (view_services.cpp)
    void setCameraPreset(unsigned preset);
    void updateFieldOfView(int width, int height);
    void setViewport(int windowW, int windowH, int drawableW, int drawableH, int topHeight, int bottomHeight);
    // The cue's breathing while aiming, 0..1, at game-clock time t.
    double pulsePhase(double t) const;

    // ---- camera sets, first-person view and camera keys (camera.cpp, camera_pov.cpp, camera_keys.cpp;
    // the first-person step of update in update.cpp)
    void enterOverviewCamera();
    void leaveOverviewCamera();
    // Turns the first-person view on or off; switchPOVMode is the only caller.
    void togglePOVMode();
    // Off when on; on only while there is an aim to look along.
    void switchPOVMode();
    void leavePOVMode();
    // The camera set of this frame (installed as the renderer's camera-mode selector).
    void selectCameraSet();
    // The first-person camera behind the aiming ball (the opponent's outside the own turn) with the
    // listener at its eye; false, nothing moved, without a valid ball or a finite placement.
    bool placePOVCamera();
    // The first-person camera follows the opponent's blended aim (the renderer's live-aim blend).
    void followBlendedAim();
    // The first-person step of update: w and s move the camera in and out, offset and distance ease.
    void stepPOVCamera();
    // The camera keys of the game view; true when the key was one of them (keyDown then ends).
    bool cameraKeyDown(int key);

    // ===== ReplayState: the replay player and the per-frame update (replay_text.cpp, status_text.cpp,
    // replay_playback.cpp, replay_events.cpp, replay_buttons.cpp, update.cpp; pauseReplay is
    // ReplayState's) =====
    // One REPLAY_INFO part: the first starts the text afresh, the last starts the replay.
    void receiveReplayPart(const Message& message);
    void startReplay();
    // The table as it stood before shot replayShotIndex (only for 1 <= index < number of shots).
    void loadReplayShot(bool resetBreakScore);
    void playReplay(bool resetBreakScore);
    void resumeReplay();
    void playReplayEvent(const ReplayEvent& event);
    bool skipReplayEvents();
    void sendReplayCommand(int kind, int id, int a, int b);
    // endShot in replay mode: the shot's recorded status; false (nothing done) outside the shots.
    bool applyReplayShotStatus();
    // Hands a message the replay rebuilt to the installed dispatch, as if the server had sent it.
    void dispatchRebuilt(const Message& message);
    // Once per frame after rendering: modifiers, pockets, cue fade and the replay clock.
    void update();
    // Names of the replay controls; false for any other name.
    bool replayButtonPress(const std::string& name, int idata1, const std::string& sdata1);

    // ===== PanelsState: page requests, page buttons, dialog panels, chat input and the game view's
    // keys (page_requests.cpp, buttons.cpp, ui/page_buttons.cpp, client/panels/, chat_input.cpp,
    // popup_events.cpp, keyboard.cpp; closing a panel, the chat-empty flag, whispering, pasting and the
    // hooks the shell and the HTML layer install are PanelsState's) =====
    // ---- Page requests: what the pages' requests ask of the game controller. Each is declared here,
    // ---- or in the one state struct it needs, for the query dispatcher; until its own work is built
    // ---- it only logs (page_requests.cpp).
    // The page-button dispatcher: the game controller owns the meaning of every button name.
    void buttonPress(const std::string& name, int idata1, const std::string& sdata1);
    // Slash-commands, or the text as a chat line to the lobby (fromLobby) or to the table.
    void sendChatText(const std::string& text, bool fromLobby, bool replayConfirmed);
    void sendStartSingleReq();
    void setViewMode(const std::string& role, const std::string& viewMode);
    // A popup of the bottom bar opened or closed, or one of its foul choices was pressed.
    void onHtmlWindowEvent(const std::string& event, const std::string& what);
    void changePrivacy(int privacy);
    void openGameSettings();
    void resetGameSettings();
    void saveGameSettings(const GameSettings& settings);
    void openMatchSettings();
    void resetMatchSettings();
    void saveMatchSettings(const MatchSettings& settings);
    void openMyAccount();
    void saveMyAccount(const AccountRecord& account);
    void openPeople(const std::string& userToBlock);
    // ---- End of the page requests.

    // The other dialog panels (client/panels/panels.cpp): each opener shows its panel after the open delay
    // and sends the page its content.
    void openBio(const std::vector<std::string>& bioTexts);
    void openTut(int topic);
    void openCtr();
    void openArezor();
    void openVideos();
    void openInvites();
    void openTasks();
    void openLineUp();
    // idx 0: the bottom bar's button (shown there while minimised); 1: the server's request.
    void openMatchStats(int idx);
    void openCueStore();
    void openReplays();
    // A key no page took: true when it nominated a ball or sent a chat command.
    bool keyDown(int key, int x, int y);
};

// The BottomBox statement "inbzUpdateGameStatus({...});" of a status record.
std::string gameStatusStatement(const GameStatus& status, bool atEndOfShot);

// Built on first use (on the main thread, before any other thread exists) and kept until exit.
GameHandler& getGameHandler();
