// The one game controller: the game as this client sees it. A plain object with public data, built
// once on first use (getGameHandler) and kept until exit; each group of fields below belongs to the
// code that specifies it. The operations live in one file per concern:
//   game_handler.cpp   construction, folders, init          seats.cpp       seats, roles, turns
//   notices.cpp        notices, concede button, links        session.cpp     preferences, start of play
//   message_queue.cpp  the per-frame drain, deferred chat    state_change.*  changeState
//   requests.*, table_requests.cpp  the request senders      login_steps.*   the login outcomes
//   page_statements.*  how statements are written and run into the pages
// the player registry, the chat display and the panels (players.cpp, chat_display.cpp, client/panels/),
// and, in the dispatch library (dispatch/), processMessage.
// Everything here runs on the main thread and takes no lock.
#pragma once

#include "client/gamehandler/game_settings.h"
#include "client/gamehandler/replay_text.h"
#include "client/gamehandler/requests.h"
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

// A target area drawn on the table bed during a tutorial topic: corners in table-bed millimetres
// (centre 0) and which of the two mark textures it shows (0 or 1).
struct TutorialMark {
    float x1 = 0, z1 = 0, x2 = 0, z2 = 0;
    int texture = 0;
    bool operator==(const TutorialMark&) const = default;
};

// The camera record the renderer reads; floats.
struct Camera {
    float position[3] = {0.0f, 5.0f, 9.0f};
    float front[3] = {0.0f, 0.0f, -1.0f};
    float up[3] = {0.0f, 1.0f, 0.0f};
    float right[3] = {1.0f, 0.0f, 0.0f};
    float worldUp[3] = {0.0f, 1.0f, 0.0f};
    float yaw = -90.0f;
    float pitch = 0.0f;
    float movementSpeed = 250.0f;
    float mouseSensitivity = 0.1f;
    float zoom = 40.0f;
};

// A free-camera position of the keyboard's camera slots.
struct FreeCameraSlot {
    double target[3] = {0.0, 45.0, 0.0};
    double eye[3] = {-5400.0, 1200.0, 0.0};
    double up[3] = {0.0, 1.0, 0.0};
    double yaw = 180.0;
};

// One HTML panel: shown or not, and the game-clock time at which it was last opened.
struct PanelSlot {
    bool visible = false;
    double openedAt = 0.0;
};

using RgbColour = std::array<uint8_t, 3>;

class GameHandler {
public:
    GameHandler();
    GameHandler(const GameHandler&) = delete;
    GameHandler& operator=(const GameHandler&) = delete;

    // --- clock and pacing (the frame loop) ---
    bool framePacing = true;
    double maxFps = 60.0;
    // Frames per second over the last three-second window; 60 until the first window ends.
    float measuredFps = 60.0f;
    // Average frame time over the last 100 frames; the shot simulation advances by it.
    int64_t averageFrameMicros = 0;
    // maxFps changed: the pacing takes the new period.
    bool fpsChanged = true;
    // now in milliseconds, unless a replay drives it.
    int gameClockMs = 0;
    // The own presence bits told to the server; 8 = away.
    int userFlags = 0;

    // --- window layout ---
    // Whether the table chat's input is empty (page request bottomBoxChatTextIsEmpty).
    bool chatTextEmpty = true;
    // The BottomBox shown as its bar only, and its full-size layout.
    bool bottomBoxCollapsed = false;
    bool bottomBoxFullSize = true;
    // What the user last chose with the bar's toggle.
    bool bottomBoxUserCollapsed = false;
    bool bottomBoxUserFullSize = true;
    // The coin-toss window is drawn from this game-clock time on.
    double coinTossOpenTime = 0.0;
    bool topBoxShown = true;
    bool bottomBoxShown = true;
    int bottomBarHeight = 0;

    // --- own user ---
    // The own user type from the user list; 0 after every login. Bit 0x40: live aim not shared.
    uint16_t ownUserType = 0;

    // --- camera look-at, window and mouse ---
    double lookAtEye[3] = {0, 0, 0};
    double lookAtTarget[3] = {0, 0, 0};
    double lookAtUp[3] = {0, 0, 0};
    int windowWidth = 0, windowHeight = 0;
    int drawableWidth = 0, drawableHeight = 0;
    int viewport[4] = {0, 0, 0, 0};
    int mouseX = 0, mouseY = 0;

    // --- settings ---
    GameSettings gameSettings;
    MatchSettings matchSettings{1, 1, 1, 12, 0, 0};
    // The window is in desktop full-screen mode (as the saved settings last set it).
    bool fullScreen = false;
    // This client hosts its table (shown in the match settings; written where the table is entered).
    bool isHost = false;
    // The match statistics sit minimised in the bottom bar until the bar's maximise button.
    bool matchStatsMinimized = false;
    // Whose bio the BioTut page last received, and the bits its buttons were last updated with
    // (-1 after another user's bio was opened).
    std::string bioUserName;
    int bioUserBits = -1;

    // --- HTML panels ---
    PanelSlot gameSettingsPanel;
    PanelSlot matchSettingsPanel;
    PanelSlot myAccountPanel;
    PanelSlot bioTutPanel;
    PanelSlot peoplePanel;
    PanelSlot invitesPanel;
    PanelSlot tasksPanel;
    PanelSlot lineUpPanel;  // line-up and match statistics
    PanelSlot cueStorePanel;
    PanelSlot alertsPanel;
    PanelSlot replaysPanel;
    int leaveWarningAlert = 1;
    bool inTutorial = false;
    int tutorialTopic = 0;
    // Set when the preferences file could not be opened; the lobby then asks mouse or touchpad once.
    bool mouseOrTouchpadPopUpPending = false;

    // --- folders ---
    // The executable's folder and the user's preference folder, each ending with "/"; set by
    // initPaths. The preferences file and the log live in prefPath; empty until then.
    std::string basePath;
    std::string prefPath;

    // --- login state ---
    // The current frame's game clock (seconds since start), stored by the main loop once per frame.
    double now = 0.0;
    std::string lobbyServerName;
    // The user plays in the beta lobby, or against himself elsewhere (checkBetaLobby).
    bool betaLobbyPlayer = false;
    // Per-login state, reset by startSession.
    bool ownUserNameConfirmed = false;
    bool showLastLobbyList = false;
    std::string ownUserName;
    bool loggedIn = false;
    // Nanoseconds since the epoch on the system clock: this login, and the first login of the run.
    int64_t loginWallNanos = 0;
    int64_t firstLoginWallNanos = 0;
    bool firstLoginDone = false;
    bool tutorialWarningPending = true;
    // Set just before the own bio data is requested; the BIO_DATA answer then fills the own record.
    bool ownBioDataPending = false;
    // secondsSinceStart seconds when the last login completed.
    double loginTime = 0.0;

    // --- pre-shot snapshot ---
    Ball snapshotBalls[kBallCount];

    // --- shot start state ---
    // The game clock (now) when the own shot was sent; the shot's echo measures the round trip from it.
    double shotSentAt = 0.0;
    int breakPlayer = -1;
    int lastFrameWonBy = -1;
    int lastBreakScore = 0;

    // --- field of view ---
    double fieldOfViewDegrees = 40.0;
    float fieldOfViewX = 40.0f;  // turned into radians by the viewport code
    float fieldOfViewY = 40.0f;

    Camera camera;

    // --- the table ---
    // The table the user sits at or watches; its privacy travels with the match settings.
    Table table;
    LiveStatus* liveStatus = &table.status;
    int tablePrivacy = 0;

    // --- player registry (players.cpp) ---
    // Every user the server named, in creation order; never pruned, so pointers stay valid.
    std::vector<std::unique_ptr<Player>> players;

    // --- remote aiming: the opponent's live aim ---
    AimParameters remoteAim;
    AimParameters remoteAimFrom;
    AimParameters remoteAimTo;
    bool remoteAimActive = false;
    bool remoteAimShown = false;
    bool remoteAimReceived = false;
    bool remoteAimAnimating = false;
    double remoteAimAnimStart = 0.0;
    double remoteAimAnimEnd = 0.0;

    // --- aim-line colours ---
    std::array<RgbColour, 10> aimLineColours = {{{255, 255, 255}, {255, 0, 0}, {255, 255, 0}, {128, 208, 128},
                                                 {239, 186, 128}, {0, 0, 255}, {255, 180, 218}, {0, 0, 0},
                                                 {255, 165, 0}, {128, 0, 128}}};

    // --- pending status: a game status that arrived while the balls rolled ---
    bool shotAnimating = false;
    bool statusPending = false;
    double statusReceivedAt = 0.0;
    GameStatus pendingStatus;
    std::array<BallState, kBallCount> pendingBalls{};
    std::array<BallState, kBallCount> pendingSavedBalls{};
    int pendingStatusSequence = 0;

    // --- deferred chat ---
    // Deferrable chat that arrived while balls moved, shown in arrival order when they stop.
    std::vector<Message> deferredChatMessages;
    // The game clock when the oldest held line arrived.
    double deferredChatSince = 0.0;

    // --- aiming ---
    Ball* cueBall = &table.balls[0];
    float viewElevation = 0.0f;
    float viewAzimuth = 90.0f;
    int mouseCapture = 2;
    int dragMode = 0;
    int sliderDragMode = 0;
    // The own aim (angle, power, spins, elevation) and the index of the ball it is taken from
    // (-2: share the start whatever the flag).
    AimParameters aim{125.0, 160.0, 80.0, 0.0, 0.0};
    int aimBallIndex = 0;
    double maxElevation = 70.0;
    double maxPower = 400.0;
    double minPower = 3.0;
    double elevationMargin = 7.0;
    double aimPredictionTolerance = 0.04;
    double aimPredictionStep = 0.04;
    int predictedBall = -1;
    // secondsSinceStart seconds of the last live-aim start or move sent: the moves' rate limit.
    double lastLiveAimSent = 0.0;
    // Set when the lesson's view change was done during tutorial topics 13 and 14 (cleared when a
    // topic starts); the shot's power tells the server.
    bool tutorialActionDone = false;
    bool shotModeFlag = false;

    // --- keys, POV and free camera ---
    bool keysHeld[4] = {false, false, false, false};
    bool povMode = false;
    double povDistances[3] = {840.0, 840.0, 840.0};
    double mouseFactors[4] = {0.05, 0.01, 3.0, 45.0};
    FreeCameraSlot freeCamera;
    FreeCameraSlot freeCameraHome;
    bool in3DView = false;
    bool inOverview = false;
    bool cameraChanged = false;

    // --- HUD and shot end ---
    double hudColumnX = 992.0;
    double pocketTidyTime = -1.0;  // none
    int spinWidgetSize = 192;
    int spinWidgetOffsetX = 80;
    int spinWidgetOffsetY = 80;
    int spinWidgetPlacement = 3;

    // --- status book-keeping ---
    // Only game statuses with a newer sequence are applied; 0 lets the first one of a login in.
    int lastStatusSequence = 0;
    // The chat's join sound (toggled by a key).
    bool notificationSounds = true;
    bool tableNameFlagT = false;
    bool tableNameFlagF = false;
    int lineUpNumber = 0;
    bool lineUpShotFlag = false;

    // --- strings ---
    // One character per Arezor, '1' active; the server replaces the whole string.
    std::string arezors = "0000000";
    std::string emojiStatus = "11111111111111100000000";

    // --- replay ---
    std::string replayText;
    std::array<double, 7> replaySpeedFactors = {0.0599988000239995, 0.2, 0.5, 1.0, 1.5, 2.0, 5.0};
    int replaySpeedIndex = 3;
    double replayTimeFactor = 1.0;
    int replayShotIndex = 0;
    bool replayAimLinesShow = false;
    bool replayAimingProcessShow = false;
    bool replayReaderFlags[3] = {true, true, true};
    int replayReaderValue = 1;
    double cueStrokeFade = 1.0;
    bool replayMode = false;
    bool replayFurtherFlag = true;
    int replayLoopCountdown = 10;
    double replayBlendValues[6] = {0.3, 0.3, 0.3, 0.3, 0.3, 0.3};

    // ===== aiming, shot controls, the shot in flight and the mouse (aim_prediction.cpp,
    // shot_controls.cpp, shot.cpp, mouse_input.cpp) =====
    // --- aim prediction ---
    double elevationRise = 7.0;  // degrees the elevation must rise for the cue to clear (0..7)
    int firstHitBall = -1, aimTargetBall = -1;
    double ghostBallX = 0, ghostBallZ = 0;
    double targetBallX = 0, targetBallZ = 0;
    double objectBallDirection = 0;  // degrees, ghost centre to target centre
    // Where the cue ball leaves the contact: a ball at rest takes only the normal part of its speed,
    // so the cue ball runs on along the tangent on the side it came from; a full hit sends it nowhere.
    bool cueBallDeflects = false;
    double cueBallDeflection = 0;  // degrees
    double cueTravelDistance = 0;    // mm, aiming ball to ghost centre
    double aimBaseError = 0, cutError = 0, aimError = 0, objectBallError = 0;
    bool showLiveAiming = true;
    int remoteAimBall = 0;
    double remoteElevationRise = 0;
    // --- drag vector and its filter ---
    double dragX = 0, dragZ = 0, prevDragX = 0, prevDragZ = 0;
    double appliedDragX = 0, appliedDragZ = 0;
    // The drag vector kept when drag aiming ended; the next drag continues from it.
    double savedDragX = 0, savedDragZ = 0;
    int dragStarted = 0;
    int rawMotionX = 0, rawMotionY = 0, lastSampleX = 0, lastSampleY = 0;
    double lastSampleTime = 0;
    double dragGain = 1.0;
    // --- aiming modes and mouse drags ---
    int aimDragMode = 0;
    int pointAiming = 0;
    bool aimShown = false;
    int aimDragPending = 0;
    bool aimDragMoved = false;
    int rotateDrag = 0, zoomDrag = 0, panDrag = 0, spinDrag = 0, powerDrag = 0, elevationDrag = 0;
    bool widgetDrag = false, ballDragActive = false;
    bool panArmed = false, widgetDragArmed = false, ballDragArmed = false;
    int mouseDownX = 0, mouseDownY = 0;
    int mouseDeadZone = 2;
    int pickedBall = -1;
    bool ballDragWithShift = false, ballDragFromD = false;
    bool nominationClick = false;
    int pointerReturnX = 0, pointerReturnY = 0;
    bool mouseCaptured = false;
    bool spinCursorHidden = false;
    bool keepCursorVisible = false;
    bool clickToRemoveMode = false;
    bool ballMovingEnabled = false;
    int windowMouseX = 0, windowMouseY = 0;  // the raw window point beside mouseX, mouseY
    double lastButtonTime = 0, prevButtonTime = 0, lastPressTime = 0;
    double lastReleaseTime = 0, prevReleaseTime = 0, aimEndTime = 0;
    // --- orbit camera as the mouse moves it ---
    double orbitDistance = 3000.0, orbitPitch = 30.0, orbitYaw = 0.0;
    bool overheadCameraOn = false;
    double povPitch = 10.0;
    bool povResumePending = false;
    // The first-person target's sideways offset to approach (mm; the a and d keys), and the game
    // clock of the last smoothing step.
    double povSideStep = 0;
    double povSideStepTime = 0;
    double dragStartYaw = 0, dragStartPitch = 0, dragStartDistance = 0;
    double panStartTarget[3] = {0, 0, 0}, panStartEye[3] = {0, 0, 0};
    // --- the shot in flight ---
    bool shotSentWaiting = false;
    AimParameters savedAimParameters{};
    double simClock = 0, shotTime = 0;
    int shotClockStarted = 0;
    double shotTimeAtStart = 0, simClockAtStart = 0;
    bool firstContactSounded = false;
    double cueBallAnchorX = 0, cueBallAnchorZ = 0;
    double ballMarkerFrom = 0;
    bool cueStrokeOn = false;
    int64_t cueStrokeEndTime = 0;  // milliseconds of the game or replay clock: no overflow after days
    double cueStrokeDuration = 0, cueStrokeLength = 0, cueStrokeBallX = 0, cueStrokeBallZ = 0;
    // The sub-step loop of the stroke being shown.
    ShotStepper shotStepper{table};

    // ===== camera, projection, start view and cue pulse (view_services.cpp) =====
    // The fixed cameras; the keyboard steps through 0..4.
    enum CameraPresetId : int { PRESET_NONE = -1, PRESET_OVERHEAD, PRESET_OVERHEAD_REVERSED, PRESET_BLACK_END,
                                PRESET_CENTRE, PRESET_BAULK_END };
    int cameraPreset = PRESET_OVERHEAD;
    int topPanelHeight = 0, bottomPanelHeight = 0;
    // Column-major; rebuilt by whoever changes the camera.
    float projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool perspectiveProjection = false;
    float viewDistance = 0.0f;
    // The field of view changed: the HUD recomputes its column before it next draws.
    bool hudColumnDirty = true;
    // Keeps the cue's pulse continuous across power changes (see pulsePhase).
    double pulsePhaseOffset = 0.0;
    // Eye, target, up: the float camera the view matrix is built from.
    static void setLookAt(Camera& camera, const double eye[3], const double target[3], const double up[3]);
    // The look-at kept in lookAtEye/Target/Up is copied into `camera`.
    void applyLookAt();
    void setOverheadCamera();
    void setCameraPreset(unsigned preset);
    void updateFieldOfView(int width, int height);
    void setViewport(int windowW, int windowH, int drawableW, int drawableH, int topHeight, int bottomHeight);
    void updateViewParameters();
    void rotateDragVectors(float oldYaw, float newYaw);
    void buildPerspectiveProjection();
    void buildOrthographicProjection();
    // The right-handed look-at matrix of `camera`, column-major.
    void viewMatrix(float out[16]) const;
    // The ball layout before any table is joined.
    void initBallPositions();
    void resetLiveStatusForStartView();
    // The cue's breathing while aiming, 0..1, at game-clock time t.
    double pulsePhase(double t) const;
    // How far the cue is pulled back (mm) at clockSeconds during a stroke that strikes at
    // strikeSeconds; unit is the stroke's duration unit and amplitude its draw-back.
    static double cueStrokeOffset(double unit, double amplitude, double strikeSeconds, double clockSeconds);
    // Hook through which the frame's camera-mode choice runs (the camera code installs it).
    using CameraModeSelector = void (*)(GameHandler& gameHandler);
    static CameraModeSelector setCameraModeSelector(CameraModeSelector selector);
    static CameraModeSelector cameraModeSelector();

    // ===== camera sets, first-person view and camera keys (camera.cpp, camera_pov.cpp,
    // camera_keys.cpp; the first-person step of update in update.cpp) =====
    // The normal camera, kept while the 3D view or the first-person view is on; the camera under the
    // overview. Yaw is viewAzimuth, the camera yaw of drag aiming.
    FreeCameraSlot defaultCameraSlot{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 0};
    FreeCameraSlot overviewCameraSlot{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 0};
    // Indexes of povDistances: the distance the first-person camera starts at, the one it approaches
    // and the one it has now (mm).
    enum PovDistanceIndex : int { POV_START = 0, POV_TARGET = 1, POV_NOW = 2 };
    // The first-person target's sideways offset now (mm); it approaches povSideStep.
    double povOffset = 0;
    // The key for a new bottom-box layout: 1 lay it out again, 2 also flip its full size. The shell
    // takes it with the page requests.
    int bottomBoxLayoutRequest = 0;
    // Writes eye, target and up, derives the Camera and the view parameters; refuses an eye on its
    // target or a value that is not finite (false, camera unchanged).
    bool installCamera(const double eye[3], const double target[3], const double up[3]);
    // The current camera (eye, target, up, yaw) into a slot, and a slot's camera back.
    void saveCameraSlot(FreeCameraSlot& slot) const;
    void installCameraSlot(const FreeCameraSlot& slot);
    void enter3DView();
    void leave3DView();
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
    // Perspective unless the eye stands within `flat` mm (x and z) above the target: then the view
    // straight down.
    void buildPOVProjection(double flat);
    // The first-person camera follows the opponent's blended aim (the renderer's live-aim blend).
    void followBlendedAim();
    // The first-person step of update: w and s move the camera in and out, offset and distance ease.
    void stepPOVCamera();
    // The camera keys of the game view; true when the key was one of them (keyDown then ends).
    bool cameraKeyDown(int key);
    // Relative mouse mode off, the pointer back at the drag's press point, shown (mouse_input.cpp).
    void releasePointer();
    // A window point as the drawable pixel the game view uses (mouse_input.cpp).
    void windowToDrawable(int windowX, int windowY, int& x, int& y) const;
    // The right-handed look-at matrix of a camera, column-major.
    static void lookAt(const Camera& view, float out[16]);
    // ===== end of the camera sets =====

    // ===== game status hand-over =====
    // The game-status application (applyGameStatus); endShot hands the parked status to it. Without
    // one the status is only logged.
    using GameStatusApplier = void (*)(GameHandler& gameHandler, const GameStatus& status, int sequence,
                                       bool atEndOfShot, const std::vector<int>* replayStatusInts, double replayT);
    static GameStatusApplier setGameStatusApplier(GameStatusApplier applier);

    // ===== aim prediction (aim_prediction.cpp) =====
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
    // The bed point shown at a viewport pixel (y upward).
    void screenToTable(double px, double py, double& x, double& z) const;
    int pickBall(int x, int y, double* tableX = nullptr, double* tableZ = nullptr, double* grabAngle = nullptr) const;
    // The shot power, unless a Vidiv Arezor forces one; returns the power now. The cue's pulse runs on
    // without a jump.
    double setShotPower(double power);

    // ===== aiming HUD layout and the POV offer (hud_layout.cpp) =====
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
    bool povModeOffered = false;

    // ===== shot controls (shot_controls.cpp) =====
    bool setSpinFromSelector(int x, int y, bool apply);
    double powerBarValue(int x, int y, bool force) const;
    double elevationBarValue(int x, int y, bool force) const;
    void updateCursorOverSpinSelector(int x, int y, bool mayApply);
    void accumulateDrag(int x, int y, int dx, int dy);
    void captureMouse(int x, int y);

    // ===== shooting and the shot in flight (shot.cpp) =====
    void shoot(bool received);
    void playReceivedStroke(int nominatedBall, double aimAngle, double power, double topSpin, double sideSpin,
                            double elevation);
    void applyShotStroke();
    // The cue's stroke movement for a SHOT of this power; clockSeconds is the game clock for live
    // strokes and the replay clock for replays.
    void startCueStroke(double power, double clockSeconds);
    void updateCueStroke(double clockSeconds);
    void stepBallMotion();
    void updateShot();
    void endShot();
    // endShot's live status: the parked one, its durations counted on to now.
    void applyParkedStatus();
    void setShowBreak(bool show);
    void setShowBallOn(bool show);

    // ===== mouse input of the game view (mouse_input.cpp) =====
    void handleMouseEvent(const SDL_Event& event);
    void mouseButton(int button, bool pressed, int x, int y, int clicks);
    void mouseMotion(int x, int y, int dx, int dy);
    void mouseWheel(bool flipped, int x, int y);
    void keyUp(int key);

    // ===== replays and the per-frame update (replay_text.cpp, status_text.cpp, replay_playback.cpp,
    // replay_events.cpp, update.cpp) =====
    // What the server's replay information gave (REPLAY_INFO, first part).
    int replayKind = 0;  // 1 shot, 2 frame, 3 match
    std::string replayMarkedShots;
    int replayMatchId = 0, replayFrameNumber = 1, replayStartShot = 1, replayFrameCount = 0;
    bool replayLinesEnabled[2] = {false, false};
    // A first part has arrived since the last replay started: later parts may be appended.
    bool replayTextOpen = false;
    // What reading the replay text gave.
    int replayTableVersion = 0, replayTableType = 1;
    std::string replayPlayerNames[2];
    std::string replayDate;
    std::string replayInfoText;
    std::array<int, 7> replayInfo{};
    std::vector<ReplayShot> replayShots;
    std::vector<ReplayBreak> replayBreaks;
    int replayTotalFrameTime = 0;
    int replayCues[2] = {0, 0};
    bool lineUpFewBalls = true, lineUpTen = true, lineUpTwelvePending = true, lineUpTwelve = false;
    // Playback: the event next due, the replay clock and its state.
    int replayEventIndex = 0;
    int replayT = 0;  // ms
    bool replayPaused = false;
    bool replayPlaying = false;
    double replayClockStart = 0;  // game clock seconds
    int replayTAtStart = 0;
    bool replayLoopCurrentShot = false;
    // The server found a practice table for the loaded replay; its start lays out the position.
    bool replayTableSettingsPending = false;
    // The modifier keys of this frame.
    bool shiftHeld = false, ctrlHeld = false, altHeld = false;

    // One REPLAY_INFO part: the first starts the text afresh, the last starts the replay.
    void receiveReplayPart(const Message& message);
    void startReplay();
    // The table as it stood before shot replayShotIndex (only for 1 <= index < number of shots).
    void loadReplayShot(bool resetBreakScore);
    void playReplay(bool resetBreakScore);
    void pauseReplay();
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

    // ===== start-up (game_handler.cpp) =====
    // Sets basePath (once), and on the first call with no prefPath the preference folder and the
    // log; points the resource archive at basePath. Again: only the two log lines.
    void initPaths();
    // The GL-side start-up, once after the GL context exists: folders, the start view's camera,
    // the renderer's steps (InitStepHook), the look-at up vector and the ball ids (Ghost -1).
    void init();

    // ===== preferences and the start of play (session.cpp) =====
    void loadCredentials(std::string& userName, std::string& password);
    // Runs the saved credentials into the Login page's form.
    void showSavedCredentials();
    void saveCredentials(const std::string& userName, const std::string& password);
    void forgetCredentials(const std::string& userName);
    // Loads the stored settings; a file that cannot be opened at all (first run) arms the lobby's
    // mouse-or-touchpad question.
    void loadGameSettingsPrefs(GameSettings& settings);
    void saveGameSettingsPrefs(const GameSettings& settings);
    std::string loadParamPrefs(const std::string& name);
    void saveParamPrefs(const std::string& name, const std::string& value);
    // One more failed login for the name in "failedUserList", as one read-change-write of the file.
    void countFailedLogin(const std::string& userName);
    // The start of play after a successful login: resets the per-login state and the pages that
    // keep per-login content, and sends the first requests of every login.
    void startSession(const std::string& serverName, const std::string& userName);
    // Ends every mouse action of the game view (camera.cpp); the own live aim ends with it.
    void resetAimingState(bool keepPointAiming);

    // ===== the remaining INFO codes (dispatch/info_*.cpp) =====
    // valueA of the last arezor message (logged only); the camera-preset key time the arezor view
    // change moves into the past so that its pushed F2 counts as a fresh press.
    int arezorsValue = 0;
    double lastPresetKeyTime = 0.0;
    // Tutorials: the target areas on the table bed, and the result dialog of the CoinToss window.
    std::vector<TutorialMark> tutorialMarks;
    PanelSlot tutResultPanel;
    // The Kred Box: its amount, and the live "Collect Kred" link of the table chat (empty: none).
    int kredBoxAmount = 0;
    int kredBoxOpenCount = 0;
    std::string kredBoxCollectId;
    int myUserId = 0;
    // The replay's save dialog (the replay itself is kept with the replay player's fields).
    bool replaySaveDialogOpen = false;
    int replaySavePlayer = 0;

    // ===== seats, roles and turns (seats.cpp) =====
    // The logged-in user's nick (the connection's user name; empty without a connection).
    const std::string& ownNick() const;
    // The seat holds the logged-in user (exact, case-sensitive).
    bool seatHoldsMe(int seat) const;
    bool isInPlay() const;
    bool isMyTurn() const;
    bool isOpponentsTurn() const;
    bool isMyTurnLive() const;
    bool isOpponentsTurnLive() const;
    bool amISeated() const;
    int getMySeatInPlay() const;
    int getMySeat() const;
    bool hasOwnFlag64() const { return (ownUserType & 0x40) != 0; }
    static bool hasPlayerFlag64(const Player* player);
    int maxBreak() const;
    // The last received message's iid modulo n (0 for n 0): every client at the table picks alike.
    unsigned pickVariant(unsigned n) const;
    int firstArezor() const;
    bool isArezorOn(int n) const;
    void checkBetaLobby();
    void closeReplays();
    void setChatTextEmpty(bool empty);

    // ===== notices, concede button, links (notices.cpp) =====
    void popUpInfo(const std::string& text, int durationMs);
    // popUpInfo unless the text is empty.
    void showNotice(const std::string& text, int durationMs);
    void setConcedeState(int seat);
    // Opens an http(s) address in the desktop browser (core/opener.h).
    void openExternal(const std::string& url);
    // A notice for each link whose opener failed since the last call (called every frame).
    void tellFailedOpens();

    // ===== the message drain and held chat (message_queue.cpp) =====
    // Hands the connection's received messages to the dispatch, oldest first and at most
    // MAX_MESSAGES_PER_FRAME per call, applying the login steps queued among them in their place;
    // then shows held chat whose shot is over (flushDeferredChatIfDue). Once per frame.
    void processMessageQueue();
    // True while any ball moves or still falls into a pocket.
    bool isAnyBallMoving() const;
    // Shows the held chat when the balls are at rest and no status is parked, or when the oldest
    // held line has waited MAX_CHAT_DEFERRAL_SECONDS.
    void flushDeferredChatIfDue();
    // Shows every held chat line in arrival order and empties the list (the shot's end calls it).
    void showDeferredChat();
    // Drops the held chat and the parked status: the table they belong to has been left.
    void dropShotLeftovers();

    // ===== dispatch library (dispatch/), the player registry and the chat display (chat_display.cpp) =====
    // Acts on one server message (or one rebuilt by the replay player). Never fails.
    void processMessage(const Message& message);
    // The Player of a nick (one leading "-" dropped), created on first lookup; never null.
    Player* findPlayer(const std::string& nick);
    // Shows one chat line in the Lobby and/or BottomBox page; tableOnly: the table chat only.
    void displayChatMessage(const Message& chat, bool tableOnly);
    // A line of the client's own (class LOCAL_NOTICE) shown at once; never sent.
    void showLocalNotice(const std::string& text, int tableId);

    // ===== table entry, game status and the end of a shot (dispatch/table_entry.cpp,
    // game_status.cpp, end_of_shot.cpp) =====
    // Point aiming was on when the user last entered a table.
    bool pointAimingWasActive = false;
    // The view buttons (camera.cpp): the overview while the opponent plays, from the own shot on,
    // and with Shift while pointing.
    bool playerViewMode = false;
    bool spectatorViewMode = false;
    bool shiftViewMode = false;
    // Makes a received status (or, with replayStatus, a replayed shot's 49 values) the live status:
    // pages, timers, break display, and at the end of a shot the referee's calls. Ball arrays that are
    // null leave the balls as they are. A status not newer than lastStatusSequence is stale.
    void applyGameStatus(const GameStatus& status, const std::array<BallState, kBallCount>* balls,
                         const std::array<BallState, kBallCount>* savedBalls, int sequence, bool atEndOfShot,
                         const std::vector<int>* replayStatus, double replayT);
    // The referee's and the crowd's calls and the summary notice of a shot just applied.
    void runEndOfShotCalls(int oldBreakScore, const std::array<int32_t, 2>& oldNegativePoints,
                           const std::array<std::string, 2>& statusPlayers);

    // ---- Page requests: what the pages' requests ask of the game controller. Each is declared here
    // ---- for the query dispatcher; until its own work is built it only logs (page_requests.cpp).
    // The page-button dispatcher: the game controller owns the meaning of every button name.
    void buttonPress(const std::string& name, int idata1, const std::string& sdata1);
    // Slash-commands, or the text as a chat line to the lobby (fromLobby) or to the table.
    void sendChatText(const std::string& text, bool fromLobby, bool replayConfirmed);
    void sendStartSingleReq();
    int getTableId() const;
    void setViewMode(const std::string& role, const std::string& viewMode);
    // A popup of the bottom bar opened or closed, or one of its foul choices was pressed.
    void onHtmlWindowEvent(const std::string& event, const std::string& what);
    // The shell's bottom-bar size change that the popups ask for; without one it is only logged.
    using BottomBoxSizer = void (*)(bool fromToggle, bool fullSize);
    static BottomBoxSizer setBottomBoxSizer(BottomBoxSizer sizer);
    void changePrivacy(int privacy);
    void openGameSettings();
    void closeGameSettings();
    void resetGameSettings();
    void saveGameSettings(const GameSettings& settings);
    void openMatchSettings();
    void closeMatchSettings();
    void resetMatchSettings();
    void saveMatchSettings(const MatchSettings& settings);
    void openMyAccount();
    void closeMyAccount();
    void saveMyAccount(const AccountRecord& account);
    void openPeople(const std::string& userToBlock);
    void closePeople();
    void whisperPlayer(const std::string& userName);
    void closeBio();
    // ---- End of the page requests.

    // ===== lobby road: table and user lists, server and account information, chat input and the
    // start-match buttons (dispatch/table_list.cpp, dispatch/info_account.cpp, chat_input.cpp,
    // start_match.cpp) =====
    // The own table's viewer list begins with the logged-in user.
    bool ownUserFirstViewer = false;
    // The lobby the client is in, as the server names it; the user list shows this lobby's users.
    std::string lobbyName;
    bool isTourneyLobby = false;
    int premiumPhase = 0;
    int serverUserFlags = 0;
    // The own account as the server keeps it: country and about-me from the own bio, the five match
    // preferences from the stored preferences; the account panel shows and saves this one record.
    AccountRecord account;
    bool replaySkipAimingProcess = true;
    // The alert last opened in the Alerts window, and a replay command waiting for the user to
    // confirm the replay warning.
    int alertShown = 0;
    std::string pendingReplayCommand;
    // Chooses the StartMatch page's buttons from the seats; value: the table number of the table's
    // name, -1 for none.
    void updateStartMatchButtons(int value);
    // Opens the bio panel on another user's bio (element 0 the nick); the panels install it.
    // Without one the bio is only logged.
    using BioPanelOpener = void (*)(GameHandler& gameHandler, const std::vector<std::string>& bio);
    static BioPanelOpener setBioPanelOpener(BioPanelOpener opener);
    static BioPanelOpener bioPanelOpener();

    // The other dialog panels (panels/panels.cpp): each opener shows its panel after the open delay
    // and sends the page its content.
    void openBio(const std::vector<std::string>& bioTexts);
    void openTut(int topic);
    void openCtr();
    void openArezor();
    void openVideos();
    void openInvites();
    void openTasks();
    void closeTasks();
    void openLineUp();
    // idx 0: the bottom bar's button (shown there while minimised); 1: the server's request.
    void openMatchStats(int idx);
    void closeMatchStats();
    void openCueStore();
    void openReplays();
    // Sends Ctrl+V to the window's page.
    void pasteIntoBrowser(HtmlWindow window);

    // ===== page buttons, replay buttons and the game view's keys (buttons.cpp, ui/page_buttons.cpp, replay_buttons.cpp,
    // keyboard.cpp) =====
    // Names of the replay controls; false for any other name.
    bool replayButtonPress(const std::string& name, int idata1, const std::string& sdata1);
    // The names the HTML layer serves (panels, pasting, the Kred Box); asked after the others.
    using PanelButtons = bool (*)(GameHandler& gameHandler, const std::string& name, int idata1,
                                  const std::string& sdata1);
    static PanelButtons setPanelButtons(PanelButtons handler);
    // Why the replay was paused (the practice freeze, the save dialog), and the save dialog's mode.
    int replayPausedByPractice = 0;
    bool replayPausedBySave = false;
    int replaySaveMode = 0;
    // A key no page took: true when it nominated a ball or sent a chat command.
    bool keyDown(int key, int x, int y);
};

// The BottomBox statement "inbzUpdateGameStatus({...});" of a status record.
std::string gameStatusStatement(const GameStatus& status, bool atEndOfShot);

// Built on first use (on the main thread, before any other thread exists) and kept until exit.
GameHandler& getGameHandler();
