#include "render/model.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "core/archive.h"
#include "core/archive_io.h"
#include "core/log.h"
#include "render/loading_prefetch.h"
#include "render/member_text.h"
#include "render/shader.h"
#include "render/texture_loader.h"

const unsigned kModelImportFlags = aiProcess_CalcTangentSpace | aiProcess_Triangulate | aiProcess_FlipUVs;

ModelShared& modelShared() {
    static ModelShared shared;
    return shared;
}

float bumpFactorOf(const std::string& mapBumpLine) {
    const size_t at = mapBumpLine.find(" -bm ");
    if (at == std::string::npos) return 1.0f;
    const float factor = float(std::strtod(mapBumpLine.c_str() + at + 5, nullptr));
    return (factor > 0.0f && factor <= 1.0f) ? factor : 1.0f;
}

namespace {

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string afterLastBlank(const std::string& line) {
    const size_t blank = line.find_last_of(' ');
    return blank == std::string::npos ? line : line.substr(blank + 1);
}

std::string stripCarriageReturn(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

void readBumpFactors(const std::string& materialText, std::map<std::string, float>& factors) {
    std::istringstream lines(materialText);
    std::string line, material;
    while (std::getline(lines, line)) {
        line = stripCarriageReturn(line);
        if (startsWith(line, "newmtl ")) {
            material = afterLastBlank(line);
        } else if (startsWith(line, "map_Bump ") && !material.empty()) {
            factors[material] = bumpFactorOf(line);
        }
    }
}

std::string materialLibraryOf(const std::string& objText) {
    std::istringstream lines(objText);
    std::string line;
    while (std::getline(lines, line)) {
        line = stripCarriageReturn(line);
        if (startsWith(line, "mtllib ")) return afterLastBlank(line);
    }
    return {};
}

std::string modelDirectory(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

namespace {

bool readMemberTextOrLog(const std::string& path, std::string& out, bool log) {
    if (readMemberText(path, out)) return true;
    if (log) BZ_LOG(LOG_ERROR, "loadModel", "Unable to open file \"" << path << "\"");
    return false;
}

}  // namespace

bool readModelBumpFactors(const std::string& path, std::map<std::string, float>& factors, bool log) {
    // Only an .obj names a material library.
    if (path.find(".obj") == std::string::npos) return true;
    std::string objText, materialText;
    if (!readMemberTextOrLog(path, objText, log)) return false;
    const std::string library = materialLibraryOf(objText);
    if (library.empty()) return true;
    if (!readMemberTextOrLog(modelDirectory(path) + "/" + library, materialText, log)) return false;
    readBumpFactors(materialText, factors);
    return true;
}

Model::Model(const std::string& path, Shader* program) : program(program) { loadModel(path); }

void Model::loadModel(const std::string& path) {
    // The loading steps may have imported the model ahead, on their worker.
    LoadingPrefetcher* prefetcher = activeLoadingPrefetcher();
    std::unique_ptr<PreparedModel> prepared = prefetcher ? prefetcher->takeModel(path) : nullptr;
    Assimp::Importer ownImporter;
    const aiScene* scene = nullptr;
    if (prepared) {
        scene = prepared->importer->GetScene();
    } else {
        ownImporter.SetIOHandler(new ArchiveIOSystem);
        scene = ownImporter.ReadFile(path, kModelImportFlags);
    }
    if (!scene || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || !scene->mRootNode) {
        BZ_LOG(LOG_ERROR, "loadModel", "ASSIMP: " << ownImporter.GetErrorString());
        return;
    }
    directory = modelDirectory(path);

    if (prepared && prepared->bumpFactorsRead) {
        for (const auto& [material, factor] : prepared->bumpFactors) modelShared().bumpFactors[material] = factor;
    } else {
        readModelBumpFactors(path, modelShared().bumpFactors, true);
    }
    processNode(scene->mRootNode, scene);
}

void Model::processNode(const aiNode* node, const aiScene* scene) {
    for (unsigned i = 0; i < node->mNumMeshes; ++i) {
        const unsigned index = node->mMeshes[i];
        if (index < scene->mNumMeshes) meshes.push_back(processMesh(scene->mMeshes[index], scene, node->mName.C_Str()));
    }
    for (unsigned i = 0; i < node->mNumChildren; ++i) processNode(node->mChildren[i], scene);
}

namespace {

// The mesh's vertices; a mesh without normals, texture coordinates or tangents gets zeros for them
// rather than a read through a null array.
void copyVertices(const aiMesh* mesh, std::vector<Vertex>& vertices) {
    vertices.resize(mesh->mNumVertices);
    const bool tangents = mesh->mTangents && mesh->mBitangents;
    for (unsigned i = 0; i < mesh->mNumVertices; ++i) {
        Vertex& v = vertices[i];
        v = Vertex{};
        v.position[0] = mesh->mVertices[i].x;
        v.position[1] = mesh->mVertices[i].y;
        v.position[2] = mesh->mVertices[i].z;
        if (mesh->mNormals) {
            v.normal[0] = mesh->mNormals[i].x;
            v.normal[1] = mesh->mNormals[i].y;
            v.normal[2] = mesh->mNormals[i].z;
        }
        if (mesh->mTextureCoords[0]) {
            v.texCoords[0] = mesh->mTextureCoords[0][i].x;
            v.texCoords[1] = mesh->mTextureCoords[0][i].y;
        }
        if (tangents) {
            v.tangent[0] = mesh->mTangents[i].x;
            v.tangent[1] = mesh->mTangents[i].y;
            v.tangent[2] = mesh->mTangents[i].z;
            v.bitangent[0] = mesh->mBitangents[i].x;
            v.bitangent[1] = mesh->mBitangents[i].y;
            v.bitangent[2] = mesh->mBitangents[i].z;
        }
    }
}

// The faces' indices, without any that point past the vertices.
void copyIndices(const aiMesh* mesh, std::vector<unsigned>& indices) {
    for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
        const aiFace& face = mesh->mFaces[f];
        for (unsigned k = 0; k < face.mNumIndices; ++k) {
            if (face.mIndices[k] < mesh->mNumVertices) indices.push_back(face.mIndices[k]);
        }
    }
}

// The vertex array and its two buffers, with the five attributes of Vertex at locations 0 to 4.
void uploadMesh(Mesh& mesh) {
    glGenVertexArrays(1, &mesh.vao);
    glGenBuffers(1, &mesh.vbo);
    glGenBuffers(1, &mesh.ebo);
    glBindVertexArray(mesh.vao);
    glBindBuffer(GL_ARRAY_BUFFER, mesh.vbo);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(mesh.vertices.size() * sizeof(Vertex)), mesh.vertices.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.ebo);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(mesh.indices.size() * sizeof(unsigned)), mesh.indices.data(),
                 GL_STATIC_DRAW);
    static const struct {
        int components;
        size_t offset;
    } kAttributes[] = {{3, offsetof(Vertex, position)},
                       {3, offsetof(Vertex, normal)},
                       {2, offsetof(Vertex, texCoords)},
                       {3, offsetof(Vertex, tangent)},
                       {3, offsetof(Vertex, bitangent)}};
    for (unsigned a = 0; a < 5; ++a) {
        glEnableVertexAttribArray(a);
        glVertexAttribPointer(a, kAttributes[a].components, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                              reinterpret_cast<const void*>(kAttributes[a].offset));
    }
    glBindVertexArray(0);
    mesh.vertexCount = unsigned(mesh.vertices.size());
    mesh.indexCount = unsigned(mesh.indices.size());
    std::vector<Vertex>().swap(mesh.vertices);
    std::vector<unsigned>().swap(mesh.indices);
}

}  // namespace

Mesh Model::processMesh(const aiMesh* mesh, const aiScene* scene, const std::string& nodeName) {
    Mesh result;
    copyVertices(mesh, result.vertices);
    copyIndices(mesh, result.indices);

    if (mesh->mMaterialIndex < scene->mNumMaterials) {
        const aiMaterial* material = scene->mMaterials[mesh->mMaterialIndex];
        static const std::pair<aiTextureType, const char*> kKinds[] = {
            {aiTextureType_DIFFUSE, "texture_diffuse"},
            {aiTextureType_SPECULAR, "texture_specular"},
            {aiTextureType_HEIGHT, "texture_normal"},
            {aiTextureType_AMBIENT, "texture_height"},
        };
        for (const auto& [type, typeName] : kKinds) {
            std::vector<Texture> found = loadMaterialTextures(material, type, typeName);
            result.textures.insert(result.textures.end(), found.begin(), found.end());
        }
        aiString materialName;
        material->Get(AI_MATKEY_NAME, materialName);
        if (std::string(materialName.C_Str()) == "Cue_main" && result.textures.size() > 2) {
            for (int i = 0; i < 3; ++i) modelShared().cueMainTextureIds[i] = result.textures[i].id;
        }
    }
    result.name = nodeName;
    result.meshName = mesh->mName.C_Str();
    uploadMesh(result);
    return result;
}

std::vector<Texture> Model::loadMaterialTextures(const aiMaterial* material, int type, const std::string& typeName) {
    ModelShared& shared = modelShared();
    float bump = 1.0f;
    if (typeName == "texture_normal") {
        aiString materialName;
        material->Get(AI_MATKEY_NAME, materialName);
        // A material without a "map_Bump" factor enters the table with 0.
        bump = shared.bumpFactors[materialName.C_Str()];
    }
    std::vector<Texture> result;
    const aiTextureType kind = aiTextureType(type);
    for (unsigned i = 0; i < material->GetTextureCount(kind); ++i) {
        aiString file;
        material->GetTexture(kind, i, &file);
        const std::string path = file.C_Str();

        bool reused = false;
        bool seenWithOtherBump = false;
        unsigned otherBumpId = 0;
        for (const Texture& loaded : shared.loadedTextures) {
            if (loaded.path != path) continue;
            if (loaded.bump == bump) {
                result.push_back(loaded);
                reused = true;
                break;
            }
            seenWithOtherBump = true;
            otherBumpId = loaded.id;
        }
        if (reused) continue;

        // An "_ext1" image also serves as a second sampler of its type, linear and not mipmapped; it
        // is decoded once for both uploads.
        const bool pair = path.find("_ext1") != std::string::npos;
        unsigned ids[2] = {otherBumpId, otherBumpId};
        if (!seenWithOtherBump) {
            const auto image = obtainImage(texturePath(path, directory), path, "updateTextureFromFile");
            ids[0] = uploadDecodedImage(0, *image, minFilterFromName(""));
            if (pair) ids[1] = uploadDecodedImage(0, *image, minFilterFromName("GL_LINEAR"));
        }
        for (int k = 0; k < (pair ? 2 : 1); ++k) {
            Texture texture;
            texture.id = ids[k];
            texture.type = typeName;
            texture.path = path;
            texture.bump = bump;
            result.push_back(texture);
            shared.loadedTextures.push_back(texture);
        }
    }
    return result;
}

void Model::setPosition(Vec3 v) {
    position = v;
    translation = Mat4::translation(v);
    dirty = true;
}
void Model::translate(Vec3 d) {
    position = position + d;
    translation = translation * Mat4::translation(d);
    dirty = true;
}
void Model::setOffset(Vec3 v) {
    offset = v;
    offsetMatrix = Mat4::translation(v);
    dirty = true;
}
void Model::translateOffset(Vec3 d) {
    offset = offset + d;
    offsetMatrix = offsetMatrix * Mat4::translation(d);
    dirty = true;
}
void Model::resetRotation() {
    rotation = Mat4::identity();
    dirty = true;
}
void Model::rotateX(float a) {
    rotation = rotation * Mat4::rotation({1, 0, 0}, a);
    dirty = true;
}
void Model::rotateY(float a) {
    rotation = rotation * Mat4::rotation({0, 1, 0}, a);
    dirty = true;
}
void Model::rotateZ(float a) {
    rotation = rotation * Mat4::rotation({0, 0, 1}, a);
    dirty = true;
}
void Model::setScale(float s) {
    scale = s;
    dirty = true;
}
void Model::setAxisScale(Vec3 v) {
    axisScale = v;
    dirty = true;
}

const Mat4& Model::currentMatrix() {
    if (dirty) {
        const Mat4 s = Mat4::scaling({scale * axisScale.x, scale * axisScale.y, scale * axisScale.z});
        modelMatrix = translation * rotation * offsetMatrix * s;
        dirty = false;
    }
    return modelMatrix;
}

void Model::draw(const Mat4& projection, const Mat4& view) {
    drawMeshes(nullptr, projection, view, currentMatrix());
}

void Model::drawMeshes(Shader* with, const Mat4& projection, const Mat4& view, const Mat4& model) {
    ModelShared& shared = modelShared();
    Shader* chosen = with ? with : program;
    if (!chosen) return;
    if (chosen != shared.lastProgram) {
        chosen->use();
        shared.lastProgram = chosen;
    }
    const unsigned id = chosen->id;
    glUniformMatrix4fv(glGetUniformLocation(id, "projection"), 1, GL_FALSE, projection.data());
    glUniformMatrix4fv(glGetUniformLocation(id, "view"), 1, GL_FALSE, view.data());
    glUniformMatrix4fv(glGetUniformLocation(id, "model"), 1, GL_FALSE, model.data());

    for (const Mesh& mesh : meshes) {
        if (std::find(shared.hiddenMeshNames.begin(), shared.hiddenMeshNames.end(), mesh.name) !=
            shared.hiddenMeshNames.end()) {
            continue;
        }
        float normalBlend = 1.0f;
        std::map<std::string, int> counters;
        for (size_t j = 0; j < mesh.textures.size(); ++j) {
            const Texture& texture = mesh.textures[j];
            glActiveTexture(GLenum(GL_TEXTURE0 + j));
            int& counter = counters.try_emplace(texture.type, 1).first->second;
            const std::string sampler = texture.type + std::to_string(counter++);
            if (texture.type == "texture_normal") normalBlend = texture.bump;
            glUniform1i(glGetUniformLocation(id, sampler.c_str()), int(j));
            glBindTexture(GL_TEXTURE_2D, texture.id);
        }
        glUniform1f(glGetUniformLocation(id, "normalBlend"), normalBlend);
        glBindVertexArray(mesh.vao);
        glDrawElements(GL_TRIANGLES, GLsizei(mesh.indexCount), GL_UNSIGNED_INT, nullptr);
        glBindVertexArray(0);
        glActiveTexture(GL_TEXTURE0);
    }
}

ModelInstance::ModelInstance(Model* model, Shader* program)
    : model(model),
      program(program),
      position(model->position),
      scale(model->scale),
      translation(model->translation),
      offsetMatrix(model->offsetMatrix),
      rotation(model->rotation),
      modelMatrix(model->modelMatrix),
      dirty(model->dirty) {}

void ModelInstance::setPosition(Vec3 v) {
    position = v;
    translation = Mat4::translation(v);
    dirty = true;
}
void ModelInstance::resetRotation() {
    rotation = Mat4::identity();
    dirty = true;
}
void ModelInstance::rotate(float a, Vec3 axis) {
    rotation = rotation * Mat4::rotation(normalized(axis), a);
    dirty = true;
}

const Mat4& ModelInstance::currentMatrix() {
    if (dirty) {
        modelMatrix = translation * rotation * offsetMatrix * Mat4::scaling({scale, scale, scale});
        dirty = false;
    }
    return modelMatrix;
}

void ModelInstance::draw(const Mat4& projection, const Mat4& view) {
    model->drawMeshes(program, projection, view, currentMatrix());
}
