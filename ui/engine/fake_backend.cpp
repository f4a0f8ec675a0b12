#include "ui/engine/fake_backend.h"

#include <sstream>

namespace bzweb {

namespace {

const char* ButtonName(MouseButtonType b) {
    switch (b) {
    case MBT_LEFT: return "left";
    case MBT_MIDDLE: return "middle";
    case MBT_RIGHT: return "right";
    }
    return "?";
}

}  // namespace

bool FakeBackend::Start(std::string& error) {
    if (!startError_.empty()) {
        error = startError_;
        return false;
    }
    started_ = true;
    return true;
}

void FakeBackend::Stop() { stopped_ = true; }

FakeBackend::View* FakeBackend::Find(int viewId) {
    auto it = views_.find(viewId);
    return it == views_.end() ? nullptr : &it->second;
}

void FakeBackend::Record(int viewId, const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (View* v = Find(viewId)) v->hostCalls.push_back(call);
}

void FakeBackend::CreateView(int viewId, const ViewSetup& setup) {
    std::lock_guard<std::mutex> lock(mutex_);
    View& v = views_[viewId];
    v.setup = setup;
    v.width = setup.width;
    v.height = setup.height;
    v.url = setup.url.empty() ? "about:blank" : setup.url;
    std::ostringstream s;
    s << "create " << setup.width << "x" << setup.height << " " << setup.url;
    v.hostCalls.push_back(s.str());
    std::string url = v.url;
    events_.push_back([viewId, url](BackendEvents& e) {
        e.OnUrlChanged(viewId, url);
        e.OnContextCreated(viewId, 1);
    });
}

void FakeBackend::CloseView(int viewId) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (View* v = Find(viewId)) {
        v->closed = true;
        v->hostCalls.push_back("close");
    }
}

void FakeBackend::Navigate(int viewId, const std::string& url) {
    Record(viewId, "navigate " + url);
    Commit(viewId, url, false);
}

void FakeBackend::LoadString(int viewId, const std::string& html, const std::string& url) {
    Record(viewId, "loadString " + url + " " + std::to_string(html.size()));
    Commit(viewId, url, false);
}

void FakeBackend::Evaluate(int viewId, const std::string& code) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (View* v = Find(viewId)) v->statements.push_back(code);
}

void FakeBackend::ReplyToQuery(int viewId, int64_t contextId, int64_t requestId, bool success, const std::string& text,
                               int errorCode) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (View* v = Find(viewId)) v->replies.push_back(Reply{contextId, requestId, success, text, errorCode});
}

void FakeBackend::Resize(int viewId, int width, int height) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (View* v = Find(viewId)) {
            v->width = width;
            v->height = height;
        }
    }
    Record(viewId, "resize " + std::to_string(width) + "x" + std::to_string(height));
}

void FakeBackend::SetHidden(int viewId, bool hidden) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (View* v = Find(viewId)) v->hidden = hidden;
    }
    Record(viewId, hidden ? "hide" : "show");
}

void FakeBackend::Invalidate(int viewId) { Record(viewId, "invalidate"); }

void FakeBackend::MouseMove(int viewId, const MouseEvent& e, bool leave) {
    std::ostringstream s;
    s << "move " << e.x << "," << e.y << " mods=" << e.modifiers << (leave ? " leave" : "");
    Record(viewId, s.str());
}

void FakeBackend::MouseClick(int viewId, const MouseEvent& e, MouseButtonType button, bool up, int clickCount) {
    std::ostringstream s;
    s << "click " << e.x << "," << e.y << " " << ButtonName(button) << (up ? " up " : " down ") << clickCount
      << " mods=" << e.modifiers;
    Record(viewId, s.str());
}

void FakeBackend::MouseWheel(int viewId, const MouseEvent& e, int deltaX, int deltaY) {
    std::ostringstream s;
    s << "wheel " << e.x << "," << e.y << " " << deltaX << "," << deltaY << " mods=" << e.modifiers;
    Record(viewId, s.str());
}

void FakeBackend::Key(int viewId, const KeyEvent& e) {
    std::ostringstream s;
    s << "key type=" << e.type << " code=" << e.windowsKeyCode << " native=" << e.nativeKeyCode
      << " char=" << static_cast<int>(e.character) << " mods=" << e.modifiers;
    Record(viewId, s.str());
}

void FakeBackend::InsertText(int viewId, const std::string& utf8) { Record(viewId, "insertText " + utf8); }

void FakeBackend::Poll(BackendEvents& events) {
    std::deque<std::function<void(BackendEvents&)>> pending;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending.swap(events_);
    }
    for (auto& e : pending) e(events);
}

FakeBackend::View FakeBackend::view(int viewId) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = views_.find(viewId);
    return it == views_.end() ? View{} : it->second;
}

std::vector<int> FakeBackend::viewIds() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> ids;
    for (const auto& [id, v] : views_) ids.push_back(id);
    return ids;
}

void FakeBackend::InjectQuery(int viewId, int64_t requestId, const std::string& request, bool persistent,
                              const std::string& queryFunction) {
    JsonValue m = {{"fn", queryFunction}, {"id", requestId}, {"request", request}, {"persistent", persistent}};
    InjectBindingPayload(viewId, WriteJson(m));
}

void FakeBackend::InjectCancel(int viewId, int64_t requestId, const std::string& cancelFunction) {
    JsonValue m = {{"fn", cancelFunction}, {"id", requestId}};
    InjectBindingPayload(viewId, WriteJson(m));
}

void FakeBackend::InjectBindingPayload(int viewId, const std::string& payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    View* v = Find(viewId);
    int64_t context = v ? v->contextId : 0;
    events_.push_back([=](BackendEvents& e) { e.OnBindingCalled(viewId, context, payload); });
}

void FakeBackend::InjectNavigation(int viewId, const std::string& url) { Commit(viewId, url, true); }

void FakeBackend::Commit(int viewId, const std::string& url, bool byPage) {
    std::lock_guard<std::mutex> lock(mutex_);
    View* v = Find(viewId);
    if (!v) return;
    int64_t old = v->contextId;
    int64_t next = ++v->contextId;
    v->url = url;
    events_.push_back([=](BackendEvents& e) {
        if (byPage) e.OnNavigationRequested(viewId, url);
        e.OnContextDestroyed(viewId, old);
        e.OnUrlChanged(viewId, url);
        e.OnContextCreated(viewId, next);
    });
}

void FakeBackend::InjectCrash(int viewId) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back([=](BackendEvents& e) { e.OnViewCrashed(viewId); });
}

void FakeBackend::InjectDeath(TerminationStatus status) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back([=](BackendEvents& e) { e.OnBackendDied(status); });
}

void FakeBackend::PaintSolid(int viewId, uint32_t argb) {
    std::lock_guard<std::mutex> lock(mutex_);
    View* v = Find(viewId);
    if (!v) return;
    int w = v->width;
    int h = v->height;
    events_.push_back([=](BackendEvents& e) {
        std::vector<uint8_t> buffer(static_cast<size_t>(w) * h * 4);
        for (size_t i = 0; i < buffer.size(); i += 4) {
            buffer[i] = argb & 0xFF;
            buffer[i + 1] = (argb >> 8) & 0xFF;
            buffer[i + 2] = (argb >> 16) & 0xFF;
            buffer[i + 3] = (argb >> 24) & 0xFF;
        }
        e.OnViewPainted(viewId, buffer.data(), w, h);
    });
}

}  // namespace bzweb
