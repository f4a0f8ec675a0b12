#include "render/scene.h"

#include <SDL2/SDL_timer.h>

#include <string>

#include "core/archive.h"
#include "core/log.h"
#include "render/loading_prefetch.h"
#include "render/table_markings.h"
#include "render/texture_loader.h"

Scene& getScene() {
    // Never destroyed: at exit its GL names and its loading worker are left to the process's end.
    static Scene* scene = new Scene;
    return *scene;
}

namespace {

// Archive positions of the scene programs' sources.
struct SourcePair {
    size_t vertex, fragment;
};
constexpr SourcePair kTableSources{49, 62};
constexpr SourcePair kBallSources{40, 52};
// The four lit programs: the first lighting set, then the second.
constexpr SourcePair kClothSources[2] = {{43, 56}, {44, 57}};
constexpr SourcePair kLegSources[2] = {{47, 60}, {48, 61}};
constexpr SourcePair kFrameSources[2] = {{45, 58}, {46, 59}};
constexpr SourcePair kRoomSources[2] = {{41, 54}, {42, 55}};

constexpr size_t kMarkingsMember = 203;
constexpr size_t kFirstSceneTextureMember = 205;
constexpr size_t kFirstCueColourMember = 107;
constexpr size_t kFirstCueGlossMember = 115;

constexpr float kBallScale = 100.54f;
constexpr float kBallHeight = 26.25f;
// Decoded images and imported models held ahead of their steps (a 1024 x 2048 markings image is 8 MiB).
constexpr size_t kPrefetchBudgetBytes = 64u << 20;

Shader* buildFrom(SourcePair pair) {
    ArchiveIndex& index = ArchiveIndex::instance();
    return new Shader(index.nameAt(pair.vertex).c_str(), index.nameAt(pair.fragment).c_str());
}

void rebuildFrom(Shader* shader, SourcePair pair) {
    ArchiveIndex& index = ArchiveIndex::instance();
    shader->rebuild(index.nameAt(pair.vertex).c_str(), index.nameAt(pair.fragment).c_str());
}

struct ModelStep {
    const char* path;
    Shader* Scene::*program;
    Model* Scene::*slot;
};
const ModelStep kModels[28] = {
    {"res/table/Cue_2_Main.obj", &Scene::cueShader, &Scene::cueMainModel},
    {"res/table/Cue_2_Tip.obj", &Scene::cueShader, &Scene::cueTipModel},
    {"res/table/v8_bed_CLUB.obj", &Scene::clothShader, &Scene::bedClubModel},
    {"res/table/v8_bed_PRO.obj", &Scene::clothShader, &Scene::bedProModel},
    {"res/table/v8_rubber_CLUB.obj", &Scene::tableShader, &Scene::cushionRubberClubModel},
    {"res/table/v8_rubber_PRO.obj", &Scene::tableShader, &Scene::cushionRubberProModel},
    {"res/table/Table_v7_hooks.obj", &Scene::tableShader, &Scene::hooksModel},
    {"res/table/v8_frame_CLUB.obj", &Scene::frameShader, &Scene::frameClubModel},
    {"res/table/v8_frame_PRO.obj", &Scene::frameShader, &Scene::frameProModel},
    {"res/table/Table_v7_legs_round.obj", &Scene::legShader, &Scene::roundLegModel},
    {"res/table/Table_v7_legs_square.obj", &Scene::tableShader, &Scene::squareLegModel},
    {"res/table/v8_bumpers_CLUB.obj", &Scene::tableShader, &Scene::cushionClubModel},
    {"res/table/v8_bumpers_PRO.obj", &Scene::tableShader, &Scene::cushionProModel},
    {"res/table/Table_v7_pockets.obj", &Scene::tableShader, &Scene::pocketsModel},
    {"res/dr/dark_room.obj", &Scene::roomShader, &Scene::roomModel},
    {"res/table/Ball_black.obj", &Scene::ballShader, &Scene::blackBallModel},
    {"res/table/Ball_blackwhite.obj", &Scene::ballShader, &Scene::blackWhiteBallModel},
    {"res/table/Ball_blue.obj", &Scene::ballShader, &Scene::blueBallModel},
    {"res/table/Ball_brown.obj", &Scene::ballShader, &Scene::brownBallModel},
    {"res/table/Ball_green.obj", &Scene::ballShader, &Scene::greenBallModel},
    {"res/table/Ball_orange.obj", &Scene::ballShader, &Scene::orangeBallModel},
    {"res/table/Ball_pink.obj", &Scene::ballShader, &Scene::pinkBallModel},
    {"res/table/Ball_purple.obj", &Scene::ballShader, &Scene::purpleBallModel},
    {"res/table/Ball_red.obj", &Scene::ballShader, &Scene::redBallModel},
    {"res/table/Ball_white.obj", &Scene::ballShader, &Scene::whiteBallModel},
    {"res/table/Ball_white_dot.obj", &Scene::ballShader, &Scene::whiteDotBallModel},
    {"res/table/Ball_wood.obj", &Scene::ballShader, &Scene::woodBallModel},
    {"res/table/Ball_yellow.obj", &Scene::ballShader, &Scene::yellowBallModel},
};

// What a loading step will read: its model, and the images of its materials that no earlier
// step has listed (the loader reuses those), or the markings or scene texture members.
StepInputs stepInputs(int step, std::set<std::string>& known) {
    const ArchiveIndex& index = ArchiveIndex::instance();
    StepInputs inputs;
    if (step < 28) {
        inputs.modelPath = kModels[step].path;
        inputs.images = materialImagesOf(inputs.modelPath, known);
    } else if (step == 29 || step == 30) {
        inputs.images = {index.nameAt(kMarkingsMember)};
        const int flag = step == 29 ? 1 : 0;
        inputs.prepareImage = [flag](DecodedImage& image) { shadeMarkingsImage(image, flag); };
    } else if (step == 31) {
        for (size_t i = 0; i < 9; ++i) inputs.images.push_back(index.nameAt(kFirstSceneTextureMember + i));
    }
    return inputs;
}

}  // namespace

void Scene::initShaders() {
    ArchiveIndex::instance();
    tableShader = buildFrom(kTableSources);
    clothShader = buildFrom(kClothSources[0]);
    legShader = buildFrom(kLegSources[0]);
    frameShader = buildFrom(kFrameSources[0]);
    ballShader = buildFrom(kBallSources);
    cueShader = new Shader(kCueDesignVertexPath, kCueDesignFragmentPath);
    roomShader = buildFrom(kRoomSources[0]);
    programs = {tableShader, clothShader, legShader, frameShader, ballShader, roomShader, cueShader};
    startPrefetch();
}

void Scene::startPrefetch() {
    if (!prefetcher_ && nextStep_ < kSceneLoadingSteps) {
        auto known = std::make_shared<std::set<std::string>>();
        prefetcher_ = std::make_unique<LoadingPrefetcher>(
            kSceneLoadingSteps, [known](int step) { return stepInputs(step, *known); }, kPrefetchBudgetBytes);
    }
}

void Scene::reloadLightingShaders(bool firstSet) {
    ArchiveIndex::instance();
    const int set = firstSet ? 0 : 1;
    if (clothShader) rebuildFrom(clothShader, kClothSources[set]);
    if (legShader) rebuildFrom(legShader, kLegSources[set]);
    if (frameShader) rebuildFrom(frameShader, kFrameSources[set]);
    if (roomShader) rebuildFrom(roomShader, kRoomSources[set]);
}

bool Scene::loadModels() {
    if (nextStep_ >= kSceneLoadingSteps) return true;
    const int number = nextStep_ + 1;
    BZ_LOG(LOG_INFO, "loadModels", "loading item " << number << " at " << SDL_GetTicks());
    startPrefetch();
    prefetcher_->beginStep(nextStep_);
    runStep(nextStep_);
    prefetcher_->endStep(nextStep_);
    ++nextStep_;
    if (nextStep_ == kSceneLoadingSteps) prefetcher_.reset();
    BZ_LOG(LOG_INFO, "loadModels", "loaded item " << number << " at " << SDL_GetTicks());
    return false;
}

void Scene::runStep(int step) {
    if (step < 28) {
        const ModelStep& s = kModels[step];
        this->*s.slot = new Model(s.path, this->*s.program);
    } else if (step == 28) {
        placeModels();
    } else if (step == 29 || step == 30) {
        const std::string& member = ArchiveIndex::instance().nameAt(kMarkingsMember);
        tableMarkingsTextures[step - 29] = createTableMarkingsFrom(member, step == 29 ? 1 : 0);
    } else if (step == 31) {
        for (size_t i = 0; i < 9; ++i) {
            textures[i] = textureFromFile(ArchiveIndex::instance().nameAt(kFirstSceneTextureMember + i), ".", "");
        }
        makeInstances();
    }
}

void Scene::placeModels() {
    for (Model* table : {bedClubModel, bedProModel, cushionRubberClubModel, cushionRubberProModel, frameClubModel,
                         frameProModel, cushionClubModel, cushionProModel, hooksModel, roundLegModel,
                         squareLegModel, pocketsModel}) {
        table->setScale(100);
    }
    for (Model* cue : {cueMainModel, cueTipModel}) {
        cue->rotateX(-0.7853982f);
        cue->setScale(100);
    }
    // Every ball model, orange and purple included, is made at the same size.
    for (Model* ball : {blackBallModel, blackWhiteBallModel, blueBallModel, brownBallModel, greenBallModel,
                        orangeBallModel, pinkBallModel, purpleBallModel, redBallModel, whiteBallModel,
                        whiteDotBallModel, woodBallModel, yellowBallModel}) {
        ball->setScale(kBallScale);
    }
    for (Model* cue : {cueMainModel, cueTipModel}) {
        cue->translate({0, -45, 0});
        cue->setAxisScale({1, 1.35f, 1.35f});
    }
    const struct {
        Model* model;
        float x, z;
    } kSpots[] = {
        {blackBallModel, -1460.5f, 0},        {blackWhiteBallModel, 1400, -100},
        {blueBallModel, 0, 0},                {brownBallModel, 1047.5f, 0},
        {greenBallModel, 1047.5f, 292},       {pinkBallModel, -892.25f, 0},
        {whiteBallModel, 1162.25f, -128.25f}, {whiteDotBallModel, 1262.25f, -128.25f},
        {woodBallModel, 100, 100},            {yellowBallModel, 1047.5f, -292},
    };
    for (const auto& spot : kSpots) spot.model->translate({spot.x, kBallHeight, spot.z});
}

void Scene::makeInstances() {
    auto instance = [](Model* model) { return new ModelInstance(model, nullptr); };
    clubInstances = {instance(cushionRubberClubModel), instance(frameClubModel), instance(cushionClubModel)};
    proInstances = {instance(frameProModel), instance(cushionRubberProModel), instance(cushionProModel)};
    roomClubInstances = {instance(cushionRubberClubModel), instance(frameClubModel), instance(cushionClubModel)};
    roomProInstances = {instance(cushionRubberProModel), instance(frameProModel), instance(cushionProModel)};

    roomModel->setScale(100);
    roomModel->rotateY(3.1415927f);

    Model* extras[5] = {whiteBallModel, whiteDotBallModel, blackWhiteBallModel, woodBallModel, whiteBallModel};
    for (int i = 0; i < 5; ++i) extraBallInstances[i] = instance(extras[i]);
    ballInstances[0] = extraBallInstances[1];
    ballInstances[1] = nullptr;
    Model* colours[8] = {yellowBallModel, greenBallModel, brownBallModel, blueBallModel,
                         pinkBallModel,   blackBallModel, orangeBallModel, purpleBallModel};
    for (int i = 0; i < 8; ++i) ballInstances[2 + i] = instance(colours[i]);
    for (int i = 10; i < kBallInstanceCount; ++i) ballInstances[i] = instance(redBallModel);
    // A choice made before the instances existed takes effect now.
    applyCueBallDesign();
}

void Scene::setCueBallDesign(int design) {
    dottedCueBall_ = design != 0;
    applyCueBallDesign();
}

void Scene::applyCueBallDesign() {
    ModelInstance* chosen = extraBallInstances[dottedCueBall_ ? 1 : 0];
    if (chosen) ballInstances[0] = chosen;
}

void Scene::setCueDesign(int design) {
    const int d = (design >= 1 && design <= 8) ? design : 1;
    if (d == cueDesign) return;
    static const std::string kColour[2] = {"res/table/Cue_2_COL7_ext1.png", "res/table/Cue_2_COL8_ext1.png"};
    static const std::string kGloss[2] = {"res/table/Cue_2_GLOSS7.png", "res/table/Cue_2_GLOSS8.png"};
    const ArchiveIndex& index = ArchiveIndex::instance();
    const std::string colour = d <= 6 ? index.nameAt(kFirstCueColourMember + size_t(d) - 1) : kColour[d - 7];
    const std::string gloss = d <= 6 ? index.nameAt(kFirstCueGlossMember + size_t(d) - 1) : kGloss[d - 7];
    // Only the cue's existing design textures are updated: with no cue model loaded there is nothing
    // to upload into, and new textures that no mesh uses would only leak. The design is then not
    // taken as applied, so the first call after the cue has loaded uploads it.
    const unsigned* ids = modelShared().cueMainTextureIds;
    if (!ids[0] && !ids[1] && !ids[2]) return;
    DecodedImage colourImage;
    if (ids[0] || ids[1]) decodeArchiveImage(colour, colour, "updateTextureFromFile", colourImage);
    if (ids[0]) uploadDecodedImage(ids[0], colourImage, minFilterFromName(""));
    if (ids[1]) uploadDecodedImage(ids[1], colourImage, minFilterFromName("GL_LINEAR"));
    if (ids[2]) updateTextureFromFile(ids[2], gloss, ".", "");
    cueDesign = d;
}
