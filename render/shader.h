// A GL program built from two (or three) GLSL sources, read from the resource archive or, when a
// source is missing there, from files; their #include lines are resolved from the same place
// (render/shader_source.h).
#pragma once

#include <GL/glew.h>

#include <string>

class Shader {
public:
    unsigned id = 0;

    // The paths are archive entry names or plain resource paths; geometryPath may be null.
    Shader(const char* vertexPath, const char* fragmentPath, const char* geometryPath = nullptr);
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    // Deletes the current program and builds a new one into this same object.
    void rebuild(const char* vertexPath, const char* fragmentPath, const char* geometryPath = nullptr);

    // Makes the program current; returns the last error code the switch reported (0 on success).
    unsigned use();

    // Logs a failed compile ("VERTEX", "FRAGMENT", "GEOMETRY") or link ("PROGRAM") with its label.
    static void checkCompileErrors(unsigned object, const std::string& type, const std::string& name);

private:
    void build(const char* vertexPath, const char* fragmentPath, const char* geometryPath);
};

// The GLSL of a program written in the code, its #include lines resolved as a file program's are:
// each included file from the archive, or from disk when the archive lacks it. A missing one is
// logged under `label` and its line left out.
std::string expandCodeShaderSource(const char* source, const char* label);
