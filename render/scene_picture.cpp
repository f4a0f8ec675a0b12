#include "render/scene_picture.h"

#include "core/picture_key.h"
#include "render/aim_lines.h"
#include "render/scene_pass.h"

namespace {

bool animates(const GameHandler& gh) {
    if (gh.isAnyBallMoving() || gh.shotAnimating || gh.cueStrokeOn || gh.remoteAimAnimating) return true;
    if (gh.replayMode && gh.replayPlaying && !gh.replayPaused) return true;
    const LiveStatus& status = *gh.liveStatus;
    // The marks of balls touching the cue ball fade; the nominated ball's shadow and the cue ball's
    // in hand pulse.
    if (!status.touchingBalls.empty()) return true;
    const int nominated = status.nominatedBall;
    if (nominated >= 2 && nominated < kBallCount && gh.table.balls[nominated].onTable) return true;
    const bool aiming = aimingNow(gh);
    if (gh.isMyTurnLive() && status.ballInHand && !aiming) return true;
    // The cue pulses while the player or, live, the opponent aims it.
    return aiming || (gh.remoteAimShown && remoteAimDrawn(gh));
}

}  // namespace

ScenePicture scenePicture(GameHandler& gh) {
    chooseSceneCamera(gh);
    PictureKey key;
    // The aim, the shot, the HUD, the camera, the view and the viewport are plain data: all of it.
    key.bytes(static_cast<const AimingState*>(&gh), sizeof(AimingState));
    key.bytes(static_cast<const CameraState*>(&gh), sizeof(CameraState));
    key.add(gh.gameSettings);
    for (const Ball& ball : gh.table.balls) {
        key.add(ball.onTable).add(ball.fallingInPocket).add(ball.pocket).add(ball.x).add(ball.y).add(ball.z);
        key.add(ball.orientation);
    }
    const LiveStatus& status = *gh.liveStatus;
    key.add(status.gameState).add(status.playerOn).add(status.nominatedBall).add(status.ballInHand);
    for (int ball : status.touchingBalls) key.add(ball);
    for (const TutorialMark& mark : gh.tutorialMarks) key.add(mark);
    int version = 0;
    key.add(gh.table.getVersionAndType(version)).add(version).add(gh.table.arena);
    key.add(gh.replayMode).add(gh.isMyTurnLive()).add(gh.isArezorOn(0));
    if (const Player* onTurn = gh.table.getPlayer(status.playerOn)) key.add(onTurn->currentCue);
    return ScenePicture{animates(gh), key.value()};
}
