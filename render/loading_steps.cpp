#include "render/loading_steps.h"

#include "render/scene.h"

bool loadingStepDue(uint32_t nowTicks, int64_t firstLoginTicks, bool resourcesLoaded) {
    if (resourcesLoaded || firstLoginTicks < 0) return false;
    return int64_t(nowTicks) - firstLoginTicks > 2999;
}

ResourceLoader::ResourceLoader(Scene& scene, std::function<bool()> loadSounds)
    : scene_(scene), loadSounds_(std::move(loadSounds)) {}

bool ResourceLoader::step() {
    if (resourcesLoaded_) return false;
    if (!scene_.loaded()) {
        scene_.loadModels();
        return false;
    }
    const bool result = loadSounds_ ? loadSounds_() : true;
    resourcesLoaded_ = true;
    return result;
}

namespace {

std::function<bool()>& soundStep() {
    static std::function<bool()> step;
    return step;
}

ResourceLoader& processLoader() {
    static ResourceLoader loader(getScene(), [] { return soundStep() ? soundStep()() : true; });
    return loader;
}

}  // namespace

void setSoundLoadingStep(std::function<bool()> loadSounds) { soundStep() = std::move(loadSounds); }

bool loadResourcesStep() { return processLoader().step(); }

bool resourcesLoaded() { return processLoader().resourcesLoaded(); }
