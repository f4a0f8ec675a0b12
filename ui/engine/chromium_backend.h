// The real browser: Debian's headless Chromium as a child process, driven over its DevTools pipe.
#pragma once

#include "ui/engine/backend.h"

#include <memory>
#include <string>

namespace bzweb {

std::unique_ptr<Backend> MakeChromiumBackend(const WebSettings& settings);

// The binary that Initialize would start: settings.browserPath when given, else the first installed of
// /usr/lib/chromium/chromium-headless-shell and /usr/lib/chromium/chromium. Empty when there is none.
std::string FindBrowserBinary(const WebSettings& settings);

// Why the browser has to run without its sandbox, or "" when it can have it: the sandbox refuses to
// start as root, and it is made of user namespaces (the contents of
// /proc/sys/kernel/unprivileged_userns_clone and /proc/sys/user/max_user_namespaces; "" when absent).
std::string SandboxlessReason(unsigned effectiveUid, const std::string& usernsCloneFlag, const std::string& maxUserNamespaces);

}  // namespace bzweb
