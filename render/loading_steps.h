// The loading of the scene and the sounds in small steps, one per frame, while the login page shows.
#pragma once

#include <cstdint>
#include <functional>

class Scene;

// Whether a step is due this frame. Steps start 3 s after the login state was first entered and go
// on in every later state until everything is loaded, so a fast login cannot leave the scene half
// filled. firstLoginTicks < 0: the login state has not been entered yet.
bool loadingStepDue(uint32_t nowTicks, int64_t firstLoginTicks, bool resourcesLoaded);

// Runs one step: the next scene step while any remains, else all sounds at once (the audio layer
// hands in its loader). Returns the sound loader's result in the call that ran it, else false.
class ResourceLoader {
public:
    ResourceLoader(Scene& scene, std::function<bool()> loadSounds);
    bool step();
    bool resourcesLoaded() const { return resourcesLoaded_; }

private:
    Scene& scene_;
    std::function<bool()> loadSounds_;
    bool resourcesLoaded_ = false;
};

// The loader of the process over getScene(); the shell sets the sound step once before the first call.
void setSoundLoadingStep(std::function<bool()> loadSounds);
bool loadResourcesStep();
bool resourcesLoaded();
