// Models imported from the resource archive through assimp, their GL meshes and textures, and
// instances that draw a model's meshes again under a placement of their own.
#pragma once

#include <GL/glew.h>

#include <map>
#include <string>
#include <vector>

#include "render/mat4.h"

class Shader;
struct aiMaterial;
struct aiMesh;
struct aiNode;
struct aiScene;

// The importer's post-processing of every model.
extern const unsigned kModelImportFlags;

// The GL vertex layout: attributes 0 to 4, interleaved, 56 bytes.
struct Vertex {
    float position[3];
    float normal[3];
    float texCoords[2];
    float tangent[3];
    float bitangent[3];
};
static_assert(sizeof(Vertex) == 56);

struct Texture {
    unsigned id = 0;
    std::string type;  // "texture_diffuse", "texture_specular", "texture_normal", "texture_height"
    std::string path;  // as the material gives it
    float bump = 1.0f;
};

struct Mesh {
    // Empty once uploaded: the GL buffers hold them, and nothing reads them again.
    std::vector<Vertex> vertices;
    std::vector<unsigned> indices;
    unsigned vertexCount = 0, indexCount = 0;
    std::vector<Texture> textures;
    std::string name;      // the scene node's name (hiddenMeshNames compares it)
    std::string meshName;  // the mesh's own name
    unsigned vao = 0, vbo = 0, ebo = 0;
};

// What all models share for the whole run: the texture reuse table, the bump factors read from the
// material files, the meshes to skip, the program bound last and the cue's three design textures.
struct ModelShared {
    std::vector<Texture> loadedTextures;
    std::map<std::string, float> bumpFactors;
    std::vector<std::string> hiddenMeshNames;
    Shader* lastProgram = nullptr;
    unsigned cueMainTextureIds[3] = {0, 0, 0};
};
ModelShared& modelShared();

// The factor of a "map_Bump " line: the number after " -bm ", 1.0 without one or outside (0, 1].
float bumpFactorOf(const std::string& mapBumpLine);
// Reads "newmtl " and "map_Bump " lines of a material library text into the factors.
void readBumpFactors(const std::string& materialText, std::map<std::string, float>& factors);
// The material library an .obj text names: the text after the last blank of its first "mtllib "
// line; empty when it has none.
std::string materialLibraryOf(const std::string& objText);
// Reads the bump factors of the material library that the .obj at `path` names into `factors`.
// False when the .obj or its library cannot be read (with `log`, an error line names it).
bool readModelBumpFactors(const std::string& path, std::map<std::string, float>& factors, bool log);
// The model's folder: the path up to its last "/", the whole path when there is none.
std::string modelDirectory(const std::string& path);

class Model {
public:
    Shader* program = nullptr;
    Vec3 position, offset;
    float scale = 1.0f;
    Vec3 axisScale{1, 1, 1};
    Mat4 translation, offsetMatrix, rotation, modelMatrix;
    bool dirty = false;
    std::vector<Mesh> meshes;
    std::string directory;

    Model(const std::string& path, Shader* program);
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    void setPosition(Vec3 v);
    void translate(Vec3 d);
    void setOffset(Vec3 v);
    void translateOffset(Vec3 d);
    void resetRotation();
    void rotateX(float a);
    void rotateY(float a);
    void rotateZ(float a);
    void setScale(float s);
    void setAxisScale(Vec3 v);

    // Rebuilds the model matrix when a transform changed since the last build.
    const Mat4& currentMatrix();
    void draw(const Mat4& projection, const Mat4& view);
    void drawMeshes(Shader* with, const Mat4& projection, const Mat4& view, const Mat4& model);

private:
    void loadModel(const std::string& path);
    void processNode(const aiNode* node, const aiScene* scene);
    Mesh processMesh(const aiMesh* mesh, const aiScene* scene, const std::string& nodeName);
    std::vector<Texture> loadMaterialTextures(const aiMaterial* material, int type, const std::string& typeName);
};

class ModelInstance {
public:
    Model* model = nullptr;
    Shader* program = nullptr;  // none: the model's own
    Vec3 position;
    float scale = 1.0f;
    Mat4 translation, offsetMatrix, rotation, modelMatrix;
    bool dirty = false;

    ModelInstance(Model* model, Shader* program);

    void setPosition(Vec3 v);
    void resetRotation();
    void rotate(float a, Vec3 axis);
    const Mat4& currentMatrix();
    void draw(const Mat4& projection, const Mat4& view);
};
