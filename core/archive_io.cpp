#include "core/archive_io.h"

#include <algorithm>

size_t ArchiveIOStream::Read(void* buffer, size_t itemSize, size_t itemCount) {
    if (itemSize == 0 || !file_.isOpen()) return 0;
    size_t items = std::min<uint64_t>(itemCount, (file_.size() - file_.tell()) / itemSize);
    return file_.read(buffer, uint64_t(items) * itemSize) / itemSize;
}

size_t ArchiveIOStream::Write(const void*, size_t, size_t) { return 0; }

aiReturn ArchiveIOStream::Seek(size_t offset, aiOrigin origin) {
    int whence = 0;
    if (origin == aiOrigin_CUR) whence = 1;
    if (origin == aiOrigin_END) whence = 2;
    return file_.seek(offset, whence) == 0 ? aiReturn_SUCCESS : aiReturn_FAILURE;
}

size_t ArchiveIOStream::Tell() const { return file_.tell(); }

size_t ArchiveIOStream::FileSize() const { return file_.size(); }

bool ArchiveIOSystem::Exists(const char* file) const {
    if (!file) return false;
    std::string path;
    uint64_t offset, length, readLength;
    return index_->find(index_->digestName(file), path, offset, length, readLength) ||
           index_->find(file, path, offset, length, readLength);
}

Assimp::IOStream* ArchiveIOSystem::Open(const char* file, const char*) {
    return new ArchiveIOStream(file ? file : "");
}

void ArchiveIOSystem::Close(Assimp::IOStream* stream) { delete stream; }
