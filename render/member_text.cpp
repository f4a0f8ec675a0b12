#include "render/member_text.h"

#include "core/archive.h"

bool readMemberText(const std::string& member, std::string& out) {
    BZFile file(member);
    if (!file.isOpen()) return false;
    const char* bytes = nullptr;
    const uint64_t length = file.data(&bytes);
    out.assign(bytes, length);
    return true;
}
