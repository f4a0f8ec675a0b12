// The script that every document gets before its own: the message router's page functions and the
// report of right clicks that the page left alone. It talks to the program only through the binding.
#include "core/log.h"
#include "ui/engine/backend.h"
#include "ui/engine/message_router.h"

#include <mutex>
#include <sstream>
#include <utility>
#include <vector>

namespace bzweb {

namespace {

std::mutex gPageMutex;
std::vector<std::pair<const void*, MessageRouterConfig>> gPageRouters;

bool IsIdentifier(const std::string& s) {
    if (s.empty()) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || (i > 0 && c >= '0' && c <= '9');
        if (!ok) return false;
    }
    return true;
}

// The reply function takes (id, ok, text, code); a persistent query keeps its callbacks until a failure.
constexpr const char* kScriptHead = R"JS((function () {
  'use strict';
  if (window.__bzwebInstalled) return;
  Object.defineProperty(window, '__bzwebInstalled', {value: true});
  var bindingName = %BINDING%;
  var pending = new Map();
  var nextId = 1;
  function send(message) { window[bindingName](JSON.stringify(message)); }
  function defineRouter(queryName, cancelName) {
    Object.defineProperty(window, queryName, {configurable: true, writable: true, value: function (query) {
      if (!query || typeof query !== 'object' || typeof query.request !== 'string') {
        throw new TypeError(queryName + ': the request must be a string');
      }
      var id = nextId++;
      var persistent = !!query.persistent;
      pending.set(id, {fn: queryName, onSuccess: query.onSuccess, onFailure: query.onFailure, persistent: persistent});
      send({fn: queryName, id: id, request: query.request, persistent: persistent});
      return id;
    }});
    Object.defineProperty(window, cancelName, {configurable: true, writable: true, value: function (id) {
      var entry = pending.get(id);
      if (!entry || entry.fn !== queryName) return;
      pending.delete(id);
      send({fn: cancelName, id: id});
    }});
  }
  Object.defineProperty(window, %REPLY%, {value: function (id, ok, text, code) {
    var entry = pending.get(id);
    if (!entry) return;
    if (!ok || !entry.persistent) pending.delete(id);
    var fn = ok ? entry.onSuccess : entry.onFailure;
    if (typeof fn !== 'function') return;
    try {
      if (ok) fn(text); else fn(code, text);
    } catch (e) {
      setTimeout(function () { throw e; }, 0);
    }
  }});
  window.addEventListener('contextmenu', function (e) {
    if (!e.defaultPrevented) send({menu: true});
  });
)JS";

std::string Quote(const std::string& s) {
    std::string out = "'";
    out += s;  // identifiers only
    out += "'";
    return out;
}

void Replace(std::string& text, const std::string& key, const std::string& value) {
    size_t pos = text.find(key);
    if (pos != std::string::npos) text.replace(pos, key.size(), value);
}

}  // namespace

std::string BuildPageScript() {
    std::string script = kScriptHead;
    Replace(script, "%BINDING%", Quote(kPageBindingName));
    Replace(script, "%REPLY%", Quote(kPageReplyFunction));
    std::lock_guard<std::mutex> lock(gPageMutex);
    for (const auto& [key, config] : gPageRouters) {
        script += "  defineRouter(" + Quote(config.jsQueryFunction) + ", " + Quote(config.jsCancelFunction) + ");\n";
    }
    script += "})();\n";
    return script;
}

RefPtr<MessageRouterRendererSide> MessageRouterRendererSide::Create(const MessageRouterConfig& config) {
    return RefPtr<MessageRouterRendererSide>(new MessageRouterRendererSide(config));
}

MessageRouterRendererSide::MessageRouterRendererSide(const MessageRouterConfig& config) : config_(config) {
    if (!IsIdentifier(config.jsQueryFunction) || !IsIdentifier(config.jsCancelFunction) ||
        config.jsQueryFunction == config.jsCancelFunction) {
        BZ_LOG(LOG_ERROR, "MessageRouterRendererSide", "page function names not usable: " << config.jsQueryFunction
                                                       << ", " << config.jsCancelFunction);
        return;
    }
    std::lock_guard<std::mutex> lock(gPageMutex);
    gPageRouters.emplace_back(this, config);
}

MessageRouterRendererSide::~MessageRouterRendererSide() {
    std::lock_guard<std::mutex> lock(gPageMutex);
    std::erase_if(gPageRouters, [this](const auto& entry) { return entry.first == this; });
}

}  // namespace bzweb
