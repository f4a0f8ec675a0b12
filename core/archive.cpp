#include "core/archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/log.h"

namespace {

std::vector<ArchiveEntry> builtInEntries() {
    std::vector<ArchiveEntry> entries;
    entries.reserve(kBuiltInArchiveRowCount);
    for (size_t i = 0; i < kBuiltInArchiveRowCount; ++i) {
        const ArchiveRow& row = kBuiltInArchiveRows[i];
        entries.push_back({row.name, row.offset, row.length});
    }
    return entries;
}

// Reads `count` bytes at `offset`; false on any short read or error.
bool readFully(int fd, uint8_t* into, uint64_t count, uint64_t offset) {
    uint64_t done = 0;
    while (done < count) {
        ssize_t got = pread(fd, into + done, count - done, off_t(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += uint64_t(got);
    }
    return true;
}

}  // namespace

ArchiveIndex::ArchiveIndex() : archiveKey(kArchiveKey), cipher_(kArchiveKey) {
    replaceTable(builtInEntries(), kArchivePath);
}

ArchiveIndex& ArchiveIndex::instance() {
    static ArchiveIndex index;
    return index;
}

bool ArchiveIndex::find(const std::string& name, std::string& path, uint64_t& offset, uint64_t& length,
                        uint64_t& readLength) const {
    // Unused positions carry an empty name; nothing may open them.
    if (name.empty()) return false;
    for (const ArchiveEntry& entry : entries) {
        if (entry.name != name) continue;
        path = baseFolder_ + archivePath;
        offset = entry.offset;
        length = entry.length;
        readLength = archivePaddedLength(entry.length);
        return true;
    }
    return false;
}

std::string ArchiveIndex::digestName(const std::string& plainPath) const {
    return sha256Hex(archiveKey + plainPath);
}

void ArchiveIndex::decipher(uint8_t* bytes, uint64_t count, uint64_t memberOffset) const {
    for (uint64_t n = 0; n + kArchiveBlockSize <= count; n += kArchiveBlockSize) {
        uint8_t* block = bytes + n;
        cipher_.decryptBlock(block);
        archiveAddToFirstWord(block, 0u - uint32_t(memberOffset + n));
    }
}

const std::string& ArchiveIndex::nameAt(size_t position) const {
    static const std::string none;
    return position < names.size() ? names[position] : none;
}

void ArchiveIndex::setBaseFolder(const std::string& folder) { baseFolder_ = folder; }

void ArchiveIndex::replaceTable(std::vector<ArchiveEntry> newEntries, const std::string& newArchivePath) {
    entries = std::move(newEntries);
    archivePath = newArchivePath;
    names.clear();
    names.reserve(entries.size());
    for (const ArchiveEntry& entry : entries) names.push_back(entry.name);
}

void ArchiveIndex::useBuiltInTable() { replaceTable(builtInEntries(), kArchivePath); }

BZFile::BZFile(const std::string& name) { open(name, 0, ~uint64_t(0)); }

BZFile::BZFile(const std::string& name, uint64_t from, uint64_t count) { open(name, from, count); }

void BZFile::open(const std::string& name, uint64_t from, uint64_t count) {
    ArchiveIndex& index = ArchiveIndex::instance();
    std::string path;
    uint64_t offset = 0, length = 0, readLength = 0;
    if (!index.find(name, path, offset, length, readLength) &&
        !index.find(index.digestName(name), path, offset, length, readLength)) {
        return;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;

    // The index is trusted no further than the file: the padded member must lie inside it before
    // anything is allocated, and a length so large that padding wraps cannot.
    struct stat info {};
    bool fits = fstat(fd, &info) == 0 && info.st_size >= 0 && readLength >= length;
    uint64_t fileSize = fits ? uint64_t(info.st_size) : 0;
    fits = fits && readLength <= fileSize && offset <= fileSize - readLength;

    // The whole blocks that hold the stretch wanted: each deciphers on its own.
    from = std::min(from, length);
    const uint64_t end = from + std::min(count, length - from);
    const uint64_t firstBlock = from & ~(kArchiveBlockSize - 1);
    const uint64_t blocksLength = archivePaddedLength(end) - firstBlock;
    std::unique_ptr<uint8_t[]> bytes;
    if (fits) {
        bytes.reset(new uint8_t[std::max<uint64_t>(blocksLength, 1)]);
        fits = readFully(fd, bytes.get(), blocksLength, offset + firstBlock);
    }
    close(fd);
    if (!fits) {
        BZ_LOG(LOG_ERROR, "BZFile", "Too few bytes read.");
        return;
    }
    index.decipher(bytes.get(), blocksLength, firstBlock);
    if (from > firstBlock) std::memmove(bytes.get(), bytes.get() + (from - firstBlock), end - from);
    buffer_ = std::move(bytes);
    length_ = end - from;
    ok_ = true;
}

uint64_t BZFile::data(const char** out) const {
    if (!ok_) return ~uint64_t(0);
    *out = reinterpret_cast<const char*>(buffer_.get());
    return length_;
}

uint64_t BZFile::read(void* destination, uint64_t n) {
    if (!ok_) return 0;
    uint64_t count = std::min(n, length_ - pos_);
    if (count > 0) std::memcpy(destination, buffer_.get() + pos_, count);
    pos_ += count;
    return count;
}

bool BZFile::getLine(std::string& out) {
    out.clear();
    if (!ok_ || pos_ == length_) return false;
    const uint8_t* start = buffer_.get() + pos_;
    const void* newline = std::memchr(start, '\n', length_ - pos_);
    uint64_t lineLength = newline ? uint64_t(static_cast<const uint8_t*>(newline) - start) : length_ - pos_;
    pos_ += newline ? lineLength + 1 : lineLength;
    if (lineLength > 0 && start[lineLength - 1] == '\r') --lineLength;
    out.assign(reinterpret_cast<const char*>(start), lineLength);
    return true;
}

int BZFile::seek(uint64_t offset, int whence) {
    if (!ok_) return -1;
    uint64_t target;
    switch (whence) {
        case 0: target = offset; break;
        case 1: target = pos_ + offset; break;
        case 2: target = length_ + offset; break;
        default: return -1;
    }
    if (target > length_) return -1;
    pos_ = target;
    return 0;
}

uint64_t BZFile::tell() const { return ok_ ? pos_ : ~uint64_t(0); }

uint64_t BZFile::size() const { return ok_ ? length_ : 0; }
