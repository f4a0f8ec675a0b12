#include "render/gl_check.h"

#include "core/log.h"

namespace {

std::function<unsigned()>& errorSource() {
    static std::function<unsigned()> source;
    return source;
}

}  // namespace

const char* fileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p) {
        if (*p == '/' || *p == '\\') name = p + 1;
    }
    return name;
}

const char* glErrorName(unsigned code) {
    switch (code) {
        case 0x0500: return "INVALID_ENUM";
        case 0x0501: return "INVALID_VALUE";
        case 0x0502: return "INVALID_OPERATION";
        case 0x0503: return "STACK_OVERFLOW";
        case 0x0504: return "STACK_UNDERFLOW";
        case 0x0505: return "OUT_OF_MEMORY";
        case 0x0506: return "INVALID_FRAMEBUFFER_OPERATION";
        default: return "";
    }
}

void setGlErrorSourceForTests(std::function<unsigned()> source) { errorSource() = std::move(source); }

unsigned nextGlError() {
    if (errorSource()) return errorSource()();
    return glGetError();
}

unsigned glCheckError(const char* file, int line) {
    unsigned last = 0;
    for (int drained = 0; drained < kMaxDrainedGlErrors; ++drained) {
        unsigned code = nextGlError();
        if (code == 0) break;
        last = code;
        if (file && line > 0) {
            BZ_LOG(LOG_ERROR, "glCheckError", glErrorName(code) << " at " << file << " (" << line << ")");
        }
    }
    return last;
}

void glCheckAndTrace(const char* function, const char* file, int line) {
    glCheckError(file, line);
    BZ_LOG(LOG_DEBUG, function, fileNameOf(file) << ":" << line);
}
