// Start, pump and end of the browser engine. The engine renders pages off screen in a browser that
// runs in its own processes; the program drives it from its main thread.
#pragma once

#include "ui/engine/ref_counted.h"
#include "ui/engine/web_client.h"
#include "ui/engine/web_types.h"

#include <string>

namespace bzweb {

// The engine never runs the program's executable as one of its processes, so this always answers
// -1: "not a sub-process, go on".
int ExecuteProcess(const MainArgs& args, RefPtr<WebApp> app);

// Starts the browser and waits until it answers. On failure error (when given) says why, a log line
// says the same, and the engine stays stopped. The calling thread becomes the engine's main thread.
bool Initialize(const MainArgs& args, const WebSettings& settings, RefPtr<WebApp> app, std::string* error = nullptr);

// One non-blocking round of the engine's work; every callback of the program's handlers runs inside
// it, on the main thread. Call it once per frame.
void DoMessageLoopWork();

// Hands the page pixels decoded since the last round to their render handlers (the paint callback),
// so that a frame about to be drawn shows them. Main thread, outside DoMessageLoopWork.
void TakePagePaints();

// Closes every browser (OnBeforeClose), ends the browser's processes and removes its profile folder.
// A process that exits without it still leaves no browser behind: the browser ends when its pipe closes.
void Shutdown();

bool IsInitialized();

}  // namespace bzweb
