// A platform that records every call as one text line ("title:Baizeron", "warp:10,20", ...) and
// reports the modifier bits the test sets. Installed for its lifetime.
#pragma once

#include "core/platform.h"

#include <string>
#include <vector>

namespace bztest {

class RecordingPlatform : public Platform {
public:
    RecordingPlatform() { previous_ = setPlatform(this); }
    ~RecordingPlatform() override { setPlatform(previous_); }

    uint16_t modifiers = 0;
    int pointerX = 0;
    int pointerY = 0;
    std::vector<std::string> calls;

    uint16_t modifierState() override { return modifiers; }
    void releaseMouseCapture() override { calls.push_back("release-capture"); }
    void setRelativeMouseMode(bool on) override { calls.push_back(std::string("relative:") + (on ? "1" : "0")); }
    void showCursor(bool shown) override { calls.push_back(std::string("cursor:") + (shown ? "1" : "0")); }
    void warpMouse(int x, int y) override { calls.push_back("warp:" + std::to_string(x) + "," + std::to_string(y)); }
    void mousePosition(int& x, int& y) override {
        x = pointerX;
        y = pointerY;
    }
    void pushKeyPress(int key) override { calls.push_back("key:" + std::to_string(key)); }
    void setWindowTitle(const std::string& title) override { calls.push_back("title:" + title); }
    void setFullscreen(FullscreenMode mode) override {
        calls.push_back("fullscreen:" + std::to_string(static_cast<int>(mode)));
    }

private:
    Platform* previous_ = nullptr;
};

}  // namespace bztest
