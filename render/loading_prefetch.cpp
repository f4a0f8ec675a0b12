#include "render/loading_prefetch.h"

#include <sstream>

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "core/archive.h"
#include "core/archive_io.h"
#include "render/member_text.h"
#include "render/model.h"

std::vector<std::string> materialImagesOf(const std::string& objPath, std::set<std::string>& known) {
    std::vector<std::string> images;
    std::string obj, materials;
    if (!readMemberText(objPath, obj)) return images;
    const std::string library = materialLibraryOf(obj);
    const std::string directory = modelDirectory(objPath);
    if (library.empty() || !readMemberText(directory + "/" + library, materials)) return images;

    // Only the materials the model uses: a library may serve several models.
    std::set<std::string> used;
    std::istringstream objLines(obj);
    std::string line;
    while (std::getline(objLines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("usemtl ", 0) == 0) used.insert(line.substr(line.find_last_of(' ') + 1));
    }
    std::istringstream lines(materials);
    std::string material;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("newmtl ", 0) == 0) material = line.substr(line.find_last_of(' ') + 1);
        if (!used.count(material)) continue;
        for (const char* key : {"map_Kd ", "map_Ks ", "map_Bump ", "map_Ka "}) {
            if (line.rfind(key, 0) != 0) continue;
            const std::string file = line.substr(line.find_last_of(' ') + 1);
            const std::string image = texturePath(file, directory);
            if (!known.insert(file).second) continue;
            images.push_back(image);
        }
    }
    return images;
}

namespace {

LoadingPrefetcher* activePrefetcher = nullptr;

size_t sceneBytes(const aiScene* scene) {
    size_t bytes = 0;
    for (unsigned i = 0; i < scene->mNumMeshes; ++i) bytes += size_t(scene->mMeshes[i]->mNumVertices) * 120;
    return bytes;
}

// Imports the model as the loader does and reads its bump factors; null when the import fails.
std::unique_ptr<PreparedModel> prepareModel(const std::string& path) {
    auto prepared = std::make_unique<PreparedModel>();
    prepared->importer = std::make_unique<Assimp::Importer>();
    prepared->importer->SetIOHandler(new ArchiveIOSystem);
    const aiScene* scene = prepared->importer->ReadFile(path, kModelImportFlags);
    if (!scene || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || !scene->mRootNode) return nullptr;
    prepared->bumpFactorsRead = readModelBumpFactors(path, prepared->bumpFactors, false);
    return prepared;
}

}  // namespace

LoadingPrefetcher* activeLoadingPrefetcher() { return activePrefetcher; }

LoadingPrefetcher::LoadingPrefetcher(int stepCount, StepPlan plan, size_t budgetBytes) : budgetBytes_(budgetBytes) {
    worker_ = std::thread([this, stepCount, plan = std::move(plan)] { run(stepCount, plan); });
}

LoadingPrefetcher::~LoadingPrefetcher() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
    if (activePrefetcher == this) activePrefetcher = nullptr;
}

void LoadingPrefetcher::hold(const Key& key, Held held) {
    std::lock_guard<std::mutex> lock(mutex_);
    heldBytes_ += held.bytes;
    held_[key] = std::move(held);
}

LoadingPrefetcher::Held LoadingPrefetcher::release(const Key& key) {
    auto found = held_.find(key);
    if (found == held_.end()) return {};
    Held held = std::move(found->second);
    held_.erase(found);
    heldBytes_ -= held.bytes;
    changed_.notify_all();
    return held;
}

void LoadingPrefetcher::run(int stepCount, const StepPlan& plan) {
    for (int step = 0; step < stepCount; ++step) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || heldBytes_ <= budgetBytes_; });
            if (stopping_) break;
        }
        const StepInputs inputs = plan(step);
        if (!inputs.modelPath.empty()) {
            Held held;
            held.model = prepareModel(inputs.modelPath);
            if (held.model) {
                held.bytes = sceneBytes(held.model->importer->GetScene());
                hold({step, inputs.modelPath}, std::move(held));
            }
        }
        for (const std::string& member : inputs.images) {
            Held held;
            held.image = std::make_unique<DecodedImage>();
            decodeArchiveImage(member, member, nullptr, *held.image);
            if (!held.image->pixels) continue;
            if (inputs.prepareImage) inputs.prepareImage(*held.image);
            held.bytes = size_t(held.image->width) * size_t(held.image->height) * 4;
            hold({step, member}, std::move(held));
        }
        std::lock_guard<std::mutex> lock(mutex_);
        preparedSteps_ = step + 1;
        changed_.notify_all();
        if (stopping_) break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

void LoadingPrefetcher::beginStep(int step) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return finished_ || preparedSteps_ > step; });
    currentStep_ = step;
    activePrefetcher = this;
}

void LoadingPrefetcher::endStep(int step) {
    std::lock_guard<std::mutex> lock(mutex_);
    while (!held_.empty() && held_.begin()->first.first <= step) {
        const Key key = held_.begin()->first;
        release(key);
    }
    currentStep_ = -1;
    activePrefetcher = nullptr;
}

std::unique_ptr<DecodedImage> LoadingPrefetcher::takeImage(const std::string& member) {
    std::lock_guard<std::mutex> lock(mutex_);
    return release({currentStep_, member}).image;
}

std::unique_ptr<PreparedModel> LoadingPrefetcher::takeModel(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    return release({currentStep_, path}).model;
}
