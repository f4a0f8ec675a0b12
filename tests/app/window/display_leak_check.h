// The window tests run inside SDL, the X client libraries, D-Bus and Mesa's software GL, which keep
// allocations until exit in modules that are already unloaded by then, so the leak checker of the
// sanitizer build cannot tell them from the program's. The program's own code is leak-checked by
// the tests that run without a window. Include once per window test.
#pragma once

extern "C" const char* __lsan_default_options() { return "detect_leaks=0"; }
