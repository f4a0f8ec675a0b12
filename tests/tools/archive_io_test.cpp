#include "core/archive_io.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <memory>

#include "archive_fixture.h"

namespace {

using ArchiveIOTest = ArchiveFixture;

const std::string kModel =
    "mtllib Ball_test.mtl\n"
    "o Ball\n"
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n"
    "usemtl Shiny\n"
    "f 1 2 3 4\n";
const std::string kMaterials =
    "newmtl Shiny\r\n"
    "Kd 0.25 0.5 0.75\r\n";

constexpr unsigned kLoaderFlags = aiProcess_Triangulate | aiProcess_CalcTangentSpace | aiProcess_FlipUVs;

struct Imported {
    std::unique_ptr<Assimp::Importer> importer = std::make_unique<Assimp::Importer>();
    const aiScene* scene = nullptr;
};

// As the renderer's loader does it: one importer per model, owning one new archive file system.
Imported import(const std::string& name) {
    Imported result;
    result.importer->SetIOHandler(new ArchiveIOSystem);
    result.scene = result.importer->ReadFile(name, kLoaderFlags);
    return result;
}

const aiMaterial* materialNamed(const aiScene* scene, const std::string& name) {
    for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
        aiString materialName;
        scene->mMaterials[i]->Get(AI_MATKEY_NAME, materialName);
        if (name == materialName.C_Str()) return scene->mMaterials[i];
    }
    return nullptr;
}

std::vector<PackMember> withMaterialCopies(std::vector<PackMember> members) {
    std::vector<std::string> warnings;
    std::string error;
    EXPECT_TRUE(addMaterialLibraryCopies(members, warnings, error)) << error;
    return members;
}

}  // namespace

TEST_F(ArchiveIOTest, ReadDeliversWholeItemsOnly) {
    pack({{"thirty", std::string(30, 'z')}});
    ArchiveIOStream stream("thirty");
    char out[64];
    EXPECT_EQ(stream.Read(out, 4, 10), 7u);
    EXPECT_EQ(stream.Tell(), 28u);
    EXPECT_EQ(stream.Read(out, 4, 1), 0u);
    EXPECT_EQ(stream.Read(out, 0, 5), 0u);  // an item size of 0 reads nothing
    EXPECT_EQ(stream.Tell(), 28u);
    EXPECT_EQ(stream.Read(out, 1, 5), 2u);
    EXPECT_EQ(stream.Tell(), 30u);

    ArchiveIOStream again("thirty");
    EXPECT_EQ(again.Read(out, 1, 64), 30u);
    EXPECT_EQ(again.Tell(), again.FileSize());
    EXPECT_EQ(again.Write(out, 1, 4), 0u);
}

TEST_F(ArchiveIOTest, SeekMapsTheOriginsAndRefusesPositionsPastTheEnd) {
    pack({{"ten", "0123456789"}});
    ArchiveIOStream stream("ten");
    EXPECT_EQ(stream.Seek(0, aiOrigin_END), aiReturn_SUCCESS);
    EXPECT_EQ(stream.Tell(), 10u);
    EXPECT_EQ(stream.Seek(1, aiOrigin_END), aiReturn_FAILURE);
    EXPECT_EQ(stream.Tell(), 10u);
    EXPECT_EQ(stream.Seek(size_t(-3), aiOrigin_CUR), aiReturn_SUCCESS);
    EXPECT_EQ(stream.Tell(), 7u);
    EXPECT_EQ(stream.Seek(2, aiOrigin(7)), aiReturn_SUCCESS);  // an unknown origin counts from the start
    EXPECT_EQ(stream.Tell(), 2u);
    EXPECT_EQ(stream.Seek(4, aiOrigin_SET), aiReturn_SUCCESS);
    char out[2];
    EXPECT_EQ(stream.Read(out, 2, 1), 1u);
    EXPECT_EQ(std::string(out, 2), "45");
}

TEST_F(ArchiveIOTest, MissingMemberGivesAnEmptyStream) {
    pack({{"res/present.txt", "x"}});
    ArchiveIOSystem files;
    EXPECT_TRUE(files.Exists("res/present.txt"));
    EXPECT_TRUE(files.Exists(rows[0].name.c_str()));
    EXPECT_FALSE(files.Exists("res/absent.txt"));
    EXPECT_FALSE(files.Exists(nullptr));
    EXPECT_EQ(files.getOsSeparator(), '/');

    Assimp::IOStream* stream = files.Open("res/absent.txt", "rb");
    ASSERT_NE(stream, nullptr);
    char out[4];
    EXPECT_EQ(stream->FileSize(), 0u);
    EXPECT_EQ(stream->Read(out, 1, 4), 0u);
    EXPECT_EQ(stream->Tell(), ~size_t(0));
    EXPECT_EQ(stream->Seek(0, aiOrigin_SET), aiReturn_FAILURE);
    files.Close(stream);
    files.Close(nullptr);
}

TEST_F(ArchiveIOTest, ModelImportsWithItsMaterialByPlainPathAndByIndexName) {
    pack(withMaterialCopies({{"res/table/Ball_test.obj", kModel}, {"res/table/Ball_test.mtl", kMaterials}}));
    ASSERT_EQ(rows.size(), 3u);  // the library's copy under its bare name follows

    for (const std::string& name : {std::string("res/table/Ball_test.obj"), rows[0].name}) {
        SCOPED_TRACE(name);
        Imported model = import(name);
        ASSERT_NE(model.scene, nullptr) << model.importer->GetErrorString();
        ASSERT_EQ(model.scene->mNumMeshes, 1u);
        EXPECT_EQ(model.scene->mMeshes[0]->mNumFaces, 2u);  // the quad, triangulated
        const aiMaterial* shiny = materialNamed(model.scene, "Shiny");
        ASSERT_NE(shiny, nullptr);
        aiColor3D diffuse;
        ASSERT_EQ(shiny->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse), aiReturn_SUCCESS);
        EXPECT_FLOAT_EQ(diffuse.r, 0.25f);
        EXPECT_FLOAT_EQ(diffuse.g, 0.5f);
        EXPECT_FLOAT_EQ(diffuse.b, 0.75f);
        EXPECT_EQ(model.scene->mMaterials[model.scene->mMeshes[0]->mMaterialIndex], shiny);
    }
}

TEST_F(ArchiveIOTest, ModelWithoutItsMaterialLibraryImportsWithDefaults) {
    pack({{"res/table/Lonely.obj", kModel}});
    Imported model = import("res/table/Lonely.obj");
    ASSERT_NE(model.scene, nullptr) << model.importer->GetErrorString();
    ASSERT_EQ(model.scene->mNumMeshes, 1u);
    const aiMaterial* material = model.scene->mMaterials[model.scene->mMeshes[0]->mMaterialIndex];
    aiColor3D diffuse;
    ASSERT_EQ(material->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse), aiReturn_SUCCESS);
    EXPECT_FLOAT_EQ(diffuse.r, diffuse.b);  // a grey default, not the library's colour
}

TEST_F(ArchiveIOTest, MissingModelFailsWithTheImportersError) {
    pack({{"res/table/Ball_test.obj", kModel}});
    Imported model = import("res/table/Absent.obj");
    EXPECT_EQ(model.scene, nullptr);
    EXPECT_STRNE(model.importer->GetErrorString(), "");
}
