// Does the CPU work of the coming loading steps on a worker thread, ahead of the steps: reading and
// decoding their images, importing their models and reading their bump factors. Each step's frame
// is then left with turning the results into GL objects.
#pragma once

#include <assimp/Importer.hpp>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "render/texture_loader.h"

// A model imported ahead of its step, with the bump factors of its material library.
struct PreparedModel {
    std::unique_ptr<Assimp::Importer> importer;
    std::map<std::string, float> bumpFactors;
    bool bumpFactorsRead = false;  // false: the step reads them itself (and logs what is missing)
};

// What one step needs: the model it imports (empty for none), the image members it decodes, and
// what it does to each decoded image before the upload (none: nothing).
struct StepInputs {
    std::string modelPath;
    std::vector<std::string> images;
    std::function<void(DecodedImage&)> prepareImage;
};

class LoadingPrefetcher {
public:
    using StepPlan = std::function<StepInputs(int step)>;

    // Starts the worker over steps 0 to stepCount - 1. It runs ahead while what no step has taken
    // yet stays under budgetBytes.
    LoadingPrefetcher(int stepCount, StepPlan plan, size_t budgetBytes);
    LoadingPrefetcher(const LoadingPrefetcher&) = delete;
    LoadingPrefetcher& operator=(const LoadingPrefetcher&) = delete;
    ~LoadingPrefetcher();

    // Waits until the step's work is done and makes this the prefetcher the loaders ask.
    void beginStep(int step);
    // Drops what the step left untaken; the loaders stop asking.
    void endStep(int step);
    // The running step's results, or null: not prepared, or failed (the caller then does the work
    // itself and logs why).
    std::unique_ptr<DecodedImage> takeImage(const std::string& member);
    std::unique_ptr<PreparedModel> takeModel(const std::string& path);

private:
    struct Held {
        std::unique_ptr<DecodedImage> image;
        std::unique_ptr<PreparedModel> model;
        size_t bytes = 0;
    };
    using Key = std::pair<int, std::string>;  // step, member or model path

    void run(int stepCount, const StepPlan& plan);
    void hold(const Key& key, Held held);
    Held release(const Key& key);  // under the lock

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<Key, Held> held_;
    size_t heldBytes_ = 0;
    size_t budgetBytes_;
    int preparedSteps_ = 0;
    int currentStep_ = -1;
    bool stopping_ = false;
    bool finished_ = false;
    std::thread worker_;
};

// The prefetcher of the step that is running, if any.
LoadingPrefetcher* activeLoadingPrefetcher();

// The image members that the materials a model uses name (map_Kd, map_Ks, map_Bump, map_Ka), as the
// model loader opens them: relative to the model's folder. File names in `known` are left out and
// the listed ones are added to it.
std::vector<std::string> materialImagesOf(const std::string& objPath, std::set<std::string>& known);
