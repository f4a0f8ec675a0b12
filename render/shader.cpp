#include "render/shader.h"

#include <fstream>
#include <sstream>
#include <vector>

#include "core/log.h"
#include "render/gl_check.h"
#include "render/member_text.h"
#include "render/shader_source.h"

namespace {

bool readDiskText(const char* path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

std::string expandLogged(const std::string& source, const ShaderIncludeReader& read, const char* path) {
    std::vector<std::string> missing;
    std::string text = expandShaderIncludes(source, read, missing);
    for (const std::string& include : missing)
        BZ_LOG(LOG_ERROR, "Shader", "Missing shader include \"" << include << "\" of \"" << path << "\"");
    return text;
}

// A source's includes come from the same place as the source: the archive or the disk.
std::string withIncludes(const std::string& source, bool fromArchive, const char* path) {
    return expandLogged(
        source,
        [fromArchive](const std::string& include, std::string& out) {
            return fromArchive ? readMemberText(include, out) : readDiskText(include.c_str(), out);
        },
        path);
}

unsigned compileStage(GLenum stage, const std::string& source, const std::string& type, const char* path) {
    unsigned object = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(object, 1, &text, nullptr);
    glCompileShader(object);
    Shader::checkCompileErrors(object, type, path);
    return object;
}

}  // namespace

Shader::Shader(const char* vertexPath, const char* fragmentPath, const char* geometryPath) {
    build(vertexPath, fragmentPath, geometryPath);
}

void Shader::rebuild(const char* vertexPath, const char* fragmentPath, const char* geometryPath) {
    glUseProgram(0);
    glDeleteProgram(id);
    build(vertexPath, fragmentPath, geometryPath);
}

void Shader::build(const char* vertexPath, const char* fragmentPath, const char* geometryPath) {
    std::string vertex, fragment, geometry;
    const bool fromArchive = readMemberText(vertexPath, vertex) && readMemberText(fragmentPath, fragment);
    if (fromArchive) {
        if (geometryPath) readMemberText(geometryPath, geometry);
    } else {
        // Both sources of a program come from one place: when either is missing from the archive,
        // both are read from disk.
        vertex.clear();
        fragment.clear();
        bool found = readDiskText(vertexPath, vertex);
        found = readDiskText(fragmentPath, fragment) && found;
        if (geometryPath) readDiskText(geometryPath, geometry);
        if (!found) {
            BZ_LOG(LOG_ERROR, "Shader", "Missing shader source \"" << vertexPath << "\" or \"" << fragmentPath
                                                                   << "\"; the program is built from what was found");
        }
    }

    vertex = withIncludes(vertex, fromArchive, vertexPath);
    fragment = withIncludes(fragment, fromArchive, fragmentPath);
    if (geometryPath) geometry = withIncludes(geometry, fromArchive, geometryPath);

    unsigned vs = compileStage(GL_VERTEX_SHADER, vertex, "VERTEX", vertexPath);
    unsigned fs = compileStage(GL_FRAGMENT_SHADER, fragment, "FRAGMENT", fragmentPath);
    unsigned gs = geometryPath ? compileStage(GL_GEOMETRY_SHADER, geometry, "GEOMETRY", geometryPath) : 0;

    id = glCreateProgram();
    glAttachShader(id, vs);
    glAttachShader(id, fs);
    if (gs) glAttachShader(id, gs);
    glLinkProgram(id);
    checkCompileErrors(id, "PROGRAM", fragmentPath);

    glDeleteShader(vs);
    glDeleteShader(fs);
    if (gs) glDeleteShader(gs);
}

std::string expandCodeShaderSource(const char* source, const char* label) {
    return expandLogged(
        source,
        [](const std::string& include, std::string& out) {
            return readMemberText(include, out) || readDiskText(include.c_str(), out);
        },
        label);
}

unsigned Shader::use() {
    if (unsigned left = glCheckError(nullptr, 0)) BZ_LOG(LOG_ERROR, "use", "OpenGL Error: " << left);
    unsigned code = 0;
    for (int attempt = 1; attempt <= 5; ++attempt) {
        glUseProgram(id);
        code = glCheckError(nullptr, 0);
        if (code == 0) break;
        if (code == GL_OUT_OF_MEMORY) {
            if (attempt == 5) {
                BZ_LOG(LOG_ERROR, "use", "OpenGL Error: OUT_OF_MEMORY! False alarm? Giving up.");
                break;
            }
            BZ_LOG(LOG_ERROR, "use", "OpenGL Error: OUT_OF_MEMORY! False alarm? Retrying...");
        } else {
            BZ_LOG(LOG_ERROR, "use", "OpenGL Error: " << code);
        }
    }
    return code;
}

void Shader::checkCompileErrors(unsigned object, const std::string& type, const std::string& name) {
    const bool program = type == "PROGRAM";
    int success = 0;
    char info[1024] = {};
    if (program) {
        glGetProgramiv(object, GL_LINK_STATUS, &success);
        if (success) return;
        glGetProgramInfoLog(object, sizeof info, nullptr, info);
    } else {
        glGetShaderiv(object, GL_COMPILE_STATUS, &success);
        if (success) return;
        glGetShaderInfoLog(object, sizeof info, nullptr, info);
    }
    BZ_LOG(LOG_ERROR, "checkCompileErrors",
           (program ? "PROGRAM_LINKING_ERROR of " : "SHADER_COMPILATION_ERROR of ")
               << name << "(type: " << type << "):\n"
               << info << "\n " << std::string(55, '-') << " ");
}
