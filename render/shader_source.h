// The text of a GLSL source as the compiler gets it: its `#include "name"` lines replaced by the
// named files of the shader folder. Every program's sources include "prelude.glsl", which holds the
// GLSL version, so no source repeats it; the lit programs share their inputs and lights the same way.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Where the included files lie, as archive entry names and as plain paths.
inline constexpr char kShaderIncludeFolder[] = "res/shaders/";

// Reads one included file by its path (kShaderIncludeFolder + name); false when it is missing.
using ShaderIncludeReader = std::function<bool(const std::string& path, std::string& text)>;

// Replaces each line that starts with `#include "name"` (blanks before it allowed) by the text of the
// file, whose own includes are expanded too, up to four levels. A `#line` after each included text
// keeps the compiler's line numbers those of the including file. A file that cannot be read, or one
// included too deep, leaves its line out and its path in `missing`.
std::string expandShaderIncludes(const std::string& source, const ShaderIncludeReader& read,
                                 std::vector<std::string>& missing);
