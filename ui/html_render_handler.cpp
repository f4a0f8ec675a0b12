#include "ui/html_render_handler.h"

#include "core/log.h"
#include "core/picture_key.h"
#include "render/shader.h"

#include <GL/glew.h>

#include <sys/mman.h>

#include <cstring>
#include <string>

namespace {

// The last sizes handed to any handler; the window opens at 1024 x 647 with the full bottom area.
int gLastWidth = 1024;
int gLastHeight = 647;
int gLastBottom = 280;

// Shared by all windows, created by the first render and never deleted.
GLuint gVertexArray = 0;
GLuint gVertexBuffer = 0;
GLuint gProgram = 0;
GLint gTransparencyLocation = -1;

// Position, then texture coordinate; the page's top row is drawn at the top of the rectangle.
const float kQuad[16] = {-1, -1, 0, 1, 1, -1, 1, 1, 1, 1, 1, 0, -1, 1, 0, 0};

const char* kVertexShader = R"(#include "prelude.glsl"
layout (location = 0) in vec2 aPos;
layout (location = 1) in vec2 aTexCoord;
out VS_OUT {
    vec2 FragPos;
    vec2 FragTexCoord;
} vs_out;
void main() {
    vs_out.FragPos = aPos;
    vs_out.FragTexCoord = aTexCoord;
    gl_Position = vec4(aPos.x, aPos.y, 1.0, 1.0);
}
)";

const char* kFragmentShader = R"(#include "prelude.glsl"
in VS_OUT {
    vec2 FragPos;
    vec2 FragTexCoord;
} fs_in;
uniform sampler2D tex;
uniform float transparency;
out vec4 outColor;
void main() {
    vec4 texel = texture(tex, fs_in.FragTexCoord);
    outColor = vec4(texel.rgb, transparency * texel.a);
}
)";

GLuint compileShader(GLenum kind, const char* code, const char* label) {
    const std::string expanded = expandCodeShaderSource(code, "HTML");
    const char* source = expanded.c_str();
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    char info[512] = {0};
    glGetShaderInfoLog(shader, sizeof(info), nullptr, info);
    BZ_LOG(LOG_INFO, "initShaderProgram", label << status << " " << info);
    return shader;
}

void initShaderProgram() {
    glGenVertexArrays(1, &gVertexArray);
    glBindVertexArray(gVertexArray);
    glGenBuffers(1, &gVertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, gVertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(kQuad), kQuad, GL_STATIC_DRAW);

    GLuint vertex = compileShader(GL_VERTEX_SHADER, kVertexShader, "HTML Vertex shader compile status: ");
    GLuint fragment = compileShader(GL_FRAGMENT_SHADER, kFragmentShader, "HTML Fragment shader compile status: ");
    gProgram = glCreateProgram();
    glAttachShader(gProgram, vertex);
    glAttachShader(gProgram, fragment);
    glBindFragDataLocation(gProgram, 0, "outColor");
    glLinkProgram(gProgram);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    glUseProgram(gProgram);

    GLint position = glGetAttribLocation(gProgram, "aPos");
    if (position < 0) position = 0;
    glVertexAttribPointer(GLuint(position), 2, GL_FLOAT, GL_FALSE, 16, nullptr);
    glEnableVertexAttribArray(GLuint(position));
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 16, reinterpret_cast<const void*>(8));
    glEnableVertexAttribArray(1);

    glUniform1i(glGetUniformLocation(gProgram, "tex"), 0);
    gTransparencyLocation = glGetUniformLocation(gProgram, "transparency");
    glUniform1f(gTransparencyLocation, 1.0f);
}

int resolve(int value, int& last) {
    if (value < 0) return last;
    last = value;
    return value;
}

}  // namespace

OverlayRect computeOverlayRect(const OverlayLayout& l, int windowWidth, int windowHeight, int bottomAreaHeight) {
    const float w = float(windowWidth), h = float(windowHeight), hb = float(bottomAreaHeight);
    // Each sum in single precision and in this order, as the layout table was computed.
    const float width = l.kw * w + l.bw;
    const float heightBase = l.kh * h + l.bh;
    const float height = heightBase + l.kc * hb;
    const float x = l.kx * w + l.bx;
    const float yBase = l.ky * h + l.by;
    const float y = yBase + l.kyc * hb;
    return OverlayRect{int(x), int(y), int(width), int(height)};
}

void HtmlRenderHandler::resetSharedSizes(int windowWidth, int windowHeight, int bottomAreaHeight) {
    gLastWidth = windowWidth;
    gLastHeight = windowHeight;
    gLastBottom = bottomAreaHeight;
}

HtmlRenderHandler::HtmlRenderHandler(int windowWidth, int windowHeight, int bottomAreaHeight, const OverlayLayout& layout)
    : layout_(layout) {
    resize(windowWidth, windowHeight, bottomAreaHeight);
}

HtmlRenderHandler::~HtmlRenderHandler() = default;

void HtmlRenderHandler::Unmap::operator()(uint8_t* pixels) const {
    munmap(pixels, bytes);
}

void HtmlRenderHandler::resize(int windowWidth, int windowHeight, int bottomAreaHeight) {
    std::lock_guard<std::mutex> size(sizeMutex_);
    resizeLocked(windowWidth, windowHeight, bottomAreaHeight);
}

void HtmlRenderHandler::resizeLocked(int windowWidth, int windowHeight, int bottomAreaHeight) {
    const int w = resolve(windowWidth, gLastWidth);
    const int h = resolve(windowHeight, gLastHeight);
    const int hb = resolve(bottomAreaHeight, gLastBottom);
    OverlayRect next = computeOverlayRect(layout_, w, h, hb);
    // A layout that comes out negative (a window shrunk to nothing) holds no pixels.
    if (next.width < 0) next.width = 0;
    if (next.height < 0) next.height = 0;
    const bool sizeChanged = next.width != rect_.width || next.height != rect_.height;
    rect_ = next;
    if (!sizeChanged) return;
    std::lock_guard<std::mutex> buffer(bufferMutex_);
    const size_t bytes = size_t(rect_.width) * size_t(rect_.height) * 4;
    displayBuffer_.reset();
    painted_ = true;
    if (bytes == 0) return;
    void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) {
        BZ_LOG(LOG_ERROR, "render", "no memory for the pixels of a " << rect_.width << " x " << rect_.height << " window");
        return;
    }
    displayBuffer_ = std::unique_ptr<uint8_t[], Unmap>(static_cast<uint8_t*>(pages), Unmap{bytes});
}

void HtmlRenderHandler::GetViewRect(bzweb::RefPtr<bzweb::WebBrowser>, bzweb::Rect& rect) {
    std::lock_guard<std::mutex> size(sizeMutex_);
    rect = bzweb::Rect{rect_.x, rect_.y, rect_.width, rect_.height};
}

void HtmlRenderHandler::OnPaint(bzweb::RefPtr<bzweb::WebBrowser>, bzweb::PaintElementType type,
                                const std::vector<bzweb::Rect>&, const void* buffer, int width, int height) {
    // A popup's pixels are not the page: they must never overwrite the window's texture.
    if (type != bzweb::PET_VIEW || buffer == nullptr) return;
    std::lock_guard<std::mutex> size(sizeMutex_);
    if (width != rect_.width || height != rect_.height || !displayBuffer_) return;
    std::lock_guard<std::mutex> lock(bufferMutex_);
    std::memcpy(displayBuffer_.get(), buffer, size_t(width) * size_t(height) * 4);
    painted_ = true;
}

void HtmlRenderHandler::render() {
    std::lock_guard<std::mutex> size(sizeMutex_);
    if (gProgram == 0) initShaderProgram();
    if (texture_ == 0) {
        glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
    {
        std::lock_guard<std::mutex> buffer(bufferMutex_);
        if (!displayBuffer_) {
            BZ_LOG(LOG_ERROR, "render", "No displaybuffer!");
        } else if (painted_ || uploadedWidth_ != rect_.width || uploadedHeight_ != rect_.height) {
            // Only a changed page is uploaded: its buffer is let go after each upload, and fifteen full
            // uploads a frame would cost more than the scene.
            glBindTexture(GL_TEXTURE_2D, texture_);
            glPixelStorei(GL_UNPACK_ROW_LENGTH, rect_.width);
            glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
            glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
            glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
            if (uploadedWidth_ == rect_.width && uploadedHeight_ == rect_.height) {
                glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, rect_.width, rect_.height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                                displayBuffer_.get());
            } else {
                uploadedWidth_ = rect_.width;
                uploadedHeight_ = rect_.height;
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, rect_.width, rect_.height, 0, GL_BGRA,
                             GL_UNSIGNED_INT_8_8_8_8_REV, displayBuffer_.get());
            }
            glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
            painted_ = false;
            ++uploads_;
            // Mends the memory of a page copy held beside its texture: nothing reads these pages again, so
            // they are given back (they read as zeros, and the next paint maps fresh ones).
            madvise(displayBuffer_.get(), displayBuffer_.get_deleter().bytes, MADV_DONTNEED);
        }
    }
    draw();
}

void HtmlRenderHandler::draw() {
    glViewport(rect_.x, rect_.y, rect_.width, rect_.height);
    glUseProgram(gProgram);
    glBindVertexArray(gVertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, gVertexBuffer);
    glUniform1f(gTransparencyLocation, transparency);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

bool HtmlRenderHandler::isMouseOver(int px, int py) const {
    std::lock_guard<std::mutex> size(sizeMutex_);
    const int top = gLastHeight - rect_.y - rect_.height;
    return px >= rect_.x && px < rect_.x + rect_.width && py >= top && py < gLastHeight - rect_.y;
}

bool HtmlRenderHandler::hasNewPixels() const {
    std::lock_guard<std::mutex> size(sizeMutex_);
    std::lock_guard<std::mutex> buffer(bufferMutex_);
    // Without a buffer there is nothing to upload, whatever the flags say.
    return displayBuffer_ && (painted_ || uploadedWidth_ != rect_.width || uploadedHeight_ != rect_.height);
}

OverlayPicture overlayPicture(const std::vector<const HtmlRenderHandler*>& order) {
    OverlayPicture picture;
    PictureKey key;
    for (const HtmlRenderHandler* handler : order) {
        if (handler == nullptr) continue;
        picture.newPixels = picture.newPixels || handler->hasNewPixels();
        key.add(handler->rect()).add(handler->transparency);
    }
    picture.key = key.value();
    return picture;
}

OverlayRect HtmlRenderHandler::rect() const {
    std::lock_guard<std::mutex> size(sizeMutex_);
    return rect_;
}

std::vector<uint8_t> HtmlRenderHandler::pixels() const {
    std::lock_guard<std::mutex> size(sizeMutex_);
    std::lock_guard<std::mutex> buffer(bufferMutex_);
    if (!displayBuffer_) return {};
    return std::vector<uint8_t>(displayBuffer_.get(), displayBuffer_.get() + size_t(rect_.width) * rect_.height * 4);
}
