// The game controller's camera and view: the window and viewport, the look-at and the float camera
// the renderer reads, the projection, the fixed, free, overview and first-person cameras and the
// orbit the mouse turns (part of GameHandler, which inherits it). Written by view_services.cpp,
// camera.cpp, camera_pov.cpp, camera_keys.cpp and mouse_input.cpp. The operations below that need
// only this data are defined in view_services.cpp, camera.cpp, camera_pov.cpp, aim_prediction.cpp
// (screenToTable) and mouse_input.cpp (windowToDrawable); the camera code that also reads the aim,
// the seats or the panels is GameHandler's.
#pragma once

class GameHandler;

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

struct CameraState {
    // --- camera look-at, window and mouse ---
    double lookAtEye[3] = {0, 0, 0};
    double lookAtTarget[3] = {0, 0, 0};
    double lookAtUp[3] = {0, 0, 0};
    int windowWidth = 0, windowHeight = 0;
    int drawableWidth = 0, drawableHeight = 0;
    int viewport[4] = {0, 0, 0, 0};

    // --- field of view ---
    double fieldOfViewDegrees = 40.0;
    float fieldOfViewX = 40.0f;  // turned into radians by the viewport code
    float fieldOfViewY = 40.0f;

    Camera camera;

    // --- view angles ---
    float viewElevation = 0.0f;
    float viewAzimuth = 90.0f;

    // --- keys, POV and free camera ---
    bool keysHeld[4] = {false, false, false, false};
    bool povMode = false;
    double povDistances[3] = {840.0, 840.0, 840.0};
    FreeCameraSlot freeCamera;
    static constexpr FreeCameraSlot freeCameraHome{};
    bool in3DView = false;
    bool inOverview = false;
    bool cameraChanged = false;

    // --- orbit camera as the mouse moves it ---
    double orbitDistance = 3000.0, orbitPitch = 30.0, orbitYaw = 0.0;
    bool overheadCameraOn = false;
    double povPitch = 10.0;
    // The first-person target's sideways offset to approach (mm; the a and d keys), and the game
    // clock of the last smoothing step.
    double povSideStep = 0;
    double povSideStepTime = 0;
    double dragStartYaw = 0, dragStartPitch = 0, dragStartDistance = 0;
    double panStartTarget[3] = {0, 0, 0}, panStartEye[3] = {0, 0, 0};

    // --- camera, projection, start view and cue pulse (view_services.cpp) ---
    // The fixed cameras; the keyboard steps through 0..4.
    enum CameraPresetId : int { PRESET_NONE = -1, PRESET_OVERHEAD, PRESET_OVERHEAD_REVERSED, PRESET_BLACK_END,
                                PRESET_CENTRE, PRESET_BAULK_END };
    int cameraPreset = PRESET_OVERHEAD;
    // Column-major; rebuilt by whoever changes the camera.
    float projection[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    bool perspectiveProjection = false;
    // The field of view changed: the HUD recomputes its column before it next draws.
    bool hudColumnDirty = true;
    // Keeps the cue's pulse continuous across power changes (see pulsePhase).
    double pulsePhaseOffset = 0.0;

    // --- camera sets and the first-person view (camera.cpp, camera_pov.cpp, camera_keys.cpp) ---
    // The normal camera, kept while the 3D view or the first-person view is on; the camera under the
    // overview. Yaw is viewAzimuth, the camera yaw of drag aiming.
    FreeCameraSlot defaultCameraSlot{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 0};
    FreeCameraSlot overviewCameraSlot{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, 0};
    // Indexes of povDistances: the distance the first-person camera starts at, the one it approaches
    // and the one it has now (mm).
    enum PovDistanceIndex : int { POV_START = 0, POV_TARGET = 1, POV_NOW = 2 };
    // The first-person target's sideways offset now (mm); it approaches povSideStep.
    double povOffset = 0;
    // POV mode is offered in the bottom bar (setPOVModeEnabled).
    bool povModeOffered = false;
    // The view buttons (camera.cpp): the overview while the opponent plays, from the own shot on,
    // and with Shift while pointing.
    bool playerViewMode = false;
    bool spectatorViewMode = false;
    bool shiftViewMode = false;
    // The camera-preset key time the arezor view change moves into the past so that its pushed F2
    // counts as a fresh press.
    double lastPresetKeyTime = 0.0;

    // ===== The operations that need only the camera's own data. =====
    // ---- view services (view_services.cpp)
    // Eye, target, up: the float camera the view matrix is built from.
    static void setLookAt(Camera& camera, const double eye[3], const double target[3], const double up[3]);
    // The look-at kept in lookAtEye/Target/Up is copied into `camera`.
    void applyLookAt();
    void setOverheadCamera();
    void updateViewParameters();
    void buildPerspectiveProjection();
    void buildOrthographicProjection();
    // The right-handed look-at matrix of `camera`, column-major.
    void viewMatrix(float out[16]) const;
    // The right-handed look-at matrix of a camera, column-major.
    static void lookAt(const Camera& view, float out[16]);
    // How far the cue is pulled back (mm) at clockSeconds during a stroke that strikes at
    // strikeSeconds; unit is the stroke's duration unit and amplitude its draw-back.
    static double cueStrokeOffset(double unit, double amplitude, double strikeSeconds, double clockSeconds);
    // Hook through which the frame's camera-mode choice runs (the camera code installs it).
    using CameraModeSelector = void (*)(GameHandler& gameHandler);
    static CameraModeSelector setCameraModeSelector(CameraModeSelector selector);
    static CameraModeSelector cameraModeSelector();

    // ---- camera sets and the first-person projection (camera.cpp, camera_pov.cpp)
    // Writes eye, target and up, derives the Camera and the view parameters; refuses an eye on its
    // target or a value that is not finite (false, camera unchanged).
    bool installCamera(const double eye[3], const double target[3], const double up[3]);
    // The current camera (eye, target, up, yaw) into a slot, and a slot's camera back.
    void saveCameraSlot(FreeCameraSlot& slot) const;
    void installCameraSlot(const FreeCameraSlot& slot);
    void enter3DView();
    void leave3DView();
    // Perspective unless the eye stands within `flat` mm (x and z) above the target: then the view
    // straight down.
    void buildPOVProjection(double flat);

    // ---- window and viewport pixels (aim_prediction.cpp, mouse_input.cpp)
    // The bed point shown at a viewport pixel (y upward).
    void screenToTable(double px, double py, double& x, double& z) const;
    // A window point as the drawable pixel the game view uses.
    void windowToDrawable(int windowX, int windowY, int& x, int& y) const;
};
