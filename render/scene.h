// The one store of everything the table view draws: the scene programs, the models of the cue,
// table, room and balls, their instances, the table-markings and scene textures, and the cue design.
// It is filled in 32 small steps, one per frame, so that the window stays live while it loads.
#pragma once

#include <list>
#include <memory>
#include <vector>

#include "render/loading_prefetch.h"
#include "render/model.h"
#include "render/shader.h"

// Plain resource paths of the programs whose sources are not read by archive position.
inline constexpr char kCueDesignVertexPath[] = "res/vertex-cue-design.vs";
inline constexpr char kCueDesignFragmentPath[] = "res/fragment-cue-design.fs";
inline constexpr char kScreenVertexPath[] = "res/shaders/screen.vs";
inline constexpr char kScreenFragmentPath[] = "res/shaders/screen.fs";

inline constexpr int kSceneLoadingSteps = 32;
inline constexpr int kBallInstanceCount = 33;

class Scene {
public:
    Scene() = default;
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    Shader* tableShader = nullptr;
    Shader* clothShader = nullptr;
    Shader* legShader = nullptr;
    Shader* frameShader = nullptr;
    Shader* ballShader = nullptr;
    Shader* roomShader = nullptr;
    Shader* cueShader = nullptr;
    std::list<Shader*> programs;

    Model* cueMainModel = nullptr;
    Model* cueTipModel = nullptr;
    Model* bedClubModel = nullptr;
    Model* bedProModel = nullptr;
    Model* cushionRubberClubModel = nullptr;
    Model* cushionRubberProModel = nullptr;
    Model* hooksModel = nullptr;
    Model* frameClubModel = nullptr;
    Model* frameProModel = nullptr;
    Model* roundLegModel = nullptr;
    Model* squareLegModel = nullptr;
    Model* cushionClubModel = nullptr;
    Model* cushionProModel = nullptr;
    Model* pocketsModel = nullptr;
    Model* roomModel = nullptr;
    Model* blackBallModel = nullptr;
    Model* blackWhiteBallModel = nullptr;
    Model* blueBallModel = nullptr;
    Model* brownBallModel = nullptr;
    Model* greenBallModel = nullptr;
    Model* orangeBallModel = nullptr;
    Model* pinkBallModel = nullptr;
    Model* purpleBallModel = nullptr;
    Model* redBallModel = nullptr;
    Model* whiteBallModel = nullptr;
    Model* whiteDotBallModel = nullptr;
    Model* woodBallModel = nullptr;
    Model* yellowBallModel = nullptr;

    // [0] white, [1] white with a dot, [2] black and white, [3] wood, [4] white again.
    ModelInstance* extraBallInstances[5] = {};
    // By ball id; [0] is one of the two white instances, [1] (the ghost ball) is none, [10] to [32]
    // are reds (the fifteen and eight that stand in for colours drawn as reds).
    ModelInstance* ballInstances[kBallInstanceCount] = {};
    std::vector<ModelInstance*> roomDecorInstances, roomClubInstances, roomProInstances, clubInstances, proInstances;

    unsigned tableMarkingsTextures[2] = {0, 0};  // CLUB, PRO
    unsigned textures[9] = {};
    // The tutorial marks' two images are the sixth and seventh scene textures.
    unsigned tutorialMarkTextureA() const { return textures[5]; }
    unsigned tutorialMarkTextureB() const { return textures[6]; }
    int cueDesign = 0;

    // Builds the seven programs from the first lighting set, and starts reading and decoding the
    // images of the loading steps on a worker, ahead of the steps.
    void initShaders();
    // Rebuilds the cloth, leg, frame and room programs from the first set (true) or the second.
    void reloadLightingShaders(bool firstSet);

    // Runs the next loading step; false while steps remain, true once all have run.
    bool loadModels();
    int stepsDone() const { return nextStep_; }
    bool loaded() const { return nextStep_ >= kSceneLoadingSteps; }

    // Uploads design 1 to 8 (any other: 1) into the cue's design textures, only on a change.
    void setCueDesign(int design);

    // The cue ball is drawn with the dotted white ball unless the design is 0. The choice is kept
    // and applied once the ball instances exist, and again whenever it changes.
    void setCueBallDesign(int design);
    bool dottedCueBall() const { return dottedCueBall_; }

private:
    void startPrefetch();
    void runStep(int step);
    void placeModels();
    void makeInstances();
    void applyCueBallDesign();

    int nextStep_ = 0;
    std::unique_ptr<LoadingPrefetcher> prefetcher_;  // while steps remain
    bool dottedCueBall_ = true;
};

// The one Scene of the process, built on first use and kept until exit.
Scene& getScene();
