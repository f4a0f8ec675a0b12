// Plays a page that calls the engine's binding with arbitrary bytes: half the inputs as the whole
// binding message, the other half as the request text of a well-formed query. Every query that
// reaches the handler is answered with its own text, and its request is read as the interface code
// reads requests (JSON) and written back.
#include "ui/engine/fake_backend.h"
#include "ui/engine/web_json.h"
#include "tests/ui/web_test_support.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

using namespace webtest;

namespace {

const MessageRouterConfig kConfig{"cefQuery", "cefQueryCancel"};

struct Page {
    FakeBackend* fake = nullptr;
    RefPtr<TestClient> client;
    RefPtr<WebBrowser> browser;
};

Page& page() {
    static Page* p = [] {
        auto* made = new Page;
        RefPtr<TestApp> app(new TestApp(kConfig));
        auto fake = std::make_unique<FakeBackend>();
        made->fake = fake.get();
        if (!InitializeWithBackend(WebSettings{}, app, std::move(fake))) std::abort();
        RefPtr<TestRenderHandler> render(new TestRenderHandler(64, 48));
        made->client = RefPtr<TestClient>(new TestClient(render, kConfig));
        made->browser = WebBrowserHost::CreateBrowserSync(WindowInfo{}, made->client, "file:///fuzz.html", BrowserSettings{60});
        if (!made->browser) std::abort();
        DoMessageLoopWork();
        return made;
    }();
    return *p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    Page& p = page();
    const int id = p.browser->GetIdentifier();
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    TestQueryHandler& handler = *p.client->handler;
    handler.queries.clear();
    if (data[0] & 1) {
        p.fake->InjectBindingPayload(id, text);
    } else {
        handler.answerText = text;
        p.fake->InjectQuery(id, int64_t(data[0]), text, (data[0] & 2) != 0);
        p.fake->InjectCancel(id, int64_t(data[0]));
    }
    DoMessageLoopWork();
    for (const QueryRecord& query : handler.queries) {
        if (std::optional<JsonValue> request = ParseJson(query.request)) WriteJson(*request);
    }
    handler.queries.clear();
    return 0;
}
