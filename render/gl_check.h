// The GL error check that follows the renderer's GL calls, and the trace-line idiom of its set-up code.
#pragma once

#include <GL/glew.h>

#include <functional>

// The file name part of a path: what follows the last '/' or '\\', or the whole path. Not copied.
const char* fileNameOf(const char* path);

// Drains the pending GL errors and returns the last code drained (0 when there was none). With a
// path and a line above 0 each error is logged. At most kMaxDrainedGlErrors are drained per call,
// so a context that keeps reporting (a lost context reports for ever) cannot hang the caller.
inline constexpr int kMaxDrainedGlErrors = 32;
unsigned glCheckError(const char* file, int line);

// The name logged for a GL error code; empty for a code outside the table.
const char* glErrorName(unsigned code);

// Tests stand in for glGetError; an empty function restores the driver's.
void setGlErrorSourceForTests(std::function<unsigned()> source);
unsigned nextGlError();

// A checked GL call in set-up code: the check, then a debug trace "file:line" under the function.
void glCheckAndTrace(const char* function, const char* file, int line);
#define BZ_GL_TRACE(function) glCheckAndTrace(function, __FILE__, __LINE__)
#define BZ_GL_CHECK() glCheckError(__FILE__, __LINE__)
