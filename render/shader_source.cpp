#include "render/shader_source.h"

#include <sstream>

namespace {

constexpr int kMaxIncludeDepth = 4;

// The name of an `#include "name"` line, or false for any other line.
bool includedName(const std::string& line, std::string& name) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line.compare(start, 8, "#include") != 0) return false;
    const size_t open = line.find('"', start + 8);
    if (open == std::string::npos || line.find_first_not_of(" \t", start + 8) != open) return false;
    const size_t close = line.find('"', open + 1);
    if (close == std::string::npos) return false;
    name = line.substr(open + 1, close - open - 1);
    return true;
}

std::string expand(const std::string& source, const ShaderIncludeReader& read, int depth,
                   std::vector<std::string>& missing) {
    std::istringstream lines(source);
    std::string out, line, name;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!includedName(line, name)) {
            out += line;
            out += '\n';
            continue;
        }
        const std::string path = kShaderIncludeFolder + name;
        std::string text;
        if (depth >= kMaxIncludeDepth || !read(path, text)) {
            missing.push_back(path);
        } else {
            out += expand(text, read, depth + 1, missing);
        }
        out += "#line " + std::to_string(number + 1) + '\n';
    }
    return out;
}

}  // namespace

std::string expandShaderIncludes(const std::string& source, const ShaderIncludeReader& read,
                                 std::vector<std::string>& missing) {
    return expand(source, read, 0, missing);
}
