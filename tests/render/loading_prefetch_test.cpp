#include "render/loading_prefetch.h"

#include <assimp/scene.h>

#include "render/stand_in_assets.h"
#include "tools/archive_fixture.h"

namespace {

using LoadingPrefetchTest = ArchiveFixture;

TEST_F(LoadingPrefetchTest, AModelListsOnlyTheImagesOfItsOwnMaterialsOnce) {
    pack({{"res/m/a.obj", "mtllib shared.mtl\nusemtl Wood\nv 0 0 0\nusemtl Cloth\n"},
          {"res/m/b.obj", "mtllib shared.mtl\r\nusemtl Wood\r\n"},
          {"res/m/shared.mtl",
           "newmtl Wood\nmap_Kd wood.png\nmap_Ks wood.png\nmap_Bump -bm 0.5 wood_n.png\n"
           "newmtl Cloth\nmap_Ka cloth.png\nnewmtl Brass\nmap_Kd brass.png\n"}});
    std::set<std::string> known;
    EXPECT_EQ(materialImagesOf("res/m/a.obj", known),
              (std::vector<std::string>{"res/m/wood.png", "res/m/wood_n.png", "res/m/cloth.png"}));
    EXPECT_TRUE(materialImagesOf("res/m/b.obj", known).empty()) << "listed for an earlier model";
    EXPECT_TRUE(materialImagesOf("res/m/missing.obj", known).empty());
}

TEST_F(LoadingPrefetchTest, EachStepGetsItsOwnPreparedWorkAndWhatItLeavesIsDropped) {
    pack({{"res/m/a.png", bztest::pngBytes(4, 2, 3)},
          {"res/m/b.png", bztest::pngBytes(8, 8, 4)},
          {"res/m/cube.obj", "o C\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"}});
    std::vector<StepInputs> plan(4);
    plan[0].images = {"res/m/a.png", "res/m/missing.png"};
    plan[1].images = {"res/m/b.png"};
    plan[1].prepareImage = [](DecodedImage& image) { image.shaded = true; };
    plan[2].modelPath = "res/m/cube.obj";
    plan[3].modelPath = "res/m/missing.obj";
    // A budget of nothing: the worker stays one step ahead of the steps, never stuck.
    LoadingPrefetcher prefetcher(4, [&](int step) { return plan[size_t(step)]; }, 0);

    EXPECT_EQ(activeLoadingPrefetcher(), nullptr);
    prefetcher.beginStep(0);
    EXPECT_EQ(activeLoadingPrefetcher(), &prefetcher);
    EXPECT_EQ(prefetcher.takeImage("res/m/b.png"), nullptr) << "another step's image";
    EXPECT_EQ(prefetcher.takeImage("res/m/missing.png"), nullptr) << "the caller reads it and logs";
    std::unique_ptr<DecodedImage> a = prefetcher.takeImage("res/m/a.png");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->width, 4);
    EXPECT_EQ(a->channels, 3);
    EXPECT_EQ(prefetcher.takeImage("res/m/a.png"), nullptr) << "taken once";
    prefetcher.endStep(0);
    EXPECT_EQ(activeLoadingPrefetcher(), nullptr);

    prefetcher.beginStep(1);
    prefetcher.endStep(1);  // b.png left untaken: dropped
    prefetcher.beginStep(2);
    EXPECT_EQ(prefetcher.takeImage("res/m/b.png"), nullptr);
    std::unique_ptr<PreparedModel> cube = prefetcher.takeModel("res/m/cube.obj");
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->importer->GetScene()->mNumMeshes, 1u);
    EXPECT_TRUE(cube->bumpFactorsRead) << "no material library: nothing to read";
    prefetcher.endStep(2);
    prefetcher.beginStep(3);
    EXPECT_EQ(prefetcher.takeModel("res/m/missing.obj"), nullptr);
    prefetcher.endStep(3);

    // The prepare function ran on the worker before the image was handed over.
    std::vector<StepInputs> shading(1);
    shading[0].images = {"res/m/b.png"};
    shading[0].prepareImage = [](DecodedImage& image) { image.shaded = true; };
    LoadingPrefetcher second(1, [&](int step) { return shading[size_t(step)]; }, 1 << 20);
    second.beginStep(0);
    std::unique_ptr<DecodedImage> b = second.takeImage("res/m/b.png");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->shaded);
    second.endStep(0);
}

TEST_F(LoadingPrefetchTest, ASceneLeftHalfLoadedStopsItsWorker) {
    pack({{"res/m/a.png", bztest::pngBytes(4, 4, 4)}});
    std::atomic<int> planned{0};
    {
        LoadingPrefetcher prefetcher(
            1000, [&](int) { return ++planned, StepInputs{"", {"res/m/a.png"}, {}}; }, 0);
        prefetcher.beginStep(0);
        prefetcher.endStep(0);
    }  // the worker waits for room and must end promptly
    EXPECT_LT(planned.load(), 10);
}

}  // namespace
