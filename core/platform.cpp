#include "core/platform.h"

namespace {

Platform* installed = nullptr;

}  // namespace

Platform& platform() {
    static Platform none;
    return installed != nullptr ? *installed : none;
}

Platform* setPlatform(Platform* replacement) {
    Platform* previous = installed;
    installed = replacement;
    return previous;
}
