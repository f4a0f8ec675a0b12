// One HTML window's overlay: its rectangle from the window size and the bottom-area height, the
// page's pixels as the engine paints them, their GL texture and the alpha-blended quad drawn over
// the scene, and the hit test of the pointer.
#pragma once

#include "ui/engine/web_client.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The ten layout constants of a window: width = kw*W + bw, height = (kh*H + bh) + kc*Hb,
// x = kx*W + bx, y = (ky*H + by) + kyc*Hb, in single precision, truncated toward zero. (x, y) is the
// lower-left corner measured from the window's left and bottom edges.
struct OverlayLayout {
    float kw, bw, kh, bh, kc, kx, bx, ky, by, kyc;
};

struct OverlayRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const OverlayRect&) const = default;
};

OverlayRect computeOverlayRect(const OverlayLayout& layout, int windowWidth, int windowHeight, int bottomAreaHeight);

class HtmlRenderHandler : public bzweb::RenderHandler {
public:
    // Sizes below 0 mean the last one handed to any handler; the others become the new last ones.
    // No GL call is made here: the texture and the shared program are created by the first render.
    HtmlRenderHandler(int windowWidth, int windowHeight, int bottomAreaHeight, const OverlayLayout& layout);
    ~HtmlRenderHandler() override;

    // Recomputes the rectangle; a new width or height replaces the pixels with transparent black.
    // The caller tells the browser (WasResized) afterwards.
    void resize(int windowWidth, int windowHeight, int bottomAreaHeight);

    void GetViewRect(bzweb::RefPtr<bzweb::WebBrowser> browser, bzweb::Rect& rect) override;
    // Only whole-view paints of the current size are kept; popups and stale sizes are dropped.
    void OnPaint(bzweb::RefPtr<bzweb::WebBrowser> browser, bzweb::PaintElementType type,
                 const std::vector<bzweb::Rect>& dirtyRects, const void* buffer, int width, int height) override;

    // Main thread, GL context current: uploads the pixels when the page painted since the last
    // upload (or the texture has another size), then draws the quad into the rectangle. The viewport
    // is left at the rectangle.
    void render();

    // The pointer (pixels from the top-left corner of the window, y downwards) is over the window:
    // half-open on the right and bottom edges.
    bool isMouseOver(int px, int py) const;

    OverlayRect rect() const;
    // A copy of the pixels as last painted (BGRA, top row first); transparent black once render()
    // has uploaded them.
    std::vector<uint8_t> pixels() const;
    // How many uploads render() has done, for the tests and the benchmark.
    int uploadCount() const { return uploads_; }
    // The page painted (or the size changed) since the last upload: the next render shows more.
    bool hasNewPixels() const;

    // Multiplies the page's alpha when drawn.
    float transparency = 1.0f;

    // The shared last window size and bottom-area height (the negative-argument rule).
    static void resetSharedSizes(int windowWidth, int windowHeight, int bottomAreaHeight);

private:
    void resizeLocked(int windowWidth, int windowHeight, int bottomAreaHeight);
    void draw();

    const OverlayLayout layout_;
    mutable std::mutex sizeMutex_;    // the rectangle, and the identity and size of the buffer
    mutable std::mutex bufferMutex_;  // the buffer's contents
    OverlayRect rect_;
    // The buffer is pages of its own, mapped fresh: they read as transparent black and take no
    // memory until a paint writes them, so windows whose pages never painted cost nothing.
    struct Unmap {
        size_t bytes;
        void operator()(uint8_t* pixels) const;
    };
    std::unique_ptr<uint8_t[], Unmap> displayBuffer_;
    bool painted_ = false;  // the buffer changed since the last upload
    unsigned texture_ = 0;
    int uploadedWidth_ = 0;
    int uploadedHeight_ = 0;
    int uploads_ = 0;
};

// What a row of overlays drawn in this order would show: whether any has new pixels, and a digest
// of their places and transparency (the rest of the picture is their pixels).
struct OverlayPicture {
    bool newPixels = false;
    uint64_t key = 0;
};
OverlayPicture overlayPicture(const std::vector<const HtmlRenderHandler*>& order);
