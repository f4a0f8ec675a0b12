// Writes arbitrary bytes into the DevTools pipe as the browser would (NUL-separated messages, the
// stream then ended) and checks what the pipe hands on: frames whose data lies inside their
// message, and parsed messages that are objects.
#include "ui/engine/devtools_pipe.h"
#include "fuzz/fuzz_support.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using fuzzsupport::check;

namespace {

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) std::abort();
    // The pipe's acknowledgements must find room while the input is still being written.
    int room = 1 << 20;
    ::setsockopt(fds[1], SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);

    bzweb::DevToolsPipe pipe;
    bzweb::DevToolsPipe::Callbacks callbacks;
    callbacks.onFrame = [](const std::string& session, std::string message, size_t offset, size_t length) {
        check(offset <= message.size() && length <= message.size() - offset);
    };
    std::string error;
    if (!pipe.Start(fds[0], std::move(callbacks), error)) std::abort();
    std::string stream(reinterpret_cast<const char*>(data), size);
    stream.push_back('\0');
    writeAll(fds[1], stream.data(), stream.size());
    ::shutdown(fds[1], SHUT_WR);
    while (!pipe.closed()) pipe.WaitForMessages(100);
    std::vector<bzweb::JsonValue> messages;
    pipe.TakeMessages(messages);
    for (const auto& message : messages) check(message.is_object());
    pipe.Stop();
    ::close(fds[1]);
    return 0;
}
